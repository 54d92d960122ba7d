#include "cli/CommandRegistry.h"

#include <QCoreApplication>
#include <iostream>

namespace quillon::cli {

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

CommandRegistrar::CommandRegistrar(Command command) {
    Commands().push_back(std::move(command));
}

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage: quillon COMMAND [ARGUMENTS...]\n\nCommands:\n";
    for (const auto& command : Commands()) {
        out << "  " << command.name
            << std::string(command.name.size() < 10 ? 10 - command.name.size() : 1, ' ')
            << command.summary << "\n";
    }
    out << "\n'quillon COMMAND --help' describes a command.\n";
}

} // namespace

} // namespace quillon::cli

int main(int argc, char** argv) {
    using namespace quillon::cli;
    QCoreApplication app(argc, argv);
    // Output goes through the C++ streams only; unsynced they buffer like stdio.
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    for (const auto& command : Commands()) {
        if (command.name == args[0]) {
            return command.run({args.begin() + 1, args.end()});
        }
    }
    std::cerr << "quillon: unknown command '" << args[0] << "' (see 'quillon --help')\n";
    return 2;
}
