#pragma once

#include "tags/SongInformation.h"

#include <QString>
#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QFileSystemModel;
class QFileSystemWatcher;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeView;

namespace quillon {

// The tag editor: a place list, a folder tree and the folder's MP3, Ogg Vorbis and Monkey's
// Audio files on the left; the picked file's tags ("Media Info") and stream facts ("File
// Info") on the right. Tags are read when a file is picked and written back on OK.
class TTagEditorFrm : public QWidget {
    Q_OBJECT
public:
    explicit TTagEditorFrm(QWidget* parent = nullptr);
    ~TTagEditorFrm() override;

    // Shows the folder's files, as choosing it in the tree does; every box is emptied.
    void SetFolder(const QString& folder);
    // Selects the file in the file list and loads it, as a click does.
    void SelectFile(const QString& path);
    // Writes the boxes' texts as the current file's tags (OK).
    void Save();
    // Loads the current file again, discarding the edits.
    void Cancel();
    // The loaded file, or empty.
    QString CurrentPath() const { return currentPath_; }
    bool SaveEnabled() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // One read-only stream fact of the "File Info" page.
    struct InfoField {
        QLabel* label;
        QLineEdit* value;
        std::string MPEGInfo::*field; // none for the duration
    };

    void BuildLayout();
    QWidget* BuildBrowser();
    QWidget* BuildMediaPage();
    QWidget* BuildFilePage();
    QLineEdit* AddEdit(QWidget* parent, const char* name);
    void FillPlaces();

    void PlaceChanged(int index);
    void FolderChanged();
    void FillFileList();
    void LoadSelected();
    void Load(const QString& path);
    void ShowInformation(const SongInformation& info);
    void Clear();
    void BoxChanged();
    void OpenFolder();
    void OpenFile(QListWidgetItem* item);
    QString Folder() const;

    QComboBox* places_ = nullptr;
    QFileSystemModel* folderModel_ = nullptr;
    QTreeView* folders_ = nullptr;
    QListWidget* files_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    // Edit1 to Edit5, Edit7 to Edit12: Title, Artist, Album, Track, Year, Comment, Composer,
    // Copyright, Encoder, Language, Link.
    std::array<QLineEdit*, 11> edits_{};
    QComboBox* genreBox_ = nullptr;
    QPlainTextEdit* lyricsMemo_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    // FileSize to Encoder of MPEGInfo, then Duration.
    std::array<InfoField, 14> info_{};

    QString currentPath_;
    SongInformation song_;
};

} // namespace quillon
