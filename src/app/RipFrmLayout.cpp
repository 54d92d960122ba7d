// The main window's controls: menus, toolbar, the main panel with the drive box, the track
// list, the tag panel and the preview group, and the status bar.
#include "app/AppIcons.h"
#include "app/CdPreview.h"
#include "app/GridItemDelegate.h"
#include "app/RipFrm.h"
#include "tags/ID3Genres.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

// The status bar's panels and the least width each takes.
constexpr std::array<int, 4> kPanelWidths{150, 150, 75, 50};

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    // Edit boxes and lists are known by their label's text.
    buddy->setAccessibleName(QString(text).remove('&').remove(':'));
    return label;
}

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

    list_ = new QTreeWidget(panel);
    list_->setObjectName("ListView1");
    list_->setAccessibleName("Tracks");
    list_->setColumnCount(8);
    list_->setHeaderLabels(
        {"Track", "Title", "Status", "Artist", "Album", "Year", "Genre", "Comment"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAlternatingRowColors(true);
    list_->setItemDelegate(new TGridItemDelegate(list_));
    // White rows alternating with light grey ones, whatever the desktop's colours.
    QPalette colours = list_->palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
    colours.setColor(QPalette::Text, Qt::black);
    colours.setColor(QPalette::Midlight, QColor(220, 220, 220));
    list_->setPalette(colours);
    list_->headerItem()->setIcon(colTrack, TrackHeaderIcon(true));
    QHeaderView* header = list_->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    const int digit = list_->fontMetrics().horizontalAdvance('0');
    // Widths in digits, so that most columns are in view at the window's starting size.
    constexpr std::array<int, 7> kColumnDigits{15, 18, 11, 14, 14, 6, 10};
    for (size_t column = 0; column < kColumnDigits.size(); ++column) {
        header->resizeSection(static_cast<int>(column), digit * kColumnDigits[column]);
    }
    list_->installEventFilter(this);

    tagPanel_ = BuildTagPanel(panel);
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
    bottom->addWidget(tagPanel_, 1);
    bottom->addWidget(preview_, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(panel);
    layout->addLayout(drives);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
    return panel;
}

QGroupBox* TRipFrm::BuildTagPanel(QWidget* parent) {
    auto* group = new QGroupBox("MP3/OGG/APE Tag Editor", parent);
    group->setObjectName("GroupBox1");
    const auto edit = [group](const char* name) {
        auto* box = new QLineEdit(group);
        box->setObjectName(name);
        return box;
    };
    titleEdit_ = edit("Edit1");
    artistEdit_ = edit("Edit2");
    albumEdit_ = edit("Edit3");
    yearEdit_ = edit("Edit4");
    commentEdit_ = edit("Edit6");
    yearEdit_->setMaxLength(4);
    // Room for a year in any font; the genre list is sized by a short name rather than its
    // longest one, so that the year and comment fields keep their share of the panel.
    yearEdit_->setMinimumWidth(yearEdit_->fontMetrics().horizontalAdvance("88888") +
                               yearEdit_->fontMetrics().averageCharWidth() * 2);
    genreBox_ = new QComboBox(group);
    genreBox_->setObjectName("ComboBox5");
    genreBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    genreBox_->setMinimumContentsLength(12);
    for (const std::string_view genre : ID3Genres) {
        genreBox_->addItem(QString::fromUtf8(genre.data(), static_cast<qsizetype>(genre.size())));
    }
    genreBox_->setCurrentIndex(-1);
    addButton_ = new QPushButton("+", group);
    addButton_->setObjectName("SpeedButton2");
    addButton_->setAccessibleName("+");
    addButton_->setToolTip("Copy these tags into the selected track");

    auto* grid = new QGridLayout(group);
    grid->addWidget(AddLabel(group, "Label1", "T&itle:", titleEdit_), 0, 0);
    grid->addWidget(titleEdit_, 0, 1, 1, 3);
    grid->addWidget(AddLabel(group, "Label2", "A&rtist:", artistEdit_), 1, 0);
    grid->addWidget(artistEdit_, 1, 1, 1, 3);
    grid->addWidget(AddLabel(group, "Label3", "Al&bum:", albumEdit_), 2, 0);
    grid->addWidget(albumEdit_, 2, 1, 1, 3);
    grid->addWidget(AddLabel(group, "Label4", "&Year:", yearEdit_), 3, 0);
    grid->addWidget(yearEdit_, 3, 1);
    grid->addWidget(AddLabel(group, "Label6", "&Genre:", genreBox_), 3, 2);
    grid->addWidget(genreBox_, 3, 3);
    grid->addWidget(AddLabel(group, "Label5", "Co&mment:", commentEdit_), 4, 0);
    grid->addWidget(commentEdit_, 4, 1, 1, 2);
    grid->addWidget(addButton_, 4, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
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
