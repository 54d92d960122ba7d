// The drive box and the track list of the main window: listing the disc, ticking rows, and
// moving tags between the rows and the tag panel.
#include "app/AppIcons.h"
#include "app/CdPreview.h"
#include "app/RipFrm.h"
#include "cd/CDIn.h"
#include "cddb/Cddb.h"
#include "workflow/CddbLookup.h"
#include "workflow/DiscText.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>

namespace quillon {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

void TRipFrm::FillDrives(int choose) {
    const QSignalBlocker blocker(driveBox_);
    driveBox_->clear();
    const int count = cdIn_->DriveCount();
    for (int drive = 0; drive < count; ++drive) {
        cdIn_->SetCurrentDrive(drive);
        const QString name = Text(cdIn_->DriveName());
        driveBox_->addItem(ThemeIcon("media-optical"), name);
        driveBox_->setItemData(drive, name, Qt::ToolTipRole);
    }
    const int chosen = count > 0 ? std::clamp(choose, 0, count - 1) : 0;
    driveBox_->setCurrentIndex(count > 0 ? chosen : -1);
    cdIn_->SetCurrentDrive(chosen);
}

void TRipFrm::DriveChanged(int index) {
    if (index < 0) {
        return;
    }
    preview_->StopPreview();
    cdIn_->SetCurrentDrive(index);
    RefreshTrackList();
}

// A drive or disc came or went: list the drives again when their number changed, keeping the
// chosen one where it is still there, and read the disc again.
void TRipFrm::DrivesChanged() {
    if (ripping_) {
        refreshAfterRip_ = true;
        return;
    }
    if (cdIn_->DriveCount() != driveBox_->count()) {
        preview_->StopPreview();
        const QString chosen = driveBox_->currentText();
        FillDrives(0);
        if (const int again = driveBox_->findText(chosen); again > 0) {
            const QSignalBlocker blocker(driveBox_);
            driveBox_->setCurrentIndex(again);
            cdIn_->SetCurrentDrive(again);
        }
    }
    RefreshTrackList();
}

int TRipFrm::RowCount() const {
    return list_->topLevelItemCount();
}

void TRipFrm::RefreshTrackList() {
    // A lookup under way was for the disc listed until now; its entry must not name these rows.
    lookup_->Abort();
    // Without any drive there is no disc to list.
    const bool haveDrive = driveBox_->count() > 0;
    discKind_ = haveDrive ? cdIn_->DiscKind() : dkNoDisc;
    panels_[3]->setText(Text(DiscKindText(discKind_)));
    {
        const QSignalBlocker trackBlocker(trackBox_);
        trackBox_->clear();
        list_->clear();
    }
    const int count = haveDrive ? cdIn_->TrackCount() : 0;
    for (int track = 1; track <= count; ++track) {
        try {
            AddRow(track, cdIn_->TrackInfo(track).Length);
        } catch (const std::exception&) {
            break; // the disc went away while it was being read
        }
    }
    if (trackBox_->count() > 0) {
        trackBox_->setCurrentIndex(0);
    }
    currentTrack_ = 1;
    // A later lookup identifies the disc in the chosen drive.
    if (const int drive = driveBox_->currentIndex(); drive >= 0) {
        cddb_->ReadDiscId(static_cast<uint8_t>(drive));
    }
    trackList_->ClearTagPanel();
    UpdateCommands();
}

// Only an audio disc can be previewed, tagged, ripped and looked up; during a rip nothing may
// change the disc or the rows it rips.
void TRipFrm::UpdateCommands() {
    const bool audio = discKind_ == dkAudio;
    preview_->setEnabled(audio);
    trackList_->TagPanel().setEnabled(audio);
    list_->setEnabled(audio);
    for (QAction* action : {btnRip_, mnuRip_, btnFreeDB_}) {
        action->setEnabled(audio && !ripping_);
    }
    for (QAction* action : {btnEject_, mnuEject_, btnCloseTray_, mnuCloseTray_, btnRefresh_,
                            mnuRefresh_, mnuOpenImage_}) {
        action->setEnabled(!ripping_);
    }
}

void TRipFrm::AddRow(int track, const TCDTime& length) {
    const QString caption = Text(TrackCaption(track, length));
    trackBox_->addItem(caption);
    auto* row = new QTreeWidgetItem(list_);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setText(colTrack, caption);
    row->setText(colTitle, "Track " + QString::number(track));
    row->setText(colStatus, kStatusNotRipped);
    row->setCheckState(colTrack, Qt::Checked);
}

void TRipFrm::SelectAll() {
    trackList_->SetAllTicks(true);
    trackList_->SetTrackHeader(true);
}

void TRipFrm::SelectNone() {
    trackList_->SetAllTicks(false);
    trackList_->SetTrackHeader(false);
}

void TRipFrm::InvertSelection() {
    trackList_->InvertTicks();
}

void TRipFrm::SetRowStatus(int track, const QString& status) {
    if (QTreeWidgetItem* row = list_->topLevelItem(track - 1)) {
        row->setText(colStatus, status);
    }
}

std::vector<RipRow> TRipFrm::RowsFromList() const {
    std::vector<RipRow> rows;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        RipRow row;
        row.Track = i + 1;
        row.Checked = item->checkState(colTrack) == Qt::Checked;
        row.Tags = trackList_->RowTags(i);
        row.Status = item->text(colStatus).toStdString();
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace quillon
