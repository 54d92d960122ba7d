#pragma once

#include "app/TrackList.h"
#include "cd/CDTypes.h"
#include "workflow/RipEngine.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class TAboutFrm;
class TCDIn;
class TCddb;
class TCddbLookup;
class TCdPreview;
class TDriveMonitor;
class TOperationProgressFrm;
class TOptionsFrm;

// The main window: the tracks of the disc in the chosen drive, their tags, and the commands
// that rip them, look them up, preview them and open the other windows.
class TRipFrm : public QMainWindow {
    Q_OBJECT
public:
    // Track list columns (all but Duration).
    using enum TTrackList::Column;

    // Raises EPcmException when the CD ripping library cannot be loaded.
    explicit TRipFrm(QWidget* parent = nullptr);
    ~TRipFrm() override;

    // The windows made after this one: the options window holds the settings, and the
    // language files translate all of them.
    void SetWindows(TOptionsFrm* options, QWidget* converter, QWidget* tagEditor);

    // Adds a disc image as a drive, lists it in the drive box and chooses it; false with the
    // reason when it cannot be used.
    bool OpenDiscImage(const QString& sheetFileName, QString& problem);

    // The handlers of the window's commands.
    void RefreshTrackList();
    void RipButton();
    void CancelRip();
    void StartLookup();
    void Eject();
    void CloseTray();
    void SelectAll();
    void SelectNone();
    void InvertSelection();
    void ShowAbout();
    void ShowOptions();
    void OpenHomePage();
    // The second half of start-up, 50 ms after the window was made: the options window's WMA
    // profiles and settings, then the language.
    void FirstTick();

    // State for the tests and the other windows.
    TCDIn& CDIn() { return *cdIn_; }
    TCddb& Cddb() { return *cddb_; }
    TCdPreview& Preview() { return *preview_; }
    int CurrentTrack() const { return currentTrack_; }
    int RowCount() const;
    // 12 when the "Track" header shows all tracks ticked, 11 when it shows none.
    int TrackHeaderImage() const { return trackList_->TrackHeaderImage(); }
    QString StatusText(int panel) const;
    bool Ripping() const { return ripping_; }
    // The Language menu's entry that is ticked, without "&"; "ENG" when none is.
    QString LanguageChoice() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Building the window (RipFrmLayout.cpp).
    QAction* MakeAction(const char* name, const QString& text, const QString& hint,
                        const QString& icon = {});
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    QWidget* BuildMainPanel();
    void BuildStatusBar();
    void ConnectCommands();

    // The drives and the track list (RipFrmTracks.cpp).
    void FillDrives(int choose);
    void DriveChanged(int index);
    void DrivesChanged();
    void AddRow(int track, const TCDTime& length);
    void SetRowStatus(int track, const QString& status);
    // Status-bar panel 0: the last failure, in full in its tooltip; empty to clear it.
    void ShowFailure(const QString& message);
    std::vector<RipRow> RowsFromList() const;
    void UpdateCommands();

    // Rip (RipFrmRip.cpp).
    void ConnectRipEvents();
    void ShowProgress(int track, int percent);
    void TrackEnded(int track, const char* status);
    void RipFinished(bool informUser);

    // CD database lookup (RipFrmLookup.cpp).
    void ConnectLookupEvents();
    void AppendToLog(const std::string& line);
    void LookupDone();
    void LookupFailed(const std::string& message);

    // Start-up and closing (RipFrm.cpp).
    void OpenDiscImageDialog();
    // Shows a window made at start-up, not modal, in front of the others.
    static void ShowWindow(QWidget* window);
    void SelectLanguage(QAction* entry);
    void LoadLanguageFile(const QString& language);
    QList<QWidget*> Windows();
    Settings CurrentSettings() const;
    void SaveSettings();

    std::unique_ptr<TCDIn> cdIn_;
    std::unique_ptr<TCddb> cddb_;
    std::unique_ptr<TCddbLookup> lookup_;
    TRipEngine engine_;

    QWidget* mainPanel_ = nullptr;
    QComboBox* driveBox_ = nullptr;   // ComboBox1
    QComboBox* trackBox_ = nullptr;   // ComboBox2, hidden
    TTrackList* trackList_ = nullptr; // ListView1 and the tag panel
    QTreeWidget* list_ = nullptr;     // ListView1
    TCdPreview* preview_ = nullptr;
    QPlainTextEdit* log_ = nullptr; // Memo1, hidden
    std::array<QLabel*, 4> panels_{};
    QTimer* timer1_ = nullptr;
    TDriveMonitor* driveMonitor_ = nullptr;

    // Toolbar and menu entries are separate actions of the same command.
    QAction* btnRip_ = nullptr;
    QAction* btnEject_ = nullptr;
    QAction* btnCloseTray_ = nullptr;
    QAction* btnRefresh_ = nullptr;
    QAction* btnFreeDB_ = nullptr;
    QAction* btnOptions_ = nullptr;
    QAction* btnAbout_ = nullptr;
    QAction* mnuOpenImage_ = nullptr;
    QAction* mnuExit_ = nullptr;
    QAction* mnuRip_ = nullptr;
    QAction* mnuEject_ = nullptr;
    QAction* mnuCloseTray_ = nullptr;
    QAction* mnuRefresh_ = nullptr;
    QAction* mnuSelectAll_ = nullptr;
    QAction* mnuSelectNone_ = nullptr;
    QAction* mnuInvertSelection_ = nullptr;
    QAction* mnuOptions_ = nullptr;
    QAction* mnuConverter_ = nullptr;
    QAction* mnuTagEditor_ = nullptr;
    QAction* mnuHelp_ = nullptr;
    QAction* mnuHomePage_ = nullptr;
    QAction* mnuAbout_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    QList<QAction*> languageEntries_;

    TOptionsFrm* options_ = nullptr;
    QWidget* converter_ = nullptr;
    QWidget* tagEditor_ = nullptr;
    QPointer<TAboutFrm> about_;
    QPointer<TOperationProgressFrm> progress_;

    TCDDiscKind discKind_ = dkNoDisc;
    int currentTrack_ = 1;
    bool ripping_ = false;
    int ripTrack_ = 0; // the track whose progress is shown; 0 between tracks
    bool closeAfterRip_ = false;
    int ripFailures_ = 0;
    bool refreshAfterRip_ = false;
};

} // namespace quillon
