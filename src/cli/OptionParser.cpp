#include "cli/OptionParser.h"

#include <algorithm>
#include <iostream>

namespace quillon::cli {

OptionParser::OptionParser(std::string command, std::string usage, std::string description)
    : command_(std::move(command)), usage_(std::move(usage)), description_(std::move(description)) {
    Flag("help", 'h', "show this help and exit", [this] { helpAsked_ = true; });
    Flag("version", 'V', "show the version and exit", [this] { versionAsked_ = true; });
    Flag("quiet", 'q', "print errors only", [this] { verbosity_ = Verbosity::Quiet; });
    Flag("verbose", 'v', "tell more about the work", [this] { verbosity_ = Verbosity::Verbose; });
}

OptionParser& OptionParser::Flag(std::string longName, char shortName, std::string help,
                                 std::function<void()> handler) {
    options_.push_back(
        {std::move(longName), shortName, {}, std::move(help), std::move(handler), nullptr});
    return *this;
}

OptionParser& OptionParser::Value(std::string longName, char shortName, std::string valueName,
                                  std::string help, ValueHandler handler) {
    options_.push_back({std::move(longName), shortName, std::move(valueName), std::move(help),
                        nullptr, std::move(handler)});
    return *this;
}

const OptionParser::Option* OptionParser::FindLong(const std::string& name) const {
    const auto found = std::find_if(options_.begin(), options_.end(),
                                    [&](const Option& o) { return o.longName == name; });
    return found != options_.end() ? &*found : nullptr;
}

const OptionParser::Option* OptionParser::FindShort(char name) const {
    const auto found = std::find_if(options_.begin(), options_.end(),
                                    [&](const Option& o) { return o.shortName == name; });
    return name != 0 && found != options_.end() ? &*found : nullptr;
}

int OptionParser::UsageError(const std::string& message) const {
    std::cerr << "quillon " << command_ << ": " << message << " (see 'quillon " << command_
              << " --help')\n";
    return 2;
}

std::optional<int> OptionParser::Apply(const Option& option, const std::string& spelled,
                                       const std::optional<std::string>& value,
                                       const std::vector<std::string>& args, size_t& i) {
    if (option.valueName.empty()) {
        if (value) {
            return UsageError("option '" + spelled + "' takes no value");
        }
        option.flag();
        return std::nullopt;
    }
    std::string text;
    if (value) {
        text = *value;
    } else if (i + 1 < args.size()) {
        text = args[++i];
    } else {
        return UsageError("option '" + spelled + "' needs a value " + option.valueName);
    }
    const std::string problem = option.value(text);
    if (!problem.empty()) {
        return UsageError(problem);
    }
    return std::nullopt;
}

std::optional<int> OptionParser::Parse(const std::vector<std::string>& args) {
    operands_.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<int> stop;
        if (arg == "--") {
            operands_.insert(operands_.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
            const Option* option = FindLong(name);
            if (option == nullptr) {
                return UsageError("unknown option '--" + name + "'");
            }
            std::optional<std::string> value;
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
            }
            stop = Apply(*option, "--" + name, value, args, i);
        } else if (arg.size() > 1 && arg[0] == '-') {
            // One or more short options; a value option takes the rest of the argument.
            for (size_t c = 1; c < arg.size() && !stop; ++c) {
                const Option* option = FindShort(arg[c]);
                if (option == nullptr) {
                    return UsageError("unknown option '-" + std::string(1, arg[c]) + "'");
                }
                std::optional<std::string> value;
                if (!option->valueName.empty() && c + 1 < arg.size()) {
                    value = arg.substr(c + 1);
                    c = arg.size();
                }
                stop = Apply(*option, "-" + std::string(1, option->shortName), value, args, i);
            }
        } else {
            operands_.push_back(arg);
        }
        if (stop) {
            return stop;
        }
        if (helpAsked_) {
            PrintHelp();
            return 0;
        }
        if (versionAsked_) {
            std::cout << VersionText() << "\n";
            return 0;
        }
    }
    return std::nullopt;
}

void OptionParser::PrintHelp() const {
    std::cout << "Usage: quillon " << usage_ << "\n\n" << description_ << "\nOptions:\n";
    for (const auto& option : options_) {
        std::string spelled = option.shortName != 0 ? std::string("-") + option.shortName + ", "
                                                    : std::string("    ");
        spelled += "--" + option.longName;
        if (!option.valueName.empty()) {
            spelled += " " + option.valueName;
        }
        std::cout << "  " << spelled;
        const size_t column = 26;
        if (spelled.size() + 2 < column) {
            std::cout << std::string(column - spelled.size() - 2, ' ');
        } else {
            std::cout << "\n" << std::string(column, ' ');
        }
        for (const char c : option.help) {
            std::cout << c;
            if (c == '\n') {
                std::cout << std::string(column, ' ');
            }
        }
        std::cout << "\n";
    }
}

std::string VersionText() {
    return std::string("quillon ") + QUILLON_VERSION;
}

} // namespace quillon::cli
