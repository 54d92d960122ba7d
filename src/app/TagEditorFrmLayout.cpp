#include "app/AppIcons.h"
#include "app/TagEditorFrm.h"
#include "tags/ID3Genres.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace quillon {

namespace {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    // Boxes and lists are known by their label's text.
    buddy->setAccessibleName(QString(text).remove('&').remove(':'));
    return label;
}

// The stream facts of the "File Info" page: label name and text, in two columns of seven.
struct InfoDefinition {
    const char* name;
    const char* text;
    std::string MPEGInfo::*field; // none for the duration, which is a number
};
constexpr std::array<InfoDefinition, 14> kInfoFields{{
    {"FileSizeText", "File si&ze:", &MPEGInfo::FileSize},
    {"BitRateText", "&Bit rate:", &MPEGInfo::BitRate},
    {"SampleRateText", "Samp&le rate:", &MPEGInfo::SampleRate},
    {"ChannelModeText", "Cha&nnel mode:", &MPEGInfo::ChannelMode},
    {"ValidMPEGText", "&Valid MPEG:", &MPEGInfo::ValidMPEG},
    {"MPEGTypeText", "MPEG t&ype:", &MPEGInfo::MPEGType},
    {"FirstFrameAtText", "F&irst frame at:", &MPEGInfo::FirstFrameAt},
    {"DurationText", "D&uration:", nullptr},
    {"TotalFramesText", "&Total frames:", &MPEGInfo::TotalFrames},
    {"CRCProtectionText", "CRC p&rotection:", &MPEGInfo::CRCProtection},
    {"CopyrightText", "Copyrig&ht:", &MPEGInfo::Copyright},
    {"OriginalText", "Ori&ginal:", &MPEGInfo::Original},
    {"EmphasisText", "Emph&asis:", &MPEGInfo::Emphasis},
    {"EncoderText", "&Encoder:", &MPEGInfo::Encoder},
}};

// Mount points of file systems that hold no user files, whatever their device.
bool IsUserVolume(const QStorageInfo& volume) {
    if (!volume.isValid() || !volume.isReady()) {
        return false;
    }
    const QByteArray type = volume.fileSystemType();
    return volume.device().startsWith("/dev/") && type != "squashfs" && type != "tmpfs" &&
           !volume.rootPath().startsWith("/boot") && !volume.rootPath().startsWith("/snap");
}

} // namespace

QLineEdit* TTagEditorFrm::AddEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    connect(edit, &QLineEdit::textChanged, this, &TTagEditorFrm::BoxChanged);
    return edit;
}

void TTagEditorFrm::BuildLayout() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("Splitter1");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(BuildBrowser());

    auto* right = new QWidget(splitter);
    pages_ = new QTabWidget(right);
    pages_->setObjectName("PageControl1");
    pages_->setAccessibleName("Pages");
    pages_->addTab(BuildMediaPage(), "&Media Info");
    pages_->addTab(BuildFilePage(), "&File Info");

    okButton_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "&OK", right);
    okButton_->setObjectName("BitBtn1");
    okButton_->setAccessibleName("OK");
    okButton_->setToolTip("Write the tags into the file (Ctrl+S)");
    okButton_->setEnabled(false);
    cancelButton_ =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "&Cancel", right);
    cancelButton_->setObjectName("BitBtn2");
    cancelButton_->setAccessibleName("Cancel");
    cancelButton_->setToolTip("Read the tags from the file again, dropping the changes");
    connect(okButton_, &QPushButton::clicked, this, &TTagEditorFrm::Save);
    connect(cancelButton_, &QPushButton::clicked, this, &TTagEditorFrm::Cancel);
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &TTagEditorFrm::Save);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(pages_, 1);
    rightLayout->addLayout(buttons);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
}

