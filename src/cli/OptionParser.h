#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// How much a command tells about its work: -q, neither, or -v.
enum class Verbosity { Quiet, Normal, Verbose };

// The options of one command and the parse of its arguments. Every command has --help/-h,
// --version/-V, --quiet/-q and --verbose/-v; a command adds its own with Flag and Value.
// Accepted forms: "--name", "--name=value", "--name value", "-x", "-xvalue", "-x value",
// bundled short flags ("-qn"), and "--", after which everything is an operand.
class OptionParser {
public:
    // A value handler returns "" when it takes the value, otherwise what is wrong with it (the
    // parse then fails with exit status 2 and that message).
    using ValueHandler = std::function<std::string(const std::string& value)>;

    // command: the subcommand's name ("convert"); usage: the text after "Usage: quillon ",
    // for example "convert [OPTIONS] FILE..."; description: paragraphs shown under the usage.
    OptionParser(std::string command, std::string usage, std::string description);

    // An option without a value; shortName 0 for none.
    OptionParser& Flag(std::string longName, char shortName, std::string help,
                       std::function<void()> handler);
    // An option with a value, named valueName in the help ("FILE").
    OptionParser& Value(std::string longName, char shortName, std::string valueName,
                        std::string help, ValueHandler handler);

    // Parses the arguments after the command name and runs the handlers in order. Returns
    // nothing when the command should go on with Operands(), otherwise its exit status: 0
    // after printing help or version, 2 after printing an error.
    std::optional<int> Parse(const std::vector<std::string>& args);

    const std::vector<std::string>& Operands() const { return operands_; }
    Verbosity Level() const { return verbosity_; }

    // Prints "quillon COMMAND: message (see 'quillon COMMAND --help')" and returns 2, for
    // mistakes in the arguments that the command finds itself.
    int UsageError(const std::string& message) const;
    void PrintHelp() const;

private:
    struct Option {
        std::string longName;
        char shortName;
        std::string valueName; // empty for a flag
        std::string help;
        std::function<void()> flag;
        ValueHandler value;
    };
    const Option* FindLong(const std::string& name) const;
    const Option* FindShort(char name) const;
    // Applies an option; value is set when the argument carried one ("--x=v").
    std::optional<int> Apply(const Option& option, const std::string& spelled,
                             const std::optional<std::string>& value,
                             const std::vector<std::string>& args, size_t& i);

    std::string command_;
    std::string usage_;
    std::string description_;
    std::vector<Option> options_;
    std::vector<std::string> operands_;
    Verbosity verbosity_ = Verbosity::Normal;
    bool helpAsked_ = false;
    bool versionAsked_ = false;
};

// "quillon 0.1.0": the program's name and version.
std::string VersionText();

} // namespace quillon::cli
