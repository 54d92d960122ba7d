#pragma once

#include "workflow/SinkSetup.h"

#include <QObject>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

// A label named name for an edit box or list, which also gives the box its accessible name
// (the label's text without "&" and ":").
QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy);

// The list of tracks or files with check boxes ("ListView1") and the tag panel
// "MP3/OGG/APE Tag Editor" ("GroupBox1") that the main window and the converter window share.
// A selected row fills the panel, "+" copies the panel into the selected row, a click on the
// "Track" header ticks or unticks every row (its image telling which), a click on a tag
// column's header gives every row the panel's value, and Space ticks or unticks the current
// row. The window lays out List() and TagPanel().
class TTrackList : public QObject {
    Q_OBJECT
public:
    // The columns; the converter's list has Duration too.
    enum Column {
        colTrack,
        colTitle,
        colStatus,
        colArtist,
        colAlbum,
        colYear,
        colGenre,
        colComment,
        colDuration
    };

    // Makes the list with these column captions and widths (in digits), and the tag panel,
    // both children of parent.
    TTrackList(const QStringList& columns, const QList<int>& columnDigits,
               const QString& accessibleName, QWidget* parent);

    QTreeWidget& List() const { return *list_; }
    QGroupBox& TagPanel() const { return *tagPanel_; }
    int RowCount() const;

    // 12 when the "Track" header shows all rows ticked, 11 when it shows none.
    int TrackHeaderImage() const { return allTicked_ ? 12 : 11; }
    void SetTrackHeader(bool allTicked);
    void SetAllTicks(bool ticked);
    void InvertTicks();
    bool Ticked(int row) const;

    // The handlers of the header, the selection and "+".
    void ColumnClick(int column);
    void RowSelected();
    void CopyTagPanelToRow();

    // The tag panel's texts (Genre is the genre list's text) and setting them; a genre not in
    // the list leaves the list unselected.
    TrackTags PanelTags() const;
    void SetPanelTags(const TrackTags& tags);
    void ClearTagPanel();

    // A row's tag cells.
    TrackTags RowTags(int row) const;
    static void SetRowTags(QTreeWidgetItem& item, const TrackTags& tags);

signals:
    // The Delete key was pressed in the list.
    void DeletePressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* BuildTagPanel(QWidget* parent);

    QTreeWidget* list_ = nullptr;
    QGroupBox* tagPanel_ = nullptr;
    QLineEdit* titleEdit_ = nullptr;   // Edit1
    QLineEdit* artistEdit_ = nullptr;  // Edit2
    QLineEdit* albumEdit_ = nullptr;   // Edit3
    QLineEdit* yearEdit_ = nullptr;    // Edit4
    QLineEdit* commentEdit_ = nullptr; // Edit6
    QComboBox* genreBox_ = nullptr;    // ComboBox5
    QPushButton* addButton_ = nullptr; // SpeedButton2, "+"
    bool allTicked_ = true;
};

} // namespace quillon
