#pragma once
// CBatchApp: the application object of `corvane`. It sets up the process (imaging limits, the
// application icon), runs the main dialog modally, and ends the program when the dialog has
// closed. The natural-order comparison is the program's own, so there is nothing to load first.

namespace corvane {

class CBatchApp {
public:
    // Runs the program and gives its exit status; `--version` prints the version instead.
    static int Run(int argc, char** argv);
};

}  // namespace corvane
