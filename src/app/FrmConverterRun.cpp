// Converting from the converter window: the convert engine does the work; the window shows
// its events in the progress bar, the Status column and the status bar.
#include "app/FrmConverter.h"
#include "app/MessageBox.h"
#include "app/OptionsFrm.h"
#include "workflow/RipEngine.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

namespace quillon {

namespace {

// How long the pump may spend on the window's events each time the conversion waits.
constexpr int kPumpMs = 20;

} // namespace

void TFrmConverter::ConnectEngine() {
    engine_.OnFileStarted = [this](int row, const std::string&) {
        currentRow_ = row;
        progressBar_->setValue(0);
    };
    // Raised on the sink's worker thread: the window shows it from its own thread.
    engine_.OnProgress = [this](int row, int percent) {
        QMetaObject::invokeMethod(
            this, [this, row, percent] { ShowProgress(row, percent); }, Qt::QueuedConnection);
    };
    engine_.OnFileDone = [this](int row) { FileEnded(row, kStatusComplete); };
    // The row tells what went wrong, the status bar the last failure; the run goes on.
    engine_.OnFileFailed = [this](int row, const std::string& message) {
        const QString text = QString::fromStdString(message);
        ShowFailure(text);
        ++failures_;
        FileEnded(row, QString(kStatusFailed) + ": " + text);
    };
    engine_.OnFileStopped = [this](int row) { FileEnded(row, kStatusStopped); };
    engine_.OnFinished = [this](bool informUser) { ConvertFinished(informUser); };
}

void TFrmConverter::ConvertButton() {
    if (converting_) {
        return;
    }
    converting_ = true;
    closing_ = false;
    failures_ = 0;
    ShowFailure({});
    UpdateCommands();

    // The rows as they are now, with the tags the user typed into them.
    std::vector<ConvertRow> rows = RowsFromList();
    const Settings settings = options_ ? options_->Snapshot() : SettingsStore::Load();
    try {
        engine_.Convert(rows, settings, {},
                        [] { QCoreApplication::processEvents(QEventLoop::AllEvents, kPumpMs); });
    } catch (const std::exception& e) {
        ShowFailure(QString::fromStdString(e.what()));
        ++failures_;
        ConvertFinished(settings.Boolean("InformWhenDone"));
    }
    converting_ = false;
    currentRow_ = 0;
    UpdateCommands();
}

void TFrmConverter::StopConvert() {
    engine_.Stop();
}

void TFrmConverter::ShowProgress(int row, int percent) {
    // Progress that arrives after its file ended must not cover the file's outcome.
    if (row != currentRow_) {
        return;
    }
    progressBar_->setValue(percent);
    SetRowStatus(row, QString::fromStdString(ProgressStatus(percent)));
}

void TFrmConverter::FileEnded(int row, const QString& status) {
    currentRow_ = 0;
    // The bar ends full for a finished file and empty for one that was not.
    progressBar_->setValue(status == kStatusComplete ? 100 : 0);
    SetRowStatus(row, status);
}

void TFrmConverter::ConvertFinished(bool informUser) {
    // A window closed during the run says nothing more; a run in which files failed is no
    // success.
    if (!informUser || closing_) {
        return;
    }
    if (failures_ > 0) {
        ShowMessage(this, "Some files could not be converted.", "Convert", MessageIcon::Error,
                    panels_[0]->text());
    } else {
        ShowMessage(this, "Operation complete successful", "All Done", MessageIcon::Information);
    }
}

} // namespace quillon
