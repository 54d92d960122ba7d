#include "app/FrmConverter.h"

#include "app/AppIcons.h"
#include "app/OptionsFrm.h"
#include "app/TrackList.h"
#include "app/WindowGeometry.h"
#include "codecs/DX9In.h"
#include "workflow/ConvertListLoader.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTime>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

namespace quillon {

namespace {

// The status bar's panels and the least width each takes.
constexpr std::array<int, 3> kPanelWidths{200, 50, 50};
// Each row keeps its file's name (the file system's bytes) and duration beside its cells.
constexpr int kFileNameRole = Qt::UserRole;
constexpr int kDurationRole = Qt::UserRole + 1;

// The audio files "Open Files" offers, by format and all together.
const QStringList kFileFilters{"MP3 files (*.mp3)",
                               "WMA files (*.wma)",
                               "OGG files (*.ogg)",
                               "APE files (*.ape)",
                               "FLAC files (*.flac)",
                               "WAV files (*.wav)",
                               "Audio files (*.mp3 *.wma *.ogg *.ape *.flac *.wav)",
                               "All files (*)"};

// The system's long time format without what does not suit a duration: the time zone, and the
// AM/PM marker (its 12-hour "h" becoming a 24-hour "H").
QString DurationFormat() {
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    bool twelveHour = false;
    for (const QChar c : format) {
        if (c == '\'') {
            quoted = !quoted;
        } else if (!quoted && (c == 't' || c == 'A' || c == 'a' || c == 'P' || c == 'p')) {
            twelveHour = twelveHour || c != 't';
            continue;
        }
        kept += c;
    }
    if (twelveHour) {
        QString hours;
        quoted = false;
        for (const QChar c : kept) {
            quoted = c == '\'' ? !quoted : quoted;
            hours += !quoted && c == 'h' ? QChar('H') : c;
        }
        kept = hours;
    }
    return kept.trimmed();
}

} // namespace

QString DurationText(double seconds) {
    static const QString format = DurationFormat();
    const int milliseconds = std::isfinite(seconds) && seconds > 0
                                 ? static_cast<int>(std::fmod(seconds * 1000, 24.0 * 3600 * 1000))
                                 : 0;
    return QLocale::system().toString(QTime::fromMSecsSinceStartOfDay(milliseconds), format);
}

TFrmConverter::TFrmConverter(TOptionsFrm* options, QWidget* parent)
    : QMainWindow(parent), options_(options), loader_(std::make_unique<TConvertListLoader>()) {
    setObjectName("FrmConverter");
    setWindowTitle("Quillon Audio Converter");
    setWindowIcon(ApplicationIcon());
    setAcceptDrops(true);
    resize(720, 520);
    BuildToolBar();
    mainPanel_ = BuildMainPanel();
    setCentralWidget(mainPanel_);
    BuildStatusBar();
    ConnectEngine();
    UpdateCommands();

    // Rows are read on the loader's threads and listed on the window's.
    loader_->OnRows = [this](std::vector<ConvertRow> rows, bool last) {
        QMetaObject::invokeMethod(
            this,
            [this, rows = std::move(rows), last]() mutable { AddRows(std::move(rows), last); },
            Qt::QueuedConnection);
    };
}

TFrmConverter::~TFrmConverter() {
    // The loader's threads end before the window they report to.
    loader_.reset();
}

QAction* TFrmConverter::MakeAction(const char* name, const QString& text, const QString& hint,
                                   const QString& icon, const QKeySequence& shortcut) {
    auto* action = new QAction(ThemeIcon(icon), text, this);
    action->setObjectName(name);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setShortcut(shortcut);
    return action;
}

void TFrmConverter::BuildToolBar() {
    btnOpenFiles_ = MakeAction("btnOpenFiles", "&Open Files", "Add audio files to the list",
                               "document-open", QKeySequence(Qt::CTRL | Qt::Key_O));
    btnConvert_ = MakeAction("btnConvert", "&Convert", "Convert the ticked files", "media-record",
                             QKeySequence(Qt::CTRL | Qt::Key_R));
    btnStop_ = MakeAction("btnStop", "&Stop", "Stop the conversion", "media-playback-stop",
                          QKeySequence(Qt::Key_Escape));
    btnOptions_ = MakeAction("btnOptions", "O&ptions", "Settings of the output",
                             "preferences-system", QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(btnOpenFiles_, &QAction::triggered, this, &TFrmConverter::OpenFiles);
    connect(btnConvert_, &QAction::triggered, this, &TFrmConverter::ConvertButton);
    connect(btnStop_, &QAction::triggered, this, &TFrmConverter::StopConvert);
    connect(btnOptions_, &QAction::triggered, this, &TFrmConverter::ShowOptions);

    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->addActions({btnOpenFiles_, btnConvert_, btnStop_, btnOptions_});
}

QWidget* TFrmConverter::BuildMainPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    trackList_ = new TTrackList(
        {"Track", "Title", "Status", "Artist", "Album", "Year", "Genre", "Comment", "Duration"},
        {34, 18, 13, 14, 14, 6, 10, 14, 9}, "Files", panel);
    list_ = &trackList_->List();
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setDragDropMode(QAbstractItemView::NoDragDrop);
    // A long path keeps its file name in view.
    list_->setTextElideMode(Qt::ElideMiddle);
    if (auto* plus = trackList_->TagPanel().findChild<QPushButton*>("SpeedButton2")) {
        plus->setToolTip("Copy these tags into the selected file");
    }
    connect(trackList_, &TTrackList::DeletePressed, this, &TFrmConverter::DeleteSelectedRows);

    progressBar_ = new QProgressBar(panel);
    progressBar_->setObjectName("ProgressBar1");
    progressBar_->setAccessibleName("Progress");
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);

    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(list_, 1);
    layout->addWidget(&trackList_->TagPanel());
    layout->addWidget(progressBar_);
    return panel;
}

