#pragma once
// Qt shares out the conversion, filling and smooth scaling of large pictures among the threads of
// its global thread pool, which it starts on first use and keeps idling for half a minute after.

namespace corvane {

// Waits for that work and ends those threads (at the end of a run), so that nothing a run
// started outlives it; Qt starts them again when a picture needs them.
void EndDrawingThreads();

}  // namespace corvane
