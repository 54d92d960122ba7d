#include "app/LanguageFiles.h"

#include <QAction>

namespace quillon {

QList<QAction*> FillLanguageMenu(QMenu&, const QString&) {
    return {};
}

QString LanguageName(const QAction& entry) {
    return entry.text().remove('&');
}

void LoadLanguage(const QString&, const QList<QWidget*>&) {}

} // namespace quillon
