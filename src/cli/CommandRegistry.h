#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

// One subcommand of the command-line front end.
struct Command {
    std::string name;
    std::string summary; // one line for the command list of --help
    std::function<int(const std::vector<std::string>& args)> run;
};

// The commands of this program, in the order of registration.
std::vector<Command>& Commands();

// Registers a command at program start: `static CommandRegistrar reg{{"info", "...", Run}};`
struct CommandRegistrar {
    explicit CommandRegistrar(Command command);
};

// The commands that drive the workflow layer. They run in a program of their own, the only one
// of the command line that loads Qt, so that `quillon` starts its own short commands (`info`,
// `tag`) without that cost and hands these over.
struct CommandSummary {
    std::string_view name;
    std::string_view summary;
};
inline constexpr std::string_view kWorkflowProgram = "quillon-workflow";
inline constexpr std::array<CommandSummary, 8> kWorkflowCommands = {{
    {"cddb", "look a disc up in a CD database server"},
    {"convert", "convert audio files to the format of the settings"},
    {"discid", "show the CD database identifier of a disc"},
    {"drives", "list the CD drives and what disc each holds"},
    {"play", "play an audio file or a track of a disc"},
    {"rip", "rip tracks of an audio CD or a disc image"},
    {"settings", "list, show and change the stored settings"},
    {"toc", "show the table of contents of a disc"},
}};

// The summary of a workflow command, for its registrar.
std::string WorkflowCommandSummary(std::string_view name);

// Runs the command named by args[0]. A workflow command this program does not have goes to
// `handOver` when one is given; --help lists both kinds.
int RunCommandLine(const std::vector<std::string>& args,
                   const std::function<int()>& handOver = nullptr);

} // namespace quillon::cli
