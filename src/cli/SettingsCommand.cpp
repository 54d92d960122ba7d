#include "cli/CommandRegistry.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"
#include "cli/SetOption.h"
#include "workflow/OutputFileName.h"
#include "workflow/Settings.h"

#include <cstdio>
#include <iostream>

namespace quillon::cli {

namespace {

const char* const kDescription =
    "Shows and changes the settings that the program and 'quillon convert' read.\n\n"
    "  list [--json]          every setting with its value and its valid values\n"
    "  get NAME               the value of one setting\n"
    "  set NAME=VALUE...      store values; nothing is stored when any is invalid\n"
    "  path                   the file that holds the settings\n";

const char* KindName(SettingKind kind) {
    switch (kind) {
    case SettingKind::Integer:
        return "integer";
    case SettingKind::Boolean:
        return "boolean";
    case SettingKind::Text:
        return "text";
    case SettingKind::ListText:
        return "list entry";
    case SettingKind::ListPos:
        return "list position";
    case SettingKind::Server:
        return "server";
    }
    return "";
}

std::string JsonString(const std::string& text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

void ListJson(const Settings& settings) {
    std::string out = "[";
    for (const auto& definition : SettingsTable()) {
        out += out.size() > 1 ? ",\n " : "";
        out += "{\"name\":" + JsonString(definition.name) +
               ",\"kind\":" + JsonString(KindName(definition.kind)) +
               ",\"value\":" + JsonString(settings.Raw(definition.name)) +
               ",\"default\":" + JsonString(definition.defaultValue) +
               ",\"valid\":" + JsonString(ValidValuesText(definition)) + ",\"values\":[";
        const std::vector<std::string> values =
            definition.kind == SettingKind::ListPos ? definition.entries : ValidValues(definition);
        for (size_t i = 0; i < values.size(); ++i) {
            out += (i > 0 ? "," : "") + JsonString(values[i]);
        }
        out += "]}";
    }
    std::cout << out << "]\n";
}

void ListPlain(const Settings& settings) {
    for (const auto& definition : SettingsTable()) {
        std::cout << definition.name << "=" << settings.Raw(definition.name) << "\n    "
                  << KindName(definition.kind) << ": " << ValidValuesText(definition) << "\n";
    }
}

int RunSettings(const std::vector<std::string>& args) {
    bool json = false;
    OptionParser parser("settings", "settings list [--json] | get NAME | set NAME=VALUE... | path",
                        kDescription);
    parser.Flag("json", 0, "list as a JSON array of objects", [&] { json = true; });
    if (const auto status = parser.Parse(args)) {
        return *status;
    }
    const std::vector<std::string>& operands = parser.Operands();
    if (operands.empty()) {
        return parser.UsageError("no action given: list, get, set or path");
    }
    const std::string& action = operands[0];
    const size_t count = operands.size() - 1;
    if (action == "list" && count == 0) {
        const Settings settings = SettingsStore::Load();
        json ? ListJson(settings) : ListPlain(settings);
        return 0;
    }
    if (action == "path" && count == 0) {
        std::cout << SettingsStore::FileName() << "\n";
        return 0;
    }
    if (action == "get" && count == 1) {
        if (FindSetting(operands[1]) == nullptr) {
            return parser.UsageError("unknown setting '" + operands[1] + "'");
        }
        std::cout << SettingsStore::Load().Raw(operands[1]) << "\n";
        return 0;
    }
    if (action == "set" && count > 0) {
        std::vector<std::pair<std::string, std::string>> values;
        for (size_t i = 1; i < operands.size(); ++i) {
            const SettingAssignment assignment = ParseSettingAssignment(operands[i]);
            if (!assignment.check.value) {
                return parser.UsageError(assignment.check.problem + "; nothing stored");
            }
            values.emplace_back(assignment.name, *assignment.check.value);
        }
        if (!SettingsStore::Store(values)) {
            std::cerr << "quillon settings: cannot write " << SettingsStore::FileName() << "\n";
            return 1;
        }
        if (parser.Level() == Verbosity::Verbose) {
            for (const auto& [name, value] : values) {
                std::cout << name << "=" << value << "\n";
            }
        }
        return 0;
    }
    if (action != "list" && action != "get" && action != "set" && action != "path") {
        return parser.UsageError("unknown action '" + action +
                                 "'; valid actions: list, get, set, path");
    }
    return parser.UsageError("wrong number of arguments for '" + action + "'");
}

const CommandRegistrar registrar{{"settings", WorkflowCommandSummary("settings"), RunSettings}};

} // namespace

OptionParser& AddSetOption(OptionParser& parser, Settings& settings, const std::string& example) {
    return parser.Value("set", 0, "NAME=VALUE",
                        "override a setting for this run, for example\n" + example +
                            "\n('quillon settings list' shows them all)",
                        [&settings](const std::string& text) {
                            const SettingAssignment assignment = ParseSettingAssignment(text);
                            if (assignment.check.value) {
                                settings.Set(assignment.name, *assignment.check.value);
                            }
                            return assignment.check.problem;
                        });
}

std::string OutputSettingsProblem(const Settings& settings, const std::string& folderSetting) {
    if (std::string problem = OutputFolderProblem(settings.Text(folderSetting), folderSetting);
        !problem.empty()) {
        return problem;
    }
    if (settings.ListText("RipToFormat").empty()) {
        return "invalid value '" + settings.Text("RipToFormat") +
               "' for RipToFormat; valid values: " + ValidValuesText(*FindSetting("RipToFormat"));
    }
    return {};
}

} // namespace quillon::cli
