// The main window's controls: menus, toolbar, the main panel with the drive box, the track
// list, the tag panel and the preview group, and the status bar.
#include "app/AppIcons.h"
#include "app/CdPreview.h"
#include "app/RipFrm.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

// The status bar's panels and the least width each takes.
constexpr std::array<int, 4> kPanelWidths{150, 150, 75, 50};

} // namespace

QAction* TRipFrm::MakeAction(const char* name, const QString& text, const QString& hint,
                             const QString& icon) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    if (!icon.isEmpty()) {
        action->setIcon(ThemeIcon(icon));
    }
    return action;
}

void TRipFrm::BuildActions() {
    btnRip_ = MakeAction("btnRip", "&RIP", "Rip the ticked tracks", "media-record");
    btnEject_ = MakeAction("btnEject", "&Eject", "Open the drive's tray", "media-eject");
    btnCloseTray_ =
        MakeAction("btnCloseTray", "&Close Tray", "Close the drive's tray", "media-tray-close");
    btnRefresh_ = MakeAction("btnRefresh", "Re&fresh", "Read the disc again", "view-refresh");
    btnFreeDB_ =
        MakeAction("btnFreeDB", "Free&DB", "Look the disc up in the CD database", "edit-find");
    btnOptions_ =
        MakeAction("btnOptions", "&Options", "Settings of the output", "preferences-system");
    btnAbout_ = MakeAction("btnAbout", "&About", "About Quillon Rip", "help-about");
    btnFreeDB_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    mnuOpenImage_ = MakeAction("mnuOpenImage", "&Open Disc Image...",
                               "Use a CUE or TOC disc image as a drive", "document-open");
    mnuExit_ = MakeAction("mnuExit", "E&xit", "Close Quillon Rip", "application-exit");
    mnuRip_ = MakeAction("mnuRip", "&RIP", btnRip_->toolTip(), "media-record");
    mnuEject_ = MakeAction("mnuEject", "&Eject", btnEject_->toolTip(), "media-eject");
    mnuCloseTray_ =
        MakeAction("mnuCloseTray", "&Close Tray", btnCloseTray_->toolTip(), "media-tray-close");
    mnuRefresh_ = MakeAction("mnuRefresh", "Re&fresh", btnRefresh_->toolTip(), "view-refresh");
    mnuSelectAll_ =
        MakeAction("mnuSelectAll", "Select &All", "Tick every track", "edit-select-all");
    mnuSelectNone_ = MakeAction("mnuSelectNone", "Select &None", "Untick every track");
    mnuInvertSelection_ =
        MakeAction("mnuInvertSelection", "&Invert Selection", "Tick the unticked tracks only");
    mnuOptions_ =
        MakeAction("mnuOptions", "&Options...", btnOptions_->toolTip(), "preferences-system");
    mnuConverter_ = MakeAction("mnuConverter", "&Files Converter...", "Convert audio files");
    mnuTagEditor_ = MakeAction("mnuTagEditor", "&Tag Editor...", "Edit the tags of audio files");
    mnuHelp_ = MakeAction("mnuHelp", "&Help", "Help");
    mnuHomePage_ =
        MakeAction("mnuHomePage", "Home &page", "Open the project's home page", "go-home");
    mnuAbout_ = MakeAction("mnuAbout", "&About...", btnAbout_->toolTip(), "help-about");

    mnuOpenImage_->setShortcut(QKeySequence::Open);
    mnuExit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuRip_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuEject_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuRefresh_->setShortcut(QKeySequence(Qt::Key_F5));
    mnuOptions_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
}

void TRipFrm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    const auto addMenu = [&](const char* menuName, const char* actionName, const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(menuName);
        menu->menuAction()->setObjectName(actionName);
        return menu;
    };
    // A separator that carries a hint, as the entries after it belong together.
    const auto addSeparator = [this](QMenu* menu, const char* name, const QString& hint) {
        QAction* separator = menu->addSeparator();
        separator->setObjectName(name);
        separator->setToolTip(hint);
        separator->setStatusTip(hint);
    };

    QMenu* file = addMenu("File1", "mnuFile", "&File");
    file->addAction(mnuOpenImage_);
    file->addSeparator();
    file->addAction(mnuExit_);

    QMenu* action = addMenu("Action1", "mnuAction", "&Action");
    action->addAction(mnuRip_);
    addSeparator(action, "N1", "CD-ROM Operation");
    action->addAction(mnuEject_);
    action->addAction(mnuCloseTray_);
    action->addAction(mnuRefresh_);

    QMenu* select = addMenu("SelectTracks1", "mnuSelectTracks", "&Select Tracks");
    select->addAction(mnuSelectAll_);
    select->addAction(mnuSelectNone_);
    select->addAction(mnuInvertSelection_);

    QMenu* options = addMenu("Options1", "mnuOptionsMenu", "&Options");
    options->addAction(mnuOptions_);

    languageMenu_ = addMenu("Language1", "mnuLanguage", "&Language");

    QMenu* extras = addMenu("Extras1", "mnuExtras", "E&xtras");
    extras->addAction(mnuConverter_);
    extras->addAction(mnuTagEditor_);

    QMenu* help = addMenu("Help1", "mnuHelpMenu", "&Help");
    help->addAction(mnuHelp_);
    addSeparator(help, "N2", "About product");
    help->addAction(mnuHomePage_);
    help->addAction(mnuAbout_);
}

void TRipFrm::BuildToolBar() {
    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->addActions(
        {btnRip_, btnEject_, btnCloseTray_, btnRefresh_, btnFreeDB_, btnOptions_, btnAbout_});
}

QWidget* TRipFrm::BuildMainPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");

    driveBox_ = new QComboBox(panel);
    driveBox_->setObjectName("ComboBox1");
    driveBox_->setToolTip("The drive whose disc is listed");
    driveBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    QLabel* driveLabel = AddLabel(panel, "Label7", "&Drive:", driveBox_);
    trackBox_ = new QComboBox(panel);
    trackBox_->setObjectName("ComboBox2");
    trackBox_->setAccessibleName("Track");
    trackBox_->hide();

    trackList_ =
        new TTrackList({"Track", "Title", "Status", "Artist", "Album", "Year", "Genre", "Comment"},
                       {15, 18, 11, 14, 14, 6, 10}, "Tracks", panel);
    list_ = &trackList_->List();
    preview_ = new TCdPreview(*cdIn_, *list_, panel);

    log_ = new QPlainTextEdit(panel);
    log_->setObjectName("Memo1");
    log_->setAccessibleName("CD database log");
    log_->setReadOnly(true);
    log_->hide();

    auto* drives = new QHBoxLayout;
    drives->addWidget(driveLabel);
    drives->addWidget(driveBox_, 1);
    drives->addWidget(trackBox_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(&trackList_->TagPanel(), 1);
    bottom->addWidget(preview_, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(panel);
    layout->addLayout(drives);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
    return panel;
}

void TRipFrm::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar1");
    for (size_t i = 0; i < panels_.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QString("StatusBar1Panel%1").arg(i));
        panel->setMinimumWidth(kPanelWidths[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panels_[i] = panel;
    }
    // A sink's failure message may be long: its panel takes the room that is left and shows
    // the whole text as its tooltip.
    panels_[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(panels_[0], 1);
    for (size_t i = 1; i < panels_.size(); ++i) {
        bar->addWidget(panels_[i]);
    }
}

} // namespace quillon
