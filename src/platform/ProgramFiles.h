#pragma once

#include <string>

namespace quillon {

// Where the program finds what belongs to it. In the build tree everything sits beside the
// executables. An installed tree keeps it where Debian keeps such files, found relative to the
// executable's folder so that the tree works under any prefix:
//   <prefix>/bin/             the programs users start
//   <prefix>/lib/quillon/     private programs (quillon-workflow) and the stand-in libraries
//   <prefix>/share/quillon/   data folders (Languages, Profiles)
enum class ProgramFileKind { Private, Data };

// The path of a file or folder of the program: beside the executable when it is there, else
// in the installed place of its kind; when neither exists, the path beside the executable, so
// that messages name where it was looked for first.
std::string ProgramFile(const std::string& name, ProgramFileKind kind);
// The same for an executable in programDir.
std::string ProgramFile(const std::string& name, ProgramFileKind kind,
                        const std::string& programDir);

} // namespace quillon
