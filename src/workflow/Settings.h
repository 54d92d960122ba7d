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
    Server,   // a list entry as for ListText, or any server given as HOST:PORT
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
// within its list, an integer within its range, 0 or 1 for a Boolean; any text for Text; a
// list entry or HOST:PORT for a server.
SettingCheck CheckSettingValue(const SettingDefinition& definition, const std::string& value);

// What a setting takes, for messages and lists: "MP3, WMA, OGG, WAV, APE, FLAC",
// "0 (None), 1 (M3U), 2 (PLS)", "an integer from 10 to 100", "0 (off), 1 (on)", "any text",
// "gnudb.gnudb.org, ..., or HOST:PORT".
std::string ValidValuesText(const SettingDefinition& definition);

// The valid values one by one where a setting has a fixed set of them (lists and Booleans;
// the list entries of a server setting); empty for integers and texts.
std::vector<std::string> ValidValues(const SettingDefinition& definition);

// Reads "NAME=VALUE": the setting's name and its checked value, or the problem (unknown
// setting, missing value, invalid value).
struct SettingAssignment {
    std::string name;
    SettingCheck check;
};
SettingAssignment ParseSettingAssignment(const std::string& text);

// Reads a server as "host" or "host:port": a host name or IPv4 address (letters, digits, ".",
// "-", "_"), and a port from 1 to 65535. The text as given when it is valid, otherwise
// nothing with what is wrong in problem.
std::optional<std::string> CheckServerAddress(const std::string& text, std::string& problem);

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
    // The selected entry's text as the list spells it, or "" for no selection; for a server
    // setting, a HOST:PORT outside the list as stored.
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
