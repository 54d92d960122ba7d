#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillon::cli {

// One subcommand of the command-line front end.
struct Command {
    std::string name;
    std::string summary; // one line for the command list of --help
    std::function<int(const std::vector<std::string>& args)> run;
};

// The commands, in the order of registration.
std::vector<Command>& Commands();

// Registers a command at program start: `static CommandRegistrar reg{{"info", "...", Run}};`
struct CommandRegistrar {
    explicit CommandRegistrar(Command command);
};

} // namespace quillon::cli
