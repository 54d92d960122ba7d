#include "workflow/Settings.h"

#include "workflow/CddbLookup.h"
#include "workflow/OutputFileName.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <charconv>
#include <pwd.h>
#include <unistd.h>

namespace quillon {

namespace {

std::vector<std::string> MP3Bitrates() {
    return {"8",  "16",  "24",  "32",  "40",  "48",  "56",  "64",  "80",
            "96", "112", "128", "144", "160", "192", "224", "256", "320"};
}

std::vector<std::string> QualityLevels() {
    std::vector<std::string> levels;
    for (int i = 0; i <= 9; ++i) {
        levels.push_back("Level " + std::to_string(i));
    }
    return levels;
}

std::vector<std::string> OggBitrates() {
    return {"AutoSelect", "45",  "48",  "56",  "64",  "80",  "96",  "112",
            "128",        "144", "160", "192", "224", "256", "320", "499"};
}

// Host names of the CDDB servers offered in the options; the first is the default.
std::vector<std::string> CddbServers() {
    return {"gnudb.gnudb.org", "freedb.freedb.org", "us.freedb.org", "de.freedb.org",
            "at.freedb.org",   "ca.freedb.org",     "uk.freedb.org", "ru.freedb.org",
            "jp.freedb.org",   "es.freedb.org",     "au.freedb.org"};
}

// The user's music folder; without a home folder ("HOME" unset and none in the user
// database) "", which the commands refuse, rather than a folder under "/".
std::string MusicFolder() {
    if (qEnvironmentVariableIsEmpty("HOME")) {
        const passwd* user = ::getpwuid(::getuid());
        const std::string home = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
        return home.empty() || home == "/" ? std::string() : home + "/Music/";
    }
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation).toStdString() + "/";
}

std::vector<SettingDefinition> BuildTable() {
    using K = SettingKind;
    std::vector<std::string> patterns(std::begin(kOutputFileNamePatterns),
                                      std::end(kOutputFileNamePatterns));
    return {
        {"Language", K::Text, "ENG", {}},
        {"Left", K::Integer, "244", {}},
        {"Top", K::Integer, "118", {}},
        {"Width", K::Integer, "541", {}},
        {"Height", K::Integer, "511", {}},
        {"InformWhenDone", K::Boolean, "0", {}},
        {"RipToFormat", K::ListText, "MP3", {"MP3", "WMA", "OGG", "WAV", "APE", "FLAC"}},
        {"SampleRate", K::ListText, "Default", {"Default", "32 kHz", "41 kHz", "48 kHz"}},
        {"Mode", K::ListText, "Stereo", {"Stereo", "Joint Stereo", "Dual Channel", "Mono"}},
        {"UseVBR", K::Boolean, "0", {}},
        {"Original", K::Boolean, "1", {}},
        {"Copyright", K::Boolean, "0", {}},
        {"CRC", K::Boolean, "0", {}},
        {"CBRBitrate", K::ListText, "192", MP3Bitrates()},
        {"CBRQuality", K::ListText, "Level 5", QualityLevels()},
        {"WriteVBRHeader", K::Boolean, "0", {}},
        {"MinBitrate", K::ListText, "128", MP3Bitrates()},
        {"MaxBitrate", K::ListText, "192", MP3Bitrates()},
        {"VBRQuality", K::ListText, "Level 5", QualityLevels()},
        {"OGGCompressionLevel", K::Integer, "75", {}, 10, 100},
        {"WMABitrate", K::ListPos, "9", {}, 0},
        {"FreeDBServer", K::Server, CddbServers().front(), CddbServers()},
        {"CDDBUserEmail", K::Text, kDefaultCddbEmail, {}},
        {"OutputFileNameFormat", K::ListText, patterns[kDefaultOutputFileNamePattern], patterns},
        {"FilePath", K::Text, MusicFolder(), {}},
        {"ConvFilePath", K::Text, MusicFolder(), {}},
        {"DesiredNominalBitrate", K::ListPos, "0", OggBitrates()},
        {"DesiredMinimumBitrate", K::ListPos, "0", OggBitrates()},
        {"DesiredMaximumBitrate", K::ListPos, "0", OggBitrates()},
        {"APECompressionLevel", K::ListPos, "1", {"FAST", "NORMAL", "HIGH", "EXTRA HIGH"}},
        {"SavePlayList", K::ListPos, "0", {"None", "M3U", "PLS"}},
    };
}

std::optional<int> ParseInteger(const std::string& text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) {
        return std::nullopt;
    }
    return value;
}