QWidget* TTagEditorFrm::BuildBrowser() {
    auto* browser = new QWidget(this);
    places_ = new QComboBox(browser);
    places_->setObjectName("DriveComboBox1");
    FillPlaces();
    connect(places_, &QComboBox::activated, this, &TTagEditorFrm::PlaceChanged);

    folderModel_ = new QFileSystemModel(this);
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folderModel_->setRootPath(QDir::rootPath());
    folders_ = new QTreeView(browser);
    folders_->setObjectName("DirectoryListBox1");
    folders_->setModel(folderModel_);
    folders_->setHeaderHidden(true);
    for (int column = 1; column < folderModel_->columnCount(); ++column) {
        folders_->hideColumn(column);
    }
    connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TTagEditorFrm::FolderChanged);
    // The tree fills in the background; the chosen folder stays in view while it grows.
    connect(folderModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        // After the model's own delayed sort of what it loaded.
        if (Folder().startsWith(loaded)) {
            QTimer::singleShot(0, this, [this] { folders_->scrollTo(folders_->currentIndex()); });
        }
    });

    files_ = new QListWidget(browser);
    files_->setObjectName("FileListBox1");
    connect(files_, &QListWidget::currentItemChanged, this, &TTagEditorFrm::LoadSelected);
    connect(files_, &QListWidget::itemDoubleClicked, this, &TTagEditorFrm::OpenFile);
    // Files added, renamed or deleted in the folder show up without choosing it again.
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &TTagEditorFrm::FillFileList);

    auto* lists = new QSplitter(Qt::Vertical, browser);
    lists->setObjectName("Splitter2");
    lists->setChildrenCollapsible(false);
    auto* folderPane = new QWidget(lists);
    auto* folderLayout = new QVBoxLayout(folderPane);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(AddLabel(folderPane, "Label16", "Fol&ders:", folders_));
    folderLayout->addWidget(folders_);
    auto* filePane = new QWidget(lists);
    auto* fileLayout = new QVBoxLayout(filePane);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(AddLabel(filePane, "Label17", "File&s:", files_));
    fileLayout->addWidget(files_);
    lists->addWidget(folderPane);
    lists->addWidget(filePane);

    auto* layout = new QVBoxLayout(browser);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(AddLabel(browser, "Label15", "&Places:", places_));
    layout->addWidget(places_);
    layout->addWidget(lists, 1);
    return browser;
}

void TTagEditorFrm::FillPlaces() {
    places_->clear();
    QStringList roots;
    const auto add = [&](const QString& path, const QIcon& icon, const QString& text) {
        const QString clean = QDir::cleanPath(path);
        if (path.isEmpty() || roots.contains(clean) || !QDir(clean).exists()) {
            return;
        }
        roots << clean;
        places_->addItem(icon, text, clean);
        places_->setItemData(places_->count() - 1, clean, Qt::ToolTipRole);
    };
    add(QDir::homePath(), ThemeIcon("go-home"), QDir::homePath());
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    add(music, QIcon::fromTheme("folder-music", style()->standardIcon(QStyle::SP_DirIcon)), music);
    const QIcon drive =
        QIcon::fromTheme("drive-harddisk", style()->standardIcon(QStyle::SP_DriveHDIcon));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!IsUserVolume(volume)) {
            continue;
        }
        const QString name = volume.name();
        add(volume.rootPath(), drive,
            name.isEmpty() ? volume.rootPath() : QString("%1 (%2)").arg(name, volume.rootPath()));
    }
}

