#include "app/OperationProgressFrm.h"

#include "app/RaisedPanel.h"
#include "app/WindowGeometry.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillon {

TOperationProgressFrm::TOperationProgressFrm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("OperationProgressFrm");
    setWindowTitle("Ripping");
    setAttribute(Qt::WA_DeleteOnClose);

    QFrame* frame = AddRaisedPanel(*this);

    caption_ = new QLabel(frame);
    caption_->setObjectName("Label1");
    caption_->setMinimumWidth(1); // long names are shortened in the middle, not the window widened
    bar_ = new QProgressBar(frame);
    bar_->setObjectName("ProgressBar1");
    bar_->setAccessibleName("Progress");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    cancel_ = new QPushButton("&Cancel", frame);
    cancel_->setObjectName("btnCancel");
    cancel_->setAccessibleName("Cancel");
    cancel_->setToolTip("Stop the rip after discarding the track being ripped");
    connect(cancel_, &QPushButton::clicked, this, &TOperationProgressFrm::Cancelled);

    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(caption_);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    layout->addLayout(buttons);

    // The design size, grown where the fonts need more.
    resize(QSize(360, 88).expandedTo(sizeHint()));
}

TOperationProgressFrm::~TOperationProgressFrm() = default;

void TOperationProgressFrm::SetCaption(const QString& text) {
    captionText_ = text;
    caption_->setText(caption_->fontMetrics().elidedText(text, Qt::ElideMiddle,
                                                         caption_->contentsRect().width()));
    caption_->setToolTip(text);
}

QString TOperationProgressFrm::Caption() const {
    return captionText_;
}

void TOperationProgressFrm::SetPosition(int percent) {
    bar_->setValue(std::clamp(percent, 0, 100));
}

int TOperationProgressFrm::Position() const {
    return bar_->value();
}

void TOperationProgressFrm::showEvent(QShowEvent* event) {
    CentreWindow(*this);
    QWidget::showEvent(event);
}

void TOperationProgressFrm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit Cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quillon
