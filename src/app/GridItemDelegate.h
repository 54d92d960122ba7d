#pragma once

#include <QStyledItemDelegate>

namespace quillon {

// Draws the items of a list as usual, with thin lines between rows and columns, so that the
// list reads as a grid.
class TGridItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace quillon
