#pragma once
// What Qt needs from the environment before corvane-batch creates its application object, so
// that a headless run prints only what the tool means to say.

namespace corvane {

// Create before the application object. Chooses the offscreen platform when none is chosen (text
// watermarks need a GUI application; no window is ever shown). Where no XDG_RUNTIME_DIR is set
// (root under cron, containers, CI), Qt would fall back to a shared /tmp folder and warn about it
// on every run: this gives it a private one instead, "corvane-runtime.<uid>" in the temporary
// folder, one per user and reused by every run, so that a run ended at once (a second signal,
// SIGKILL) leaves nothing of its own behind. Empty folders that earlier versions made for a
// single run ("corvane-runtime-XXXXXX") and left behind are removed.
class HeadlessQt {
public:
    HeadlessQt();
    HeadlessQt(const HeadlessQt&) = delete;
    HeadlessQt& operator=(const HeadlessQt&) = delete;
};

}  // namespace corvane
