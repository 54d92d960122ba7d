// IniFile: the first line of the input names a section, the rest is the file; the section's
// keys are read, then one is written, which rewrites the file in place.
#include "FuzzInput.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const quillon::fuzz::SplitInput input = quillon::fuzz::SplitFirstLine(data, size);
    quillon::IniFile ini(
        quillon::fuzz::WriteInputFile("input.ini", input.rest.data(), input.rest.size()));
    for (const std::string& key : ini.ReadSection(input.firstLine)) {
        ini.ReadString(input.firstLine, key, "");
    }
    ini.WriteString(input.firstLine, "FuzzKey", "value");
    ini.WriteString("Fuzz", input.firstLine, "value");
    return 0;
}
