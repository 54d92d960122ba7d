#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace quillon {

// Adds one radio entry per "*.ini" file of the folder to the top of the menu, all in one
// exclusive group, captioned with the first three characters of the file name without
// ".ini" ("English.ini" gives "Eng"); the entries read in name order (letter case ignored).
// Returns them in menu order.
QList<QAction*> FillLanguageMenu(QMenu& menu, const QString& languagesFolder);

// A language entry's caption without its accelerator marker ("&ENG" gives "ENG").
QString LanguageName(const QAction& entry);

// Applies a language file to the windows. For each window (its objectName is the section) it
// writes the window's current caption under the window's own name, then sets, from the keys
// named by their objectNames:
//   labels, buttons (push, check, radio, tool), group boxes, named actions, and a named menu's
//     entry in its parent menu: "caption||hint" (the hint is the toolTip, for actions also
//     the statusTip; a value without "||" empties the hint);
//   tab pages (the page widget's name): the tab's text;
//   radio groups (a group box holding radio buttons): the title, and item i from the key
//     name + i;
//   list columns (tree and table views): column i from the key name + i.
// Text fields, lists and their entries, status bars and their panels, and window captions
// stay. A missing key or file keeps the current texts and hints. Objects whose name starts
// with "qt_" belong to Qt, and a window's components exclude those of windows inside it.
// Pending events are not processed in between: the whole load takes about a millisecond.
void LoadLanguage(const QString& path, const QList<QWidget*>& windows);

// Writes the windows' current texts as a language file holds them, every key LoadLanguage
// reads, replacing the file when the new one is complete. The source of "ENG.ini".
bool WriteLanguage(const QString& path, const QList<QWidget*>& windows);

} // namespace quillon
