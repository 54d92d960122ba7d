#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace quillon {

// Adds one radio entry per "*.ini" file of the folder to the menu, captioned with the first
// three characters of the file name, all in one exclusive group; returns them in menu order.
QList<QAction*> FillLanguageMenu(QMenu& menu, const QString& languagesFolder);

// A language entry's caption without its accelerator marker ("&ENG" gives "ENG").
QString LanguageName(const QAction& entry);

// Applies a language file to the windows: for each window (by its objectName as the section),
// writes its current caption under its own name, then sets the texts of its labels, buttons,
// check boxes, group boxes, radio buttons, tool buttons, named actions ("caption||hint"), tab
// pages, radio groups and their items, and list columns from the keys named by their
// objectNames. A missing key or file keeps the current text.
void LoadLanguage(const QString& path, const QList<QWidget*>& windows);

} // namespace quillon
