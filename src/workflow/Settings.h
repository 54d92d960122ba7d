#pragma once

#include <climits>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// How a value is kept and what its text means.
enum class SettingKind {
    Integer,  // decimal text
    Boolean,  // "0" or "1"; any non-zero number is true
    Text,     // free text
    ListText, // the text of a list entry, matched without regard to case
    ListPos,  // the 0-based position of a list entry
};

struct SettingDefinition {
    const char* name;
    SettingKind kind;
    std::string defaultValue;
    std::vector<std::string> entries; // the list's entries for ListText and ListPos
    int minimum = INT_MIN;            // the range an Integer may take
    int maximum = INT_MAX;
};

// Every value of the settings store, in the order in which it is saved.
const std::vector<SettingDefinition>& SettingsTable();
const SettingDefinition* FindSetting(const std::string& name);

// A value checked against its setting, as a user or the command line gives it.
struct SettingCheck {
    // The text to store: a list entry as the list spells it, a list position as a number
    // (also when the entry was given by its text); empty when the value is not valid.
    std::optional<std::string> value;
    std::string problem; // why the value is not valid, naming the valid values
};

// Checks a value against the setting's kind: a list entry (any letter case), a position
// within its list, an integer within its range, 0 or 1 for a Boolean; any text for Text.
SettingCheck CheckSettingValue(const SettingDefinition& definition, const std::string& value);

// What a setting takes, for messages and lists: "MP3, WMA, OGG, WAV, APE, FLAC",
// "0 (None), 1 (M3U), 2 (PLS)", "an integer from 10 to 100", "0 (off), 1 (on)", "any text".
std::string ValidValuesText(const SettingDefinition& definition);

// The valid values one by one where a setting has a fixed set of them (lists and Booleans);
// empty for integers and texts.
std::vector<std::string> ValidValues(const SettingDefinition& definition);

// Reads "NAME=VALUE": the setting's name and its checked value, or the problem (unknown
// setting, missing value, invalid value).
struct SettingAssignment {
    std::string name;
    SettingCheck check;
};
SettingAssignment ParseSettingAssignment(const std::string& text);

// A snapshot of the settings as text values by name, read with the store's rules: a missing
// or non-numeric integer falls back to its default, a list text that matches no entry selects
// nothing. It is what the rip and convert loops read when they configure a pipeline.
class Settings {
public:
    // A snapshot holding the defaults.
    Settings();

    // Replaces a value; false when the name is not a setting.
    bool Set(const std::string& name, const std::string& value);
    // The stored text, or the default when the value was never set.
    std::string Raw(const std::string& name) const;

    int Integer(const std::string& name) const;
    bool Boolean(const std::string& name) const;
    std::string Text(const std::string& name) const;
    // The selected entry's position in its list, or -1 for no selection.
    int ListPosition(const std::string& name) const;
    // The selected entry's text as the list spells it, or "" for no selection.
    std::string ListText(const std::string& name) const;

private:
    std::map<std::string, std::string> values_;
};

// The persistent store of the settings: QSettings("Tovalen", "QuillonRip"), group "Main",
// every value stored as text.
class SettingsStore {
public:
    // Reads every value of the table that exists in the store over the defaults.
    static Settings Load();
    // Writes every value of the table, in table order.
    static void Save(const Settings& settings);
    // Writes the given values only; false when the store could not be written.
    static bool Store(const std::vector<std::pair<std::string, std::string>>& values);
    // The file that holds the store.
    static std::string FileName();
};

} // namespace quillon
