#include "workflow/Playlist.h"

#include "platform/FileStream.h"
#include "platform/IniFile.h"
#include "workflow/OutputFileName.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <algorithm>

namespace quillon {

void TPlaylist::Add(const std::string& fileName, const std::string& title, int seconds) {
    const QString name = QString::fromStdString(fileName);
    const bool listed = std::any_of(files_.begin(), files_.end(), [&](const std::string& f) {
        return QString::fromStdString(f).compare(name, Qt::CaseInsensitive) == 0;
    });
    if (listed) {
        return;
    }
    // A line break in a name or title would start a new entry of the list.
    files_.push_back(WithoutControlCharacters(fileName));
    titles_.push_back(WithoutControlCharacters(title));
    lengths_.push_back(std::to_string(seconds));
}

bool TPlaylist::SaveM3U(const std::string& fileName) const {
    try {
        std::string text = "#EXTM3U\r\n";
        for (size_t i = 0; i < files_.size(); ++i) {
            text += "#EXTINF:" + lengths_[i] + "," + titles_[i] + "\r\n";
            text += files_[i] + "\r\n";
        }
        FileStream out(fileName, FileStream::Mode::Create);
        out.Write(text.data(), text.size());
        out.Commit();
    } catch (const std::exception&) {
        // A playlist that cannot be written is silently left out.
    }
    return true;
}

bool TPlaylist::SavePLS(const std::string& fileName) const {
    std::string name = fileName;
    if (QString::fromStdString(name).toUpper().indexOf(".PLS") < 0) {
        name += ".pls";
    }
    IniFile ini(name);
    for (size_t i = 0; i < files_.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        ini.WriteString("playlist", "File" + n, files_[i]);
        ini.WriteString("playlist", "Title" + n, titles_[i]);
        ini.WriteString("playlist", "Length" + n, lengths_[i]);
    }
    ini.WriteString("playlist", "NumberOfEntries", std::to_string(files_.size()));
    return true;
}

std::string PlaylistFileName(const std::string& folder, TPlaylistChoice choice) {
    QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    date.replace('/', '-');
    const char* extension = choice == plPLS ? ".pls" : ".m3u";
    return folder + "/PlayList-" + date.toStdString() + extension;
}

void SavePlaylist(const TPlaylist& playlist, const std::string& folder, TPlaylistChoice choice) {
    if (choice == plM3U) {
        playlist.SaveM3U(PlaylistFileName(folder, choice));
    } else if (choice == plPLS) {
        playlist.SavePLS(PlaylistFileName(folder, choice));
    }
}

void SavePlaylist(const TPlaylist& playlist, const std::string& folder, const Settings& settings) {
    SavePlaylist(playlist, folder,
                 static_cast<TPlaylistChoice>(std::max(0, settings.ListPosition("SavePlayList"))));
}

} // namespace quillon