QWidget* TTagEditorFrm::BuildMediaPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    pathEdit_ = new QLineEdit(page);
    pathEdit_->setObjectName("Edit13");
    pathEdit_->setReadOnly(true);
    browseButton_ = new QPushButton("...", page);
    browseButton_->setObjectName("Button1");
    browseButton_->setAccessibleName("Open folder");
    browseButton_->setToolTip("Open the file's folder in the file manager");
    browseButton_->setEnabled(false);
    connect(browseButton_, &QPushButton::clicked, this, &TTagEditorFrm::OpenFolder);

    const std::array<const char*, 11> names{"Edit1", "Edit2", "Edit3",  "Edit4",  "Edit5", "Edit7",
                                            "Edit8", "Edit9", "Edit10", "Edit11", "Edit12"};
    for (size_t i = 0; i < names.size(); ++i) {
        edits_[i] = AddEdit(page, names[i]);
    }
    QLineEdit* trackEdit = edits_[3];
    QLineEdit* yearEdit = edits_[4];
    trackEdit->setMaximumWidth(trackEdit->fontMetrics().horizontalAdvance("8888888") +
                               trackEdit->fontMetrics().averageCharWidth() * 2);
    yearEdit->setMaximumWidth(yearEdit->fontMetrics().horizontalAdvance("88888888888") +
                              yearEdit->fontMetrics().averageCharWidth() * 2);

    genreBox_ = new QComboBox(page);
    genreBox_->setObjectName("ComboBox5");
    genreBox_->setEditable(true);
    genreBox_->setInsertPolicy(QComboBox::NoInsert);
    genreBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    genreBox_->setMinimumContentsLength(12);
    for (const std::string_view genre : ID3Genres) {
        genreBox_->addItem(QString::fromUtf8(genre.data(), static_cast<qsizetype>(genre.size())));
    }
    genreBox_->setCurrentIndex(-1);
    connect(genreBox_, &QComboBox::editTextChanged, this, &TTagEditorFrm::BoxChanged);

    lyricsMemo_ = new QPlainTextEdit(page);
    lyricsMemo_->setObjectName("Memo1");
    lyricsMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lyricsMemo_->setTabChangesFocus(true);
    connect(lyricsMemo_, &QPlainTextEdit::textChanged, this, &TTagEditorFrm::BoxChanged);

    auto* grid = new QGridLayout(page);
    const auto row = [&](int at, const char* name, const QString& text, QWidget* box) {
        grid->addWidget(AddLabel(page, name, text, box), at, 0);
        grid->addWidget(box, at, 1, 1, 5);
    };
    grid->addWidget(AddLabel(page, "Label13", "&Destination:", pathEdit_), 0, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(pathEdit_, 1);
    pathRow->addWidget(browseButton_);
    grid->addLayout(pathRow, 0, 1, 1, 5);
    row(1, "Label1", "T&itle:", edits_[0]);
    row(2, "Label2", "&Artist:", edits_[1]);
    row(3, "Label3", "Al&bum:", edits_[2]);
    grid->addWidget(AddLabel(page, "Label4", "T&rack:", trackEdit), 4, 0);
    grid->addWidget(trackEdit, 4, 1);
    grid->addWidget(AddLabel(page, "Label5", "&Year:", yearEdit), 4, 2, Qt::AlignRight);
    grid->addWidget(yearEdit, 4, 3);
    grid->addWidget(AddLabel(page, "Label6", "&Genre:", genreBox_), 4, 4, Qt::AlignRight);
    grid->addWidget(genreBox_, 4, 5);
    row(5, "Label7", "Commen&t:", edits_[5]);
    row(6, "Label8", "Compos&er:", edits_[6]);
    row(7, "Label9", "Copyrig&ht:", edits_[7]);
    row(8, "Label10", "E&ncoder:", edits_[8]);
    row(9, "Label11", "Lang&uage:", edits_[9]);
    row(10, "Label12", "Lin&k:", edits_[10]);
    grid->addWidget(AddLabel(page, "Label14", "&Lyrics:", lyricsMemo_), 11, 0,
                    Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(lyricsMemo_, 11, 1, 1, 5);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(11, 1);
    // Keys move through the boxes as they are laid out: the genre sits beside the year.
    const std::array<QWidget*, 9> order{yearEdit,  genreBox_, edits_[5],  edits_[6],  edits_[7],
                                        edits_[8], edits_[9], edits_[10], lyricsMemo_};
    for (size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    return page;
}

QWidget* TTagEditorFrm::BuildFilePage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    std::array<QFormLayout*, 2> columns{new QFormLayout, new QFormLayout};
    for (size_t i = 0; i < kInfoFields.size(); ++i) {
        auto* value = new QLineEdit(page);
        value->setObjectName(QString(kInfoFields[i].name).replace("Text", "Value"));
        value->setReadOnly(true);
        value->setFrame(false);
        // Read-only facts: shown like text on the page, yet selectable and reachable by keys.
        value->setStyleSheet("QLineEdit { background: transparent; }");
        QLabel* label = AddLabel(page, kInfoFields[i].name, kInfoFields[i].text, value);
        columns[i / 7]->addRow(label, value);
        info_[i] = {label, value, kInfoFields[i].field};
    }
    auto* layout = new QHBoxLayout;
    for (QFormLayout* column : columns) {
        column->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        layout->addLayout(column, 1);
    }
    auto* outer = new QVBoxLayout(page);
    outer->addLayout(layout);
    outer->addStretch(1);
    return page;
}

} // namespace quillon
