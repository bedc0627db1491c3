#pragma once
// What Qt needs from the environment before corvane-batch creates its application object, so
// that a headless run prints only what the tool means to say.

#include <QTemporaryDir>

#include <memory>

namespace corvane {

// Create before the application object and keep until after it is gone. Chooses the offscreen
// platform when none is chosen (text watermarks need a GUI application; no window is ever
// shown). Where no XDG_RUNTIME_DIR is set (root under cron, containers, CI), Qt would fall back
// to a shared /tmp folder and warn about it on every run: this gives it a private one instead,
// removed again at exit.
class HeadlessQt {
public:
    HeadlessQt();
    HeadlessQt(const HeadlessQt&) = delete;
    HeadlessQt& operator=(const HeadlessQt&) = delete;

private:
    std::unique_ptr<QTemporaryDir> runtimeDir_;
};

}  // namespace corvane
