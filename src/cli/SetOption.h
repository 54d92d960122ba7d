#pragma once

#include "cli/OptionParser.h"
#include "workflow/Settings.h"

#include <string>

namespace quillon::cli {

// Adds "--set NAME=VALUE", which overrides one setting in `settings` for this run; example is
// the sample assignment its help shows ("--set RipToFormat=WAV --set ConvFilePath=/tmp/out").
OptionParser& AddSetOption(OptionParser& parser, Settings& settings, const std::string& example);

// Why the settings a writing command needs cannot be used: the output folder setting
// (folderSetting) and "RipToFormat"; empty when both are usable.
std::string OutputSettingsProblem(const Settings& settings, const std::string& folderSetting);

} // namespace quillon::cli
