#pragma once

#include "workflow/Settings.h"

#include <string>
#include <vector>

namespace quillon {

// The files written by one rip or one conversion, saved at the end as an M3U or PLS list.
// Texts are UTF-8.
class TPlaylist {
public:
    // Ignores a file name that is already listed (compared without regard to case).
    void Add(const std::string& fileName, const std::string& title, int seconds);
    // Both saves swallow every failure and report true, so a lost playlist never stops a rip.
    bool SaveM3U(const std::string& fileName) const;
    bool SavePLS(const std::string& fileName) const;

    const std::vector<std::string>& Files() const { return files_; }
    const std::vector<std::string>& Titles() const { return titles_; }
    const std::vector<std::string>& Lengths() const { return lengths_; }

private:
    std::vector<std::string> files_;
    std::vector<std::string> titles_;
    std::vector<std::string> lengths_;
};

// The "Play List" choices, by list position.
enum TPlaylistChoice { plNone = 0, plM3U = 1, plPLS = 2 };

// Folder + "/PlayList-" + today's date in the system's short format + the extension; a "/"
// of the date format becomes "-" so the name stays inside the folder.
std::string PlaylistFileName(const std::string& folder, TPlaylistChoice choice);

// Saves the playlist as the choice says (nothing for plNone).
void SavePlaylist(const TPlaylist& playlist, const std::string& folder, TPlaylistChoice choice);
// The same, in the form the "SavePlayList" setting chooses.
void SavePlaylist(const TPlaylist& playlist, const std::string& folder, const Settings& settings);

} // namespace quillon
