#include "cli/CommandRegistry.h"
#include "platform/ProgramFiles.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {

// Replaces this process with the workflow program (beside it, or among the installed private
// programs), which gets the same arguments. Returns only when that program cannot be started.
int HandOverToWorkflow(char** argv) {
    const std::string program = quillon::ProgramFile(std::string(quillon::cli::kWorkflowProgram),
                                                     quillon::ProgramFileKind::Private);
    argv[0] = const_cast<char*>(program.c_str());
    execv(program.c_str(), argv);
    const int error = errno;
    std::cerr << "quillon: cannot start " << program << ": " << std::strerror(error) << "\n";
    return 127;
}

} // namespace

int main(int argc, char** argv) {
    // Output goes through the C++ streams only; unsynced they buffer like stdio.
    std::ios::sync_with_stdio(false);
    return quillon::cli::RunCommandLine({argv + 1, argv + argc},
                                        [argv] { return HandOverToWorkflow(argv); });
}
