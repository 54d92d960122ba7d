#pragma once

#include "workflow/ConvertEngine.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QTreeWidget;

namespace quillon {

class TConvertListLoader;
class TOptionsFrm;
class TTrackList;

// The time of day that a duration in seconds would be, in the system's long time format
// without time zone or AM/PM marker ("00:03:25"), as the converter's Duration column shows it.
QString DurationText(double seconds);

// The batch converter window: a list of audio files with their tags, converted one after the
// other by the convert engine into the format, folder and names that the options window
// chooses. Files come from "Open Files" or are dropped on the window; the list is read in the
// background and fills a batch at a time. Closing the window hides it, stopping a conversion
// under way first.
class TFrmConverter : public QMainWindow {
    Q_OBJECT
public:
    // The options window holds the settings of every conversion; without one the stored
    // settings are used.
    explicit TFrmConverter(TOptionsFrm* options, QWidget* parent = nullptr);
    ~TFrmConverter() override;

    // Adds the audio files among the paths, and those of the folders among them, except
    // files listed already. The rows appear later, a batch at a time, in the order given.
    void AddFiles(const QStringList& paths);
    // True while added files are still being read.
    bool Loading() const { return pendingAdds_ > 0; }
    int RowCount() const;

    // The handlers of the window's commands.
    void OpenFiles();
    void ConvertButton();
    void StopConvert();
    void ShowOptions();
    void DeleteSelectedRows();

    bool Converting() const { return converting_; }
    QString StatusText(int panel) const;
    QTreeWidget& List();
    // 12 when the "Track" header shows all rows ticked, 11 when it shows none.
    int TrackHeaderImage() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Building the window.
    QAction* MakeAction(const char* name, const QString& text, const QString& hint,
                        const QString& icon, const QKeySequence& shortcut);
    void BuildToolBar();
    QWidget* BuildMainPanel();
    void BuildStatusBar();

    // The list.
    void AddRows(std::vector<ConvertRow> rows, bool last);
    std::vector<ConvertRow> RowsFromList() const;
    void SetRowStatus(int row, const QString& status);
    // Status-bar panel 0: the last failure, in full in its tooltip; empty to clear it.
    void ShowFailure(const QString& message);
    void UpdateCommands();

    // Converting (FrmConverterRun.cpp).
    void ConnectEngine();
    void ShowProgress(int row, int percent);
    void FileEnded(int row, const QString& status);
    void ConvertFinished(bool informUser);

    TOptionsFrm* options_ = nullptr;
    TConvertEngine engine_;
    std::unique_ptr<TConvertListLoader> loader_;

    TTrackList* trackList_ = nullptr;
    QTreeWidget* list_ = nullptr; // ListView1
    QWidget* mainPanel_ = nullptr;
    QProgressBar* progressBar_ = nullptr; // ProgressBar1
    std::array<QLabel*, 3> panels_{};
    QAction* btnOpenFiles_ = nullptr;
    QAction* btnConvert_ = nullptr;
    QAction* btnStop_ = nullptr;
    QAction* btnOptions_ = nullptr;
    QString lastFolder_; // where "Open Files" looked last

    int pendingAdds_ = 0;
    bool converting_ = false;
    bool closing_ = false; // the window was closed during the run: no message at its end
    int currentRow_ = 0;   // the row whose progress is shown; 0 between files
    int failures_ = 0;
    bool shown_ = false;
};

} // namespace quillon
