// The CD database lookup from the main window: the lookup runs the protocol; the window logs
// its lines in the hidden Memo1, fills the rows and the tag panel from the entry, and tells
// the user how it ended.
#include "app/MessageBox.h"
#include "app/OptionsFrm.h"
#include "app/RipFrm.h"
#include "cddb/Cddb.h"
#include "workflow/CddbEntryFill.h"
#include "workflow/CddbLookup.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

namespace quillon {

void TRipFrm::ConnectLookupEvents() {
    lookup_ = std::make_unique<TCddbLookup>(*cddb_);
    lookup_->OnStatus = [this](const std::string& status) { AppendToLog(status); };
    lookup_->OnData = [this](const std::string& line) { AppendToLog(line); };
    lookup_->OnDone = [this](const TCDInfo&) { LookupDone(); };
    lookup_->OnFailed = [this](const std::string& message) { LookupFailed(message); };
}

void TRipFrm::StartLookup() {
    log_->clear();
    const Settings settings = CurrentSettings();
    std::string email = settings.Text("CDDBUserEmail");
    if (email.empty()) {
        email = kDefaultCddbEmail;
    }
    lookup_->Start(settings.ListText("FreeDBServer"), TServerType::HTTP, email);
}

void TRipFrm::AppendToLog(const std::string& line) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    log_->appendPlainText(QString::fromStdString(text));
}

// The entry is in the log: its lines give the disc's and the tracks' tags.
void TRipFrm::LookupDone() {
    std::vector<std::string> lines;
    for (const QString& line : log_->toPlainText().split('\n')) {
        lines.push_back(line.toStdString());
    }
    TrackTags panel = trackList_->PanelTags();
    DiscTags disc{panel.Artist, panel.Album, panel.Year, panel.Genre};
    std::vector<RipRow> rows = RowsFromList();
    FillFromCddbEntry(lines, disc, rows);

    panel.Artist = disc.Artist;
    panel.Album = disc.Album;
    panel.Year = disc.Year;
    panel.Genre = disc.Genre;
    trackList_->SetPanelTags(panel);
    for (size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(i));
        if (!item) {
            break;
        }
        const TrackTags& tags = rows[i].Tags;
        item->setText(colTitle, QString::fromStdString(tags.Title));
        item->setText(colArtist, QString::fromStdString(tags.Artist));
        item->setText(colAlbum, QString::fromStdString(tags.Album));
        item->setText(colYear, QString::fromStdString(tags.Year));
        item->setText(colGenre, QString::fromStdString(tags.Genre));
    }
    ShowMessage(this, "Operation complete successful", "Complete", MessageIcon::Information);
}

void TRipFrm::LookupFailed(const std::string& message) {
    if (message == "No match found") {
        ShowMessage(this, "Can't find CD info", "Complete", MessageIcon::Information);
    } else {
        ShowMessage(this, "Error ocured", "Error", MessageIcon::Error,
                    QString::fromStdString(message));
    }
}

} // namespace quillon
