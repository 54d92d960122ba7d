#include "cli/CommandRegistry.h"

#include <QCoreApplication>
#include <iostream>

// The commands that drive the workflow layer; `quillon` hands them over to this program.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Output goes through the C++ streams only; unsynced they buffer like stdio.
    std::ios::sync_with_stdio(false);
    return quillon::cli::RunCommandLine({argv + 1, argv + argc});
}