bool SameText(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string Joined(const std::vector<std::string>& values) {
    std::string text;
    for (const auto& value : values) {
        text += (text.empty() ? "" : ", ") + value;
    }
    return text;
}

std::string Invalid(const SettingDefinition& definition, const std::string& value) {
    return "invalid value '" + value + "' for " + definition.name +
           "; valid values: " + ValidValuesText(definition);
}

const SettingDefinition& Definition(const std::string& name) {
    if (const auto* definition = FindSetting(name)) {
        return *definition;
    }
    throw std::out_of_range("unknown setting " + name);
}

} // namespace

const std::vector<SettingDefinition>& SettingsTable() {
    static const std::vector<SettingDefinition> table = BuildTable();
    return table;
}

const SettingDefinition* FindSetting(const std::string& name) {
    for (const auto& definition : SettingsTable()) {
        if (name == definition.name) {
            return &definition;
        }
    }
    return nullptr;
}

std::vector<std::string> ValidValues(const SettingDefinition& definition) {
    switch (definition.kind) {
    case SettingKind::Boolean:
        return {"0 (off)", "1 (on)"};
    case SettingKind::ListText:
    case SettingKind::Server:
        return definition.entries;
    case SettingKind::ListPos: {
        std::vector<std::string> values;
        for (size_t i = 0; i < definition.entries.size(); ++i) {
            values.push_back(std::to_string(i) + " (" + definition.entries[i] + ")");
        }
        return values;
    }
    case SettingKind::Integer:
    case SettingKind::Text:
        break;
    }
    return {};
}

std::string ValidValuesText(const SettingDefinition& definition) {
    switch (definition.kind) {
    case SettingKind::Integer:
        if (definition.minimum == INT_MIN && definition.maximum == INT_MAX) {
            return "an integer";
        }
        return "an integer from " + std::to_string(definition.minimum) + " to " +
               std::to_string(definition.maximum);
    case SettingKind::Text:
        return "any text";
    case SettingKind::ListPos:
        if (definition.entries.empty()) {
            return "a list position, 0 or more";
        }
        break;
    case SettingKind::Server:
        return Joined(ValidValues(definition)) + ", or HOST:PORT";
    case SettingKind::Boolean:
    case SettingKind::ListText:
        break;
    }
    return Joined(ValidValues(definition));
}

SettingCheck CheckSettingValue(const SettingDefinition& definition, const std::string& value) {
    const auto& entries = definition.entries;
    switch (definition.kind) {
    case SettingKind::Text:
        return {value, {}};
    case SettingKind::Boolean:
        if (value == "0" || value == "1") {
            return {value, {}};
        }
        break;
    case SettingKind::Integer: {
        const auto number = ParseInteger(value);
        if (number && *number >= definition.minimum && *number <= definition.maximum) {
            return {std::to_string(*number), {}};
        }
        break;
    }
    case SettingKind::ListText:
    case SettingKind::Server:
        for (const auto& entry : entries) {
            if (SameText(entry, value)) {
                return {entry, {}};
            }
        }
        // A server outside the list is given with its port.
        if (std::string problem; definition.kind == SettingKind::Server &&
                                 value.find(':') != std::string::npos &&
                                 CheckServerAddress(value, problem)) {
            return {value, {}};
        }
        break;
    case SettingKind::ListPos: {
        const auto number = ParseInteger(value);
        const bool open = entries.empty(); // filled at run time (WMA profiles)
        if (number && *number >= 0 && (open || *number < static_cast<int>(entries.size()))) {
            return {std::to_string(*number), {}};
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            if (SameText(entries[i], value)) {
                return {std::to_string(i), {}};
            }
        }
        break;
    }
    }
    return {std::nullopt, Invalid(definition, value)};
}

