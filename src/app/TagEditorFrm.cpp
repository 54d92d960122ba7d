#include "app/TagEditorFrm.h"

#include "app/AppIcons.h"
#include "app/MessageBox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTreeView>
#include <QUrl>
#include <cmath>

namespace quillon {

namespace {

const QString kCaption = "MP3, OGG, APE Tag Editor";

// The record's texts that the edit boxes show, in the order of the boxes.
constexpr std::array<std::string SongInformation::*, 11> kEditFields{
    &SongInformation::Title,    &SongInformation::Artist,    &SongInformation::Album,
    &SongInformation::Track,    &SongInformation::Year,      &SongInformation::Comment,
    &SongInformation::Composer, &SongInformation::Copyright, &SongInformation::Encoder,
    &SongInformation::Language, &SongInformation::Link};

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A box's text for the record: up to its first zero character, which no tag field can hold.
std::string ToStd(QString text) {
    const qsizetype zero = text.indexOf(QChar(0));
    if (zero >= 0) {
        text.truncate(zero);
    }
    return text.toStdString();
}

std::string FileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The separator between hours and minutes in the locale's time format.
QString TimeSeparator(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    const qsizetype hour = format.indexOf(QRegularExpression("[hH]"));
    if (hour >= 0) {
        for (qsizetype i = hour; i < format.size(); ++i) {
            if (!format[i].isLetter()) {
                return format[i] == ' ' ? QString(":") : QString(format[i]);
            }
        }
    }
    return ":";
}

// A play time as hours, minutes and seconds with the locale's separator: 205 s is 0:03:25.
QString PlayTime(double seconds) {
    const auto whole = static_cast<long long>(std::floor(std::max(seconds, 0.0) + 0.0005));
    return QString("%1%2%3%2%4")
        .arg(QString::number(whole / 3600), TimeSeparator(QLocale()),
             QString::number(whole / 60 % 60).rightJustified(2, '0'),
             QString::number(whole % 60).rightJustified(2, '0'));
}

} // namespace

TTagEditorFrm::TTagEditorFrm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("TagEditorFrm");
    setWindowTitle(kCaption);
    setWindowIcon(ApplicationIcon());
    BuildLayout();
    resize(960, 600);
    if (places_->count() > 0) {
        PlaceChanged(0);
    }
}

TTagEditorFrm::~TTagEditorFrm() = default;

bool TTagEditorFrm::SaveEnabled() const {
    return okButton_->isEnabled();
}

QString TTagEditorFrm::Folder() const {
    return folderModel_->filePath(folders_->currentIndex());
}

void TTagEditorFrm::PlaceChanged(int index) {
    const QString root = places_->itemData(index).toString();
    if (root.isEmpty()) {
        return;
    }
    folders_->setRootIndex(folderModel_->index(root));
    SetFolder(root);
}

void TTagEditorFrm::SetFolder(const QString& folder) {
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // The tree shows the place that holds the folder, or the whole file system.
    const QString root = folderModel_->filePath(folders_->rootIndex());
    if (root.isEmpty() || !(clean == root || clean.startsWith(root + '/') || root == "/")) {
        int best = -1;
        qsizetype bestLength = -1;
        for (int i = 0; i < places_->count(); ++i) {
            const QString place = places_->itemData(i).toString();
            if ((clean == place || clean.startsWith(place + '/') || place == "/") &&
                place.size() > bestLength) {
                best = i;
                bestLength = place.size();
            }
        }
        places_->setCurrentIndex(best);
        folders_->setRootIndex(
            folderModel_->index(best >= 0 ? places_->itemData(best).toString() : QDir::rootPath()));
    }
    const QModelIndex index = folderModel_->index(clean);
    if (index.isValid() && index != folders_->currentIndex()) {
        folders_->setCurrentIndex(index);
        folders_->scrollTo(index);
    } else {
        FolderChanged();
    }
}

void TTagEditorFrm::FolderChanged() {
    if (!watcher_->directories().isEmpty()) {
        watcher_->removePaths(watcher_->directories());
    }
    const QString folder = Folder();
    if (!folder.isEmpty()) {
        watcher_->addPath(folder);
    }
    FillFileList();
    Clear();
}

