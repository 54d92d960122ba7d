#include "app/CdPreview.h"

#include "cd/CDIn.h"
#include "dsp/AudioOut.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <thread>

namespace quillon {

namespace {

constexpr int kClockInterval = 1000;

QString Clock(int track, int seconds) {
    return QString::asprintf("%.2d - %.2d:%.2d", track, seconds / 60, seconds % 60);
}

} // namespace

TCdPreview::TCdPreview(TCDIn& cdIn, QTreeWidget& trackList, QWidget* parent)
    : QGroupBox("CD Preview", parent), cdIn_(cdIn), trackList_(trackList),
      audioOut_(std::make_unique<TAudioOut>()) {
    setObjectName("gbPreview");
    audioOut_->SetInput(&cdIn_);
    audioOut_->SetSuspendWhenIdle(true);
    audioOut_->SetVolume(255);
    // Raised on the sink's worker thread (or inside Run when the device cannot be opened); the
    // controls change on the window's thread.
    audioOut_->OnThreadException = [this](TPcmOutput&, const std::exception& e) {
        {
            std::lock_guard lock(failureMutex_);
            failure_ = QString::fromUtf8(e.what());
        }
        const int run = run_;
        QMetaObject::invokeMethod(
            this, [this, run] { SinkFailed(run); }, Qt::QueuedConnection);
    };

    auto* layout = new QHBoxLayout(this);
    btnPrev_ =
        AddButton("btnPrev", "Pre&vious", "media-skip-backward", QStyle::SP_MediaSkipBackward);
    btnPlay_ = AddButton("btnPlay", "&Play", "media-playback-start", QStyle::SP_MediaPlay);
    btnPause_ = AddButton("btnPause", "Pa&use", "media-playback-pause", QStyle::SP_MediaPause);
    btnStop_ = AddButton("btnStop", "S&top", "media-playback-stop", QStyle::SP_MediaStop);
    btnNext_ = AddButton("btnNext", "&Next", "media-skip-forward", QStyle::SP_MediaSkipForward);
    for (QToolButton* button : {btnPrev_, btnPlay_, btnPause_, btnStop_, btnNext_}) {
        layout->addWidget(button);
    }
    // Previous and next show their icon alone when there is one; the others their caption too.
    for (QToolButton* button : {btnPlay_, btnPause_, btnStop_}) {
        if (button->toolButtonStyle() == Qt::ToolButtonIconOnly) {
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
    }
    btnPause_->setEnabled(false);
    btnStop_->setEnabled(false);

    lblClock_ = new QLabel("00:00", this);
    lblClock_->setObjectName("lblClock");
    // Wide enough for the longest text, so that the slider does not jump as the clock runs.
    lblClock_->setMinimumWidth(lblClock_->fontMetrics().horizontalAdvance(Clock(88, 88 * 60)));
    lblClock_->hide();
    layout->addWidget(lblClock_);

    trackBar_ = new QSlider(Qt::Horizontal, this);
    trackBar_->setObjectName("TrackBar1");
    trackBar_->setAccessibleName("Position");
    trackBar_->setTickPosition(QSlider::NoTicks);
    trackBar_->setMaximum(0);
    trackBar_->hide();
    // The slider takes the room beside the buttons while it is shown, the spacer when it is not.
    layout->addWidget(trackBar_, 1);
    layout->addStretch(0);

    timer2_ = new QTimer(this);
    timer2_->setObjectName("Timer2");
    timer2_->setInterval(kClockInterval);

    connect(btnPlay_, &QToolButton::clicked, this, &TCdPreview::Play);
    connect(btnPause_, &QToolButton::clicked, this, &TCdPreview::Pause);
    connect(btnStop_, &QToolButton::clicked, this, &TCdPreview::StopPreview);
    connect(btnNext_, &QToolButton::clicked, this, &TCdPreview::Next);
    connect(btnPrev_, &QToolButton::clicked, this, &TCdPreview::Previous);
    connect(timer2_, &QTimer::timeout, this, &TCdPreview::Tick);
    connect(trackBar_, &QSlider::sliderPressed, timer2_, &QTimer::stop);
    connect(trackBar_, &QSlider::sliderMoved, this, [this](int position) {
        lblClock_->setText(QString::asprintf("%.2d:%.2d", position / 60, position % 60));
    });
    connect(trackBar_, &QSlider::sliderReleased, this, &TCdPreview::SliderReleased);
    connect(trackBar_, &QSlider::actionTriggered, this, &TCdPreview::SliderAction);
}

TCdPreview::~TCdPreview() {
    timer2_->stop();
    // The main window may have destroyed its CD source already; the sink then no longer reads
    // it, and its own destruction ends the worker.
    if (audioOut_->Input() != nullptr) {
        StopSink();
    }
}

QToolButton* TCdPreview::AddButton(const QString& name, const QString& caption,
                                   const char* iconName, int fallbackIcon) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(QString(caption).remove('&'));
    button->setAutoRaise(false);
    const QIcon icon = QIcon::fromTheme(
        iconName, style()->standardIcon(static_cast<QStyle::StandardPixmap>(fallbackIcon)));
    // A button without a usable icon shows its caption, so that none is ever empty.
    if (icon.pixmap(QSize(16, 16)).isNull()) {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else {
        button->setIcon(icon);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    return button;
}

void TCdPreview::Play() {
    if (trackList_.topLevelItemCount() == 0) {
        return;
    }
    previewTrack_ = 1;
    const int row = SelectedRow();
    if (row >= 0) {
        previewTrack_ = row + 1;
    } else {
        SelectRow(0);
    }
    StopPreview();
    int64_t size = 0;
    try {
        cdIn_.SetStartTrack(previewTrack_);
        cdIn_.SetEndTrack(previewTrack_);
        // The length comes from the table of contents before the run: a short track may have
        // played out, and the source been flushed, by the time Run returns.
        size = cdIn_.RangeSize();
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
        return;
    }
    seekBase_ = 0;
    const int64_t bytesPerSecond = static_cast<int64_t>(cdIn_.GetBitsPerSample() / 8) *
                                   cdIn_.GetChannels() * cdIn_.GetSampleRate();
    trackBar_->setMaximum(size > 0 ? static_cast<int>(size / bytesPerSecond) : 0);
    StartPlayback();
}

void TCdPreview::StartPlayback() {
    holdsSource_ = true;
    ++run_;
    try {
        audioOut_->Run();
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
        return;
    }
    ShowPlaying();
}

void TCdPreview::ShowPlaying() {
    btnPause_->setEnabled(true);
    btnStop_->setEnabled(true);
    emit StatusChanged("Preview Playing");
    // The clock starts where the playback does, not at what it showed last time.
    trackBar_->setValue(seekBase_);
    lblClock_->setText(Clock(previewTrack_, seekBase_));
    timer2_->start();
    lblClock_->show();
    trackBar_->show();
}

void TCdPreview::Pause() {
    switch (audioOut_->Status()) {
    case osBusy:
        audioOut_->Pause();
        break;
    case osPaused:
        audioOut_->Resume();
        break;
    case osIdle:
        // Resuming an idle sink would only wake its worker to no purpose.
        break;
    }
}

void TCdPreview::StopSink() {
    if (audioOut_->Status() == osIdle) {
        return;
    }
    audioOut_->Stop();
    // A paused sink never reaches the pass that ends it: it is resumed for that pass alone.
    if (audioOut_->Status() == osPaused) {
        audioOut_->Resume();
    }
    while (audioOut_->Status() != osIdle) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TCdPreview::StopPreview() {
    lblClock_->hide();
    timer2_->stop();
    trackBar_->hide();
    StopSink();
    if (holdsSource_) {
        cdIn_.Flush();
        holdsSource_ = false;
    }
    btnPlay_->setEnabled(true);
    btnPause_->setEnabled(false);
    btnStop_->setEnabled(false);
    emit StatusChanged("Preview Stopped");
}

bool TCdPreview::Playing() const {
    return audioOut_->Status() != osIdle;
}

TAudioOut& TCdPreview::AudioOut() {
    return *audioOut_;
}

int TCdPreview::SelectedRow() const {
    QTreeWidgetItem* item = trackList_.currentItem();
    return item != nullptr ? trackList_.indexOfTopLevelItem(item) : -1;
}

void TCdPreview::SelectRow(int row) {
    trackList_.setCurrentItem(trackList_.topLevelItem(row));
}

void TCdPreview::Next() {
    const int rows = trackList_.topLevelItemCount();
    if (rows == 0) {
        return;
    }
    const int row = std::max(SelectedRow(), 0);
    SelectRow(row + 1 < rows ? row + 1 : 0);
    Play();
}

void TCdPreview::Previous() {
    const int rows = trackList_.topLevelItemCount();
    if (rows == 0) {
        return;
    }
    int row = SelectedRow();
    if (row <= 0) {
        row = rows;
    }
    SelectRow(row - 1);
    Play();
}

void TCdPreview::Tick() {
    // Rounded up, the time of a track that has played out could pass its whole seconds.
    int position = audioOut_->TimeElapsed() + seekBase_;
    if (trackBar_->maximum() > 0) {
        position = std::min(position, trackBar_->maximum());
    }
    trackBar_->setValue(position);
    lblClock_->setText(Clock(previewTrack_, position));
    // A track that has ended leaves the controls as they are, but the clock stops with it.
    if (audioOut_->Status() == osIdle) {
        timer2_->stop();
    }
}

void TCdPreview::SliderReleased() {
    Seek(trackBar_->value());
}

void TCdPreview::SliderAction(int action) {
    if (action == QAbstractSlider::SliderNoAction || action == QAbstractSlider::SliderMove ||
        trackBar_->isSliderDown()) {
        return;
    }
    Seek(trackBar_->sliderPosition());
}

void TCdPreview::Seek(int seconds) {
    seekBase_ = seconds;
    StopPreview();
    try {
        // The range ends with the track whatever used the source since the preview started.
        cdIn_.SetEndTrack(previewTrack_);
        cdIn_.SetStartPosition(
            {previewTrack_,
             {static_cast<uint8_t>(seconds / 60), static_cast<uint8_t>(seconds % 60), 0}});
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
        return;
    }
    StartPlayback();
}

void TCdPreview::SinkFailed(int run) {
    // A failure of an earlier run, reported after a new one started, is no longer news.
    if (run != run_ || audioOut_->Status() != osIdle) {
        return;
    }
    QString message;
    {
        std::lock_guard lock(failureMutex_);
        message = failure_;
    }
    Fail(message);
}

void TCdPreview::Fail(const QString& message) {
    StopPreview();
    emit Failed(message);
}

} // namespace quillon
