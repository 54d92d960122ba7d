// The texts of --set: the whole "NAME=VALUE", and the value checked against every setting.
#include "workflow/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    quillon::ParseSettingAssignment(text);
    for (const quillon::SettingDefinition& definition : quillon::SettingsTable()) {
        quillon::CheckSettingValue(definition, text);
    }
    return 0;
}
