#pragma once
// Types shared by the run controller, its worker threads and whoever shows a run.

#include <cstdint>

namespace corvane {

using Colour = std::uint32_t;  // Windows colour value 0x00BBGGRR

namespace colours {
inline constexpr Colour kGreen = 0x008000;     // progress states
inline constexpr Colour kRed = 0x0000FF;       // problems, stop, failure
inline constexpr Colour kComplete = 0xFF0080;  // verdict: everything done
inline constexpr Colour kPartial = 0xABA82E;   // verdict: part done
}  // namespace colours

enum class RunState : int { Idle = 0, Counting = 1, Running = 2, Paused = 3 };

// How a run ended. The status line says it to a person in a sentence and a colour; this says it
// to a program (corvane-batch's exit status and JSON "outcome").
enum class RunOutcome {
    None,      // no run has ended since the last Start
    Complete,  // every file processed and every output written
    Partial,   // some of the work was done
    Failed,    // nothing useful was done, or the run could not go on
    Stopped,   // Stop or closing the window ended the run
    Refused,   // Start was refused: the options failed their checks or the save folder was not made
};

// Counts of a run, filled by the processing thread and read by the owner inside the handlers of
// the progress and finish messages.
struct RunReport {
    int processedFiles = 0;  // source files finished, skipped or abandoned
    int totalFiles = 0;      // entries of the file list
    int hiddenFiles = 0;     // hidden entries counted while listing
    int recognisedImages = 0;
    int savedFiles = 0;     // output files written
    bool isFinal = false;   // sent after the file loop
    int expectedFiles = 0;  // output files that should have been written
};

// The messages the processing thread sends to the owner thread; it waits until each is handled.
// (The counting thread calls its two handlers through the mailbox directly.)
enum class WorkerMessage { Progress, Paused, RunFinished };

}  // namespace corvane

namespace corvane {

// The mosaic counts the report shows besides RunReport.
struct CombineCounts {
    int combined = 0;   // images or tiles placed into a canvas
    int attempted = 0;  // images or tiles offered to a canvas
    int tiles = 0;      // tiles collected for a cut-then-combine run
    bool allTilesCombined = false;
};

}  // namespace corvane