void TTagEditorFrm::FillFileList() {
    const QString folder = Folder();
    const QString selected = files_->currentItem() != nullptr
                                 ? files_->currentItem()->data(Qt::UserRole).toString()
                                 : QString();
    // Refilling must not load or clear anything by itself.
    const QSignalBlocker blocker(files_);
    files_->clear();
    if (folder.isEmpty()) {
        return;
    }
    QDir dir(folder);
    dir.setNameFilters({"*.mp3", "*.ogg", "*.ape"});
    dir.setFilter(QDir::Files | QDir::Readable);
    dir.setSorting(QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    // One glyph per kind of file: looking each file's type up is slow in large folders.
    const QFileIconProvider provider;
    QHash<QString, QIcon> icons;
    for (const QFileInfo& file : dir.entryInfoList()) {
        const QString kind = file.suffix().toLower();
        if (!icons.contains(kind)) {
            icons.insert(kind, provider.icon(file));
        }
        auto* item = new QListWidgetItem(icons.value(kind), file.fileName(), files_);
        item->setData(Qt::UserRole, file.absoluteFilePath());
        item->setToolTip(file.absoluteFilePath());
        if (file.absoluteFilePath() == selected) {
            files_->setCurrentItem(item);
        }
    }
}

void TTagEditorFrm::SelectFile(const QString& path) {
    const QFileInfo file(path);
    if (QDir::cleanPath(file.absolutePath()) != QDir::cleanPath(Folder())) {
        SetFolder(file.absolutePath());
    }
    const QString wanted = file.absoluteFilePath();
    for (int row = 0; row < files_->count(); ++row) {
        QListWidgetItem* item = files_->item(row);
        if (item->data(Qt::UserRole).toString() == wanted) {
            if (files_->currentItem() == item) {
                LoadSelected();
            } else {
                files_->setCurrentItem(item);
            }
            return;
        }
    }
}

void TTagEditorFrm::LoadSelected() {
    const QListWidgetItem* item = files_->currentItem();
    Load(item != nullptr ? item->data(Qt::UserRole).toString() : QString());
}

void TTagEditorFrm::Load(const QString& path) {
    currentPath_ = path;
    song_ = SongInformation();
    if (!path.isEmpty()) {
        try {
            song_ = ReadSongInformation(FileName(path));
        } catch (const std::exception& error) {
            // An Ogg file that cannot be opened; the boxes stay empty.
            ShowMessage(this, QString::fromUtf8(error.what()), kCaption, MessageIcon::Error, path);
        }
    }
    ShowInformation(song_);
}

void TTagEditorFrm::ShowInformation(const SongInformation& info) {
    for (size_t i = 0; i < edits_.size(); ++i) {
        edits_[i]->setText(FromStd(info.*kEditFields[i]));
        edits_[i]->setCursorPosition(0);
    }
    // The genre is matched against the list in any letter case; other texts leave it empty.
    const int genre =
        info.Genre.empty() ? -1 : genreBox_->findText(FromStd(info.Genre), Qt::MatchFixedString);
    genreBox_->setCurrentIndex(genre);
    if (genre < 0) {
        genreBox_->setEditText(QString());
    }
    lyricsMemo_->setPlainText(FromStd(info.Lyrics));
    pathEdit_->setText(currentPath_);
    pathEdit_->setCursorPosition(0);
    pathEdit_->setToolTip(currentPath_);
    browseButton_->setEnabled(!currentPath_.isEmpty());
    for (const InfoField& field : info_) {
        if (currentPath_.isEmpty()) {
            field.value->clear();
        } else if (field.field != nullptr) {
            field.value->setText(FromStd(info.MPEG.*field.field));
        } else {
            field.value->setText(PlayTime(info.MPEG.Duration));
        }
        field.value->setCursorPosition(0);
    }
    okButton_->setEnabled(false);
}

void TTagEditorFrm::Clear() {
    currentPath_.clear();
    song_ = SongInformation();
    ShowInformation(song_);
}

void TTagEditorFrm::BoxChanged() {
    okButton_->setEnabled(!currentPath_.isEmpty());
}

void TTagEditorFrm::Save() {
    if (currentPath_.isEmpty() || !okButton_->isEnabled()) {
        return;
    }
    for (size_t i = 0; i < edits_.size(); ++i) {
        song_.*kEditFields[i] = ToStd(edits_[i]->text());
    }
    song_.Genre = ToStd(genreBox_->currentText());
    song_.Lyrics = ToStd(lyricsMemo_->toPlainText());
    okButton_->setEnabled(false);
    QString failure;
    try {
        if (!WriteSongInformation(song_, FileName(currentPath_))) {
            failure = FromStd(WriteSongInformationError());
            if (failure.isEmpty()) {
                failure = QString("The tags could not be written into “%1”.").arg(currentPath_);
            }
        }
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    if (!failure.isEmpty()) {
        ShowMessage(this, failure, kCaption, MessageIcon::Error, currentPath_);
    }
}

void TTagEditorFrm::Cancel() {
    if (!currentPath_.isEmpty()) {
        Load(currentPath_);
    }
}

void TTagEditorFrm::OpenFolder() {
    if (!currentPath_.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(currentPath_).absolutePath()));
    }
}

void TTagEditorFrm::OpenFile(QListWidgetItem* item) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(item->data(Qt::UserRole).toString()));
}

void TTagEditorFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown again: the list's selection is loaded afresh, as the file may have changed since.
    if (!event->spontaneous()) {
        LoadSelected();
    }
}

void TTagEditorFrm::closeEvent(QCloseEvent* event) {
    Clear();
    QWidget::closeEvent(event);
}

} // namespace quillon
