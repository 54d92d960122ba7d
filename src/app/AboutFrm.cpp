#include "app/AboutFrm.h"

#include "app/AppIcons.h"
#include "app/RaisedPanel.h"
#include "app/WindowGeometry.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegion>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace quillon {

namespace {

constexpr int kStepMs = 10;
constexpr int kWidthStep = 8;  // pixels a side per step
constexpr int kHeightStep = 2; // pixels a side per step
constexpr int kStartAlpha = 100;
constexpr int kThinHalfHeight = 1;

QLabel* AddLabel(QWidget* parent, QLayout* layout, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    layout->addWidget(label);
    return label;
}

// Shaping and fading a window needs a window system that does both; X11 shapes windows, and
// fades them where a compositor runs (elsewhere the fade simply shows nothing).
bool CanAnimate() {
    return QGuiApplication::platformName() == "xcb";
}

} // namespace

TAboutFrm::TAboutFrm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), timer_(new QTimer(this)) {
    setObjectName("AboutFrm");
    setWindowTitle("About Quillon Rip");
    setAttribute(Qt::WA_DeleteOnClose);

    QFrame* frame = AddRaisedPanel(*this);

    auto* picture = new QLabel(frame);
    picture->setObjectName("Image1");
    picture->setAccessibleName("Quillon Rip");
    const int side = picture->fontMetrics().height() * 5;
    picture->setPixmap(ApplicationIcon().pixmap(QSize(side, side), devicePixelRatioF()));
    picture->setAlignment(Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    QLabel* name = AddLabel(frame, texts, "Label1", "Quillon Rip");
    QFont bigger = name->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.6);
    bigger.setBold(true);
    name->setFont(bigger);
    AddLabel(frame, texts, "Label2", QString("Version ") + QUILLON_VERSION);
    AddLabel(frame, texts, "Label3", "Rips audio CDs, converts audio files and edits their tags.");
    texts->addSpacing(fontMetrics().height() / 2);
    AddLabel(frame, texts, "Label4", QString("Home page: ") + kHomePage);
    AddLabel(frame, texts, "Label5", QString("Report a problem: ") + kIssueTracker);
    texts->addStretch();

    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(side / 3, side / 3, side / 3, side / 3);
    layout->setSpacing(side / 3);
    layout->addWidget(picture);
    layout->addLayout(texts);
    resize(sizeHint());

    timer_->setInterval(kStepMs);
    connect(timer_, &QTimer::timeout, this, &TAboutFrm::Step);
}

TAboutFrm::~TAboutFrm() = default;

bool TAboutFrm::Animating() const {
    return timer_->isActive();
}

void TAboutFrm::showEvent(QShowEvent* event) {
    CentreWindow(*this);
    if (CanAnimate() && !timer_->isActive()) {
        halfWidth_ = 0;
        halfHeight_ = kThinHalfHeight;
        alpha_ = kStartAlpha;
        setWindowOpacity(alpha_ / 255.0);
        Step();
        timer_->start();
    }
    QWidget::showEvent(event);
}

// One step of the opening: the region grows in width, then in height, then the window fades in.
void TAboutFrm::Step() {
    const int fullHalfWidth = (width() + 1) / 2;
    const int fullHalfHeight = (height() + 1) / 2;
    if (halfWidth_ < fullHalfWidth || halfHeight_ < fullHalfHeight) {
        if (halfWidth_ < fullHalfWidth) {
            halfWidth_ = std::min(fullHalfWidth, halfWidth_ + kWidthStep);
        } else {
            halfHeight_ = std::min(fullHalfHeight, halfHeight_ + kHeightStep);
        }
        const QPoint centre = rect().center();
        setMask(QRegion(centre.x() - halfWidth_, centre.y() - halfHeight_, 2 * halfWidth_,
                        2 * halfHeight_));
        return;
    }
    clearMask();
    alpha_ = std::min(255, alpha_ + 1);
    setWindowOpacity(alpha_ / 255.0);
    if (alpha_ == 255) {
        timer_->stop();
    }
}

void TAboutFrm::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    close();
}

void TAboutFrm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        // Only a window that had the focus can lose it.
        if (isActiveWindow()) {
            activated_ = true;
        } else if (activated_) {
            close();
        }
    }
}

} // namespace quillon
