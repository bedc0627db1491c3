// corvane: the window of Corvane.
#include "batch_app.h"

int main(int argc, char** argv) {
    return corvane::CBatchApp::Run(argc, argv);
}
