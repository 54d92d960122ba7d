#pragma once

class QFrame;
class QWidget;

namespace quillon {

// Fills a frameless window with a raised panel ("Panel1"), so that the window draws the edge
// that no window manager frame gives it; the window's controls go into the panel.
QFrame* AddRaisedPanel(QWidget& window);

} // namespace quillon
