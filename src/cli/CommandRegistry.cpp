#include "cli/CommandRegistry.h"

#include "cli/OptionParser.h"

#include <algorithm>
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

const CommandSummary* FindWorkflowCommand(std::string_view name) {
    const auto found =
        std::find_if(kWorkflowCommands.begin(), kWorkflowCommands.end(),
                     [&](const CommandSummary& command) { return command.name == name; });
    return found != kWorkflowCommands.end() ? &*found : nullptr;
}

const Command* FindCommand(std::string_view name) {
    for (const auto& command : Commands()) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

void PrintUsage(std::ostream& out, bool withWorkflow) {
    std::vector<CommandSummary> listed;
    for (const auto& command : Commands()) {
        listed.push_back({command.name, command.summary});
    }
    for (const auto& command : kWorkflowCommands) {
        if (withWorkflow && FindCommand(command.name) == nullptr) {
            listed.push_back(command);
        }
    }
    std::sort(listed.begin(), listed.end(),
              [](const CommandSummary& a, const CommandSummary& b) { return a.name < b.name; });
    out << "Usage: quillon COMMAND [OPTIONS] [ARGUMENTS...]\n"
           "       quillon --help | --version\n\nCommands:\n";
    for (const auto& command : listed) {
        out << "  " << command.name
            << std::string(command.name.size() < 10 ? 10 - command.name.size() : 1, ' ')
            << command.summary << "\n";
    }
    out << "\n'quillon COMMAND --help' describes a command.\n";
}

} // namespace

std::string WorkflowCommandSummary(std::string_view name) {
    const CommandSummary* command = FindWorkflowCommand(name);
    return command != nullptr ? std::string(command->summary) : std::string();
}

int RunCommandLine(const std::vector<std::string>& args, const std::function<int()>& handOver) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? std::cerr : std::cout, handOver != nullptr);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version" || args[0] == "-V") {
        std::cout << VersionText() << "\n";
        return 0;
    }
    if (const Command* command = FindCommand(args[0])) {
        return command->run({args.begin() + 1, args.end()});
    }
    if (handOver && FindWorkflowCommand(args[0]) != nullptr) {
        return handOver();
    }
    std::cerr << "quillon: unknown " << (args[0].rfind('-', 0) == 0 ? "option" : "command") << " '"
              << args[0] << "' (see 'quillon --help')\n";
    return 2;
}

} // namespace quillon::cli
