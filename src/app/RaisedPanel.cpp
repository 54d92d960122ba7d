#include "app/RaisedPanel.h"

#include <QFrame>
#include <QVBoxLayout>

namespace quillon {

QFrame* AddRaisedPanel(QWidget& window) {
    auto* frame = new QFrame(&window);
    frame->setObjectName("Panel1");
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    auto* outer = new QVBoxLayout(&window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    return frame;
}

} // namespace quillon