SettingAssignment ParseSettingAssignment(const std::string& text) {
    const auto eq = text.find('=');
    SettingAssignment assignment;
    assignment.name = text.substr(0, eq);
    const SettingDefinition* definition = FindSetting(assignment.name);
    if (definition == nullptr) {
        assignment.check.problem = "unknown setting '" + assignment.name + "'";
    } else if (eq == std::string::npos) {
        assignment.check.problem =
            "missing value for " + assignment.name +
            " (give NAME=VALUE); valid values: " + ValidValuesText(*definition);
    } else {
        assignment.check = CheckSettingValue(*definition, text.substr(eq + 1));
    }
    return assignment;
}

std::optional<std::string> CheckServerAddress(const std::string& text, std::string& problem) {
    const size_t colon = text.find(':');
    const std::string host = text.substr(0, colon);
    const bool hostValid = !host.empty() && host.front() != '-' && host.front() != '.' &&
                           std::all_of(host.begin(), host.end(), [](char c) {
                               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                      (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
                           });
    if (!hostValid) {
        problem = "invalid server '" + text + "': '" + host + "' is not a host name";
        return std::nullopt;
    }
    if (colon != std::string::npos) {
        const std::string port = text.substr(colon + 1);
        const auto number = ParseInteger(port);
        if (!number || port.front() == '+' || *number < 1 || *number > 65535) {
            problem = "invalid server '" + text + "': the port must be a number from 1 to 65535";
            return std::nullopt;
        }
    }
    return text;
}

Settings::Settings() {
    for (const auto& definition : SettingsTable()) {
        values_[definition.name] = definition.defaultValue;
    }
}

bool Settings::Set(const std::string& name, const std::string& value) {
    if (FindSetting(name) == nullptr) {
        return false;
    }
    values_[name] = value;
    return true;
}

std::string Settings::Raw(const std::string& name) const {
    const auto it = values_.find(name);
    return it != values_.end() ? it->second : Definition(name).defaultValue;
}

int Settings::Integer(const std::string& name) const {
    if (const auto value = ParseInteger(Raw(name))) {
        return *value;
    }
    return ParseInteger(Definition(name).defaultValue).value_or(0);
}

bool Settings::Boolean(const std::string& name) const {
    return Integer(name) != 0;
}

std::string Settings::Text(const std::string& name) const {
    return Raw(name);
}

int Settings::ListPosition(const std::string& name) const {
    const SettingDefinition& definition = Definition(name);
    if (definition.kind == SettingKind::ListPos) {
        const int position = Integer(name);
        const bool open = definition.entries.empty(); // filled at run time (WMA profiles)
        if (position < 0 || (!open && position >= static_cast<int>(definition.entries.size()))) {
            return -1;
        }
        return position;
    }
    const QString stored = QString::fromStdString(Raw(name));
    for (size_t i = 0; i < definition.entries.size(); ++i) {
        if (stored.compare(QString::fromStdString(definition.entries[i]), Qt::CaseInsensitive) ==
            0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string Settings::ListText(const std::string& name) const {
    const int position = ListPosition(name);
    const SettingDefinition& definition = Definition(name);
    const auto& entries = definition.entries;
    if (position >= 0 && position < static_cast<int>(entries.size())) {
        return entries[position];
    }
    if (definition.kind == SettingKind::Server) {
        return CheckSettingValue(definition, Raw(name)).value.value_or("");
    }
    return "";
}

Settings SettingsStore::Load() {
    Settings settings;
    QSettings store("Tovalen", "QuillonRip");
    store.beginGroup("Main");
    for (const auto& definition : SettingsTable()) {
        const QVariant value = store.value(definition.name);
        if (value.isValid()) {
            settings.Set(definition.name, value.toString().toStdString());
        }
    }
    return settings;
}

void SettingsStore::Save(const Settings& settings) {
    QSettings store("Tovalen", "QuillonRip");
    store.beginGroup("Main");
    for (const auto& definition : SettingsTable()) {
        store.setValue(definition.name, QString::fromStdString(settings.Raw(definition.name)));
    }
    store.sync();
}

bool SettingsStore::Store(const std::vector<std::pair<std::string, std::string>>& values) {
    QSettings store("Tovalen", "QuillonRip");
    store.beginGroup("Main");
    for (const auto& [name, value] : values) {
        store.setValue(QString::fromStdString(name), QString::fromStdString(value));
    }
    store.sync();
    return store.status() == QSettings::NoError;
}

std::string SettingsStore::FileName() {
    return QSettings("Tovalen", "QuillonRip").fileName().toStdString();
}

} // namespace quillon
