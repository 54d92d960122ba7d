#include "app/TrackList.h"

#include "app/AppIcons.h"
#include "app/FormControls.h"
#include "app/GridItemDelegate.h"
#include "tags/ID3Genres.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace quillon {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

TTrackList::TTrackList(const QStringList& columns, const QList<int>& columnDigits,
                       const QString& accessibleName, QWidget* parent)
    : QObject(parent) {
    setObjectName("TrackList");
    list_ = new QTreeWidget(parent);
    list_->setObjectName("ListView1");
    list_->setAccessibleName(accessibleName);
    list_->setColumnCount(static_cast<int>(columns.size()));
    list_->setHeaderLabels(columns);
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
    // Widths in digits, so that most columns are in view at the window's starting size.
    const int digit = list_->fontMetrics().horizontalAdvance('0');
    for (int column = 0; column < columnDigits.size(); ++column) {
        header->resizeSection(column, digit * columnDigits[column]);
    }
    list_->installEventFilter(this);

    tagPanel_ = BuildTagPanel(parent);

    connect(header, &QHeaderView::sectionClicked, this, &TTrackList::ColumnClick);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &TTrackList::RowSelected);
    connect(addButton_, &QPushButton::clicked, this, &TTrackList::CopyTagPanelToRow);
}

QGroupBox* TTrackList::BuildTagPanel(QWidget* parent) {
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
    // Room for a year in any font and no more; the genre list is sized by a short name rather
    // than its longest one and takes the rest of its row.
    yearEdit_->setFixedWidth(yearEdit_->fontMetrics().horizontalAdvance("88888") +
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
    grid->addWidget(titleEdit_, 0, 1, 1, 2);
    grid->addWidget(AddLabel(group, "Label2", "A&rtist:", artistEdit_), 1, 0);
    grid->addWidget(artistEdit_, 1, 1, 1, 2);
    grid->addWidget(AddLabel(group, "Label3", "Al&bum:", albumEdit_), 2, 0);
    grid->addWidget(albumEdit_, 2, 1, 1, 2);
    grid->addWidget(AddLabel(group, "Label4", "&Year:", yearEdit_), 3, 0);
    auto* yearAndGenre = new QHBoxLayout;
    yearAndGenre->addWidget(yearEdit_);
    yearAndGenre->addWidget(AddLabel(group, "Label6", "&Genre:", genreBox_));
    yearAndGenre->addWidget(genreBox_, 1);
    grid->addLayout(yearAndGenre, 3, 1, 1, 2);
    grid->addWidget(AddLabel(group, "Label5", "Co&mment:", commentEdit_), 4, 0);
    grid->addWidget(commentEdit_, 4, 1);
    grid->addWidget(addButton_, 4, 2);
    grid->setColumnStretch(1, 1);
    return group;
}

int TTrackList::RowCount() const {
    return list_->topLevelItemCount();
}

void TTrackList::SetTrackHeader(bool allTicked) {
    allTicked_ = allTicked;
    list_->headerItem()->setIcon(colTrack, TrackHeaderIcon(allTicked));
}

void TTrackList::SetAllTicks(bool ticked) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        list_->topLevelItem(i)->setCheckState(colTrack, ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void TTrackList::InvertTicks() {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        row->setCheckState(colTrack,
                           row->checkState(colTrack) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

bool TTrackList::Ticked(int row) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    return item && item->checkState(colTrack) == Qt::Checked;
}

// A click on a column header: "Track" ticks or unticks every row; the tag columns take the
// tag panel's value in every row.
void TTrackList::ColumnClick(int column) {
    QString value;
    switch (column) {
    case colTrack:
        SetTrackHeader(!allTicked_);
        SetAllTicks(allTicked_);
        return;
    case colArtist:
        value = artistEdit_->text();
        break;
    case colAlbum:
        value = albumEdit_->text();
        break;
    case colYear:
        value = yearEdit_->text();
        break;
    case colGenre:
        value = genreBox_->currentText();
        break;
    case colComment:
        value = commentEdit_->text();
        break;
    default:
        return;
    }
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        list_->topLevelItem(i)->setText(column, value);
    }
}

void TTrackList::RowSelected() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (!selected.isEmpty()) {
        SetPanelTags(RowTags(list_->indexOfTopLevelItem(selected.front())));
    }
}

void TTrackList::CopyTagPanelToRow() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (!selected.isEmpty()) {
        SetRowTags(*selected.front(), PanelTags());
    }
}

TrackTags TTrackList::PanelTags() const {
    return {titleEdit_->text().toStdString(),       artistEdit_->text().toStdString(),
            albumEdit_->text().toStdString(),       yearEdit_->text().toStdString(),
            genreBox_->currentText().toStdString(), commentEdit_->text().toStdString()};
}

void TTrackList::SetPanelTags(const TrackTags& tags) {
    titleEdit_->setText(Text(tags.Title));
    artistEdit_->setText(Text(tags.Artist));
    albumEdit_->setText(Text(tags.Album));
    yearEdit_->setText(Text(tags.Year));
    commentEdit_->setText(Text(tags.Comment));
    genreBox_->setCurrentIndex(
        tags.Genre.empty() ? -1 : genreBox_->findText(Text(tags.Genre), Qt::MatchFixedString));
}

void TTrackList::ClearTagPanel() {
    SetPanelTags({});
}

TrackTags TTrackList::RowTags(int row) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) {
        return {};
    }
    const auto cell = [item](int column) { return item->text(column).toStdString(); };
    return {cell(colTitle), cell(colArtist), cell(colAlbum),
            cell(colYear),  cell(colGenre),  cell(colComment)};
}

void TTrackList::SetRowTags(QTreeWidgetItem& item, const TrackTags& tags) {
    item.setText(colTitle, Text(tags.Title));
    item.setText(colArtist, Text(tags.Artist));
    item.setText(colAlbum, Text(tags.Album));
    item.setText(colYear, Text(tags.Year));
    item.setText(colGenre, Text(tags.Genre));
    item.setText(colComment, Text(tags.Comment));
}

// Space ticks or unticks the current row, whichever column has the focus; Delete is the
// window's to handle.
bool TTrackList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Space) {
            if (QTreeWidgetItem* row = list_->currentItem()) {
                row->setCheckState(colTrack, row->checkState(colTrack) == Qt::Checked
                                                 ? Qt::Unchecked
                                                 : Qt::Checked);
            }
            return true;
        }
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Delete) {
            emit DeletePressed();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillon
