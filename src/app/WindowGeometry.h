#pragma once

#include <QList>
#include <QRect>

class QWidget;

namespace quillon {

// Where a window saved at `saved` (position of its frame, size of its contents) goes on the
// screens whose available areas are given, the first being the primary screen: where it was
// when it lies wholly on one screen, otherwise centred on the primary screen, made smaller
// where that screen is smaller. A window never saved (at its design geometry) is centred.
QRect FittedGeometry(const QRect& saved, const QRect& designGeometry,
                     const QList<QRect>& availableScreens);

// Applies FittedGeometry with the screens present now.
void PlaceWindow(QWidget& window, const QRect& saved, const QRect& designGeometry);

// Centres a window on its parent window, or on the primary screen when it has none.
void CentreWindow(QWidget& window);

} // namespace quillon
