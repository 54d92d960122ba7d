// Ripping from the main window: the rip engine does the work; the window shows its events in
// the progress window, the Status column and the status bar.
#include "app/CdPreview.h"
#include "app/MessageBox.h"
#include "app/OperationProgressFrm.h"
#include "app/OptionsFrm.h"
#include "app/RipFrm.h"
#include "cd/CDIn.h"

#include <QCoreApplication>
#include <QLabel>

namespace quillon {

namespace {

// How long the pump may spend on the window's events each time the rip waits.
constexpr int kPumpMs = 20;

} // namespace

void TRipFrm::ConnectRipEvents() {
    engine_.OnTrackStarted = [this](int track, const std::string& outputFile) {
        ripTrack_ = track;
        currentTrack_ = track;
        if (options_) {
            options_->SetFormatListEnabled(false);
        }
        if (progress_) {
            progress_->SetCaption(
                QString("Track %1: %2").arg(track).arg(QString::fromStdString(outputFile)));
            progress_->SetPosition(0);
        }
    };
    // Raised on the sink's worker thread: the window shows it from its own thread.
    engine_.OnProgress = [this](int track, int percent) {
        QMetaObject::invokeMethod(
            this, [this, track, percent] { ShowProgress(track, percent); }, Qt::QueuedConnection);
    };
    engine_.OnTrackDone = [this](int track) { TrackEnded(track, kStatusComplete); };
    engine_.OnTrackFailed = [this](int track, const std::string& message) {
        ShowFailure(QString::fromStdString(message));
        ++ripFailures_;
        TrackEnded(track, kStatusFailed);
    };
    engine_.OnTrackStopped = [this](int track) { TrackEnded(track, kStatusStopped); };
    engine_.OnFinished = [this](bool informUser) { RipFinished(informUser); };
}

void TRipFrm::RipButton() {
    if (ripping_ || discKind_ != dkAudio) {
        return;
    }
    ripping_ = true;
    closeAfterRip_ = false;
    ripFailures_ = 0;
    preview_->StopPreview();
    progress_ = new TOperationProgressFrm(this);
    connect(progress_, &TOperationProgressFrm::Cancelled, this, &TRipFrm::CancelRip);
    progress_->show();
    mainPanel_->setEnabled(false);
    UpdateCommands();
    ShowFailure({});

    std::vector<RipRow> rows = RowsFromList();
    try {
        engine_.Rip(*cdIn_, rows, CurrentSettings(),
                    [] { QCoreApplication::processEvents(QEventLoop::AllEvents, kPumpMs); });
    } catch (const std::exception& e) {
        ShowFailure(QString::fromStdString(e.what()));
        ++ripFailures_;
        RipFinished(false);
    }
    ripping_ = false;
    ripTrack_ = 0;
    UpdateCommands();
    if (closeAfterRip_) {
        close();
        return;
    }
    if (refreshAfterRip_) {
        refreshAfterRip_ = false;
        DrivesChanged();
    }
}

void TRipFrm::CancelRip() {
    engine_.Stop();
}

void TRipFrm::ShowProgress(int track, int percent) {
    // Progress that arrives after its track ended must not cover the track's outcome.
    if (track != ripTrack_) {
        return;
    }
    if (progress_) {
        progress_->SetPosition(percent);
    }
    SetRowStatus(track, QString::fromStdString(ProgressStatus(percent)));
}

void TRipFrm::TrackEnded(int track, const char* status) {
    ripTrack_ = 0;
    if (options_) {
        options_->SetFormatListEnabled(true);
    }
    SetRowStatus(track, status);
}

void TRipFrm::RipFinished(bool informUser) {
    mainPanel_->setEnabled(true);
    if (progress_) {
        progress_->close();
    }
    // A window that is closing says nothing more; a rip in which tracks failed is no success.
    if (!informUser || closeAfterRip_) {
        return;
    }
    if (ripFailures_ > 0) {
        ShowMessage(this, "Some tracks could not be ripped.", "Rip", MessageIcon::Error,
                    panels_[0]->text());
    } else {
        ShowMessage(this, "Operation complete successful", "All Done", MessageIcon::Information);
    }
}

} // namespace quillon
