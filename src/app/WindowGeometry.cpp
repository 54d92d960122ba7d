#include "app/WindowGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillon {

QRect FittedGeometry(const QRect& saved, const QRect& designGeometry,
                     const QList<QRect>& availableScreens) {
    if (availableScreens.isEmpty()) {
        return saved;
    }
    if (saved != designGeometry && saved.isValid()) {
        for (const QRect& screen : availableScreens) {
            if (screen.contains(saved)) {
                return saved;
            }
        }
    }
    const QRect& primary = availableScreens.front();
    QSize size = saved.isValid() ? saved.size() : designGeometry.size();
    size = size.boundedTo(primary.size());
    QRect centred(QPoint(), size);
    centred.moveCenter(primary.center());
    return centred;
}

void PlaceWindow(QWidget& window, const QRect& saved, const QRect& designGeometry) {
    QList<QRect> screens;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screens.append(primary->availableGeometry());
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) {
            screens.append(screen->availableGeometry());
        }
    }
    const QRect place = FittedGeometry(saved, designGeometry, screens);
    window.resize(place.size());
    window.move(place.topLeft());
}

void CentreWindow(QWidget& window) {
    QRect area;
    if (const QWidget* parent = window.parentWidget(); parent && parent->isVisible()) {
        area = parent->window()->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) {
        QRect frame(QPoint(), window.size());
        frame.moveCenter(area.center());
        window.move(frame.topLeft());
    }
}

} // namespace quillon