void TFrmConverter::BuildStatusBar() {
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
    // A failure's message may be long: its panel takes the room that is left and shows the
    // whole text as its tooltip.
    panels_[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(panels_[0], 1);
    for (size_t i = 1; i < panels_.size(); ++i) {
        bar->addWidget(panels_[i]);
    }
}

int TFrmConverter::RowCount() const {
    return list_->topLevelItemCount();
}

QTreeWidget& TFrmConverter::List() {
    return *list_;
}

int TFrmConverter::TrackHeaderImage() const {
    return trackList_->TrackHeaderImage();
}

QString TFrmConverter::StatusText(int panel) const {
    return panel >= 0 && panel < static_cast<int>(panels_.size()) ? panels_[panel]->text()
                                                                  : QString();
}

void TFrmConverter::ShowFailure(const QString& message) {
    panels_[0]->setText(message);
    panels_[0]->setToolTip(message);
}

void TFrmConverter::AddFiles(const QStringList& paths) {
    std::vector<std::string> files;
    for (const QString& path : paths) {
        if (!path.isEmpty()) {
            files.push_back(QFile::encodeName(path).toStdString());
        }
    }
    ++pendingAdds_;
    loader_->Add(std::move(files));
}

void TFrmConverter::AddRows(std::vector<ConvertRow> rows, bool last) {
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const ConvertRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const QByteArray fileName = QByteArray::fromStdString(row.FileName);
        item->setText(TTrackList::colTrack, QFile::decodeName(fileName));
        item->setData(TTrackList::colTrack, kFileNameRole, fileName);
        item->setCheckState(TTrackList::colTrack, Qt::Checked);
        TTrackList::SetRowTags(*item, row.Tags);
        item->setText(TTrackList::colStatus, QString::fromStdString(row.Status));
        item->setText(TTrackList::colDuration, DurationText(row.Duration));
        item->setData(TTrackList::colDuration, kDurationRole, row.Duration);
        items.append(item);
    }
    list_->addTopLevelItems(items);
    if (last) {
        pendingAdds_ = std::max(pendingAdds_ - 1, 0);
    }
}

std::vector<ConvertRow> TFrmConverter::RowsFromList() const {
    std::vector<ConvertRow> rows;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        ConvertRow row;
        row.FileName = item->data(TTrackList::colTrack, kFileNameRole).toByteArray().toStdString();
        row.Checked = item->checkState(TTrackList::colTrack) == Qt::Checked;
        row.Tags = trackList_->RowTags(i);
        row.Duration = item->data(TTrackList::colDuration, kDurationRole).toDouble();
        row.Status = item->text(TTrackList::colStatus).toStdString();
        rows.push_back(std::move(row));
    }
    return rows;
}

void TFrmConverter::SetRowStatus(int row, const QString& status) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row - 1)) {
        item->setText(TTrackList::colStatus, status);
    }
}

// The rows of a run stay where they are until it ends.
void TFrmConverter::DeleteSelectedRows() {
    if (converting_) {
        return;
    }
    for (QTreeWidgetItem* item : list_->selectedItems()) {
        loader_->Forget(
            item->data(TTrackList::colTrack, kFileNameRole).toByteArray().toStdString());
        delete item;
    }
    trackList_->ClearTagPanel();
}

void TFrmConverter::OpenFiles() {
    QString filter = kFileFilters[6];
    const QStringList files = QFileDialog::getOpenFileNames(this, "Open Files", lastFolder_,
                                                            kFileFilters.join(";;"), &filter);
    if (!files.isEmpty()) {
        lastFolder_ = QFileInfo(files.front()).absolutePath();
        AddFiles(files);
    }
}

void TFrmConverter::ShowOptions() {
    if (options_) {
        options_->show();
        options_->raise();
        options_->activateWindow();
    }
}

void TFrmConverter::UpdateCommands() {
    list_->setEnabled(!converting_);
    trackList_->TagPanel().setEnabled(!converting_);
    btnConvert_->setEnabled(!converting_);
    btnStop_->setEnabled(converting_);
}

void TFrmConverter::showEvent(QShowEvent* event) {
    // Centred the first time; afterwards where the user left it. MP3 and WMA files are read
    // through FFmpeg: when it cannot start, the status bar says so.
    if (!shown_) {
        shown_ = true;
        CentreWindow(*this);
        if (const std::string problem = DX9InStartupProblem(); !problem.empty()) {
            ShowFailure(QString::fromStdString(problem));
        }
    }
    QMainWindow::showEvent(event);
}

void TFrmConverter::closeEvent(QCloseEvent* event) {
    if (converting_) {
        closing_ = true;
        StopConvert();
    }
    QMainWindow::closeEvent(event);
}

void TFrmConverter::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TFrmConverter::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        AddFiles(paths);
    }
}

} // namespace quillon
