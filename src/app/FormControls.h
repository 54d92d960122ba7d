#pragma once

#include <QString>
#include <span>

class QLabel;
class QStatusBar;
class QWidget;

namespace quillon {

// A label named name for an edit box or list, which also gives the box its accessible name
// (the label's text without "&" and ":").
QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy);

// Fills a window's status bar with sunken panels "StatusBar1Panel0", … of at least these widths.
// The first shows failures: it takes the room that is left, since a message may be long.
void AddStatusPanels(QStatusBar& bar, std::span<QLabel*> panels, std::span<const int> widths);

// Shows a failure in a status panel, in full in its tooltip; an empty message clears it.
void ShowFailureIn(QLabel& panel, const QString& message);

} // namespace quillon
