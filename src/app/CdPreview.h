#pragma once

#include <QGroupBox>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

class QLabel;
class QSlider;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace quillon {

class TCDIn;
class TAudioOut;

// The "CD Preview" group of the main window: plays a track of the disc in the main window's CD
// source through the sound card, with previous, "Play", "Pause", "Stop" and next buttons, a
// position slider and a clock. The track list is the main window's "ListView1"; its selected
// row (the current item) chooses the track, and previous and next move the selection.
class TCdPreview : public QGroupBox {
    Q_OBJECT
public:
    TCdPreview(TCDIn& cdIn, QTreeWidget& trackList, QWidget* parent = nullptr);
    ~TCdPreview() override;

    // Plays the selected row's track from its start (the first row, selected, when none is).
    void Play();
    // Stops the preview and waits until the playback sink is idle; also ends a paused preview.
    // Called before a rip, a drive change and the window's closing.
    void StopPreview();
    bool Playing() const;

    // The playback sink, so that tests can send it to a device of their own.
    TAudioOut& AudioOut();

signals:
    // "Preview Playing" or "Preview Stopped", for the main window's status bar.
    void StatusChanged(const QString& text);
    // The preview could not start or broke off (no sound device, an unreadable disc); the
    // controls are back in their stopped state.
    void Failed(const QString& message);

private:
    QToolButton* AddButton(const QString& name, const QString& caption, const char* iconName,
                           int fallbackIcon);
    // Pause resumes a paused preview and pauses a playing one.
    void Pause();
    void Next();
    void Previous();
    // The row of the current item, -1 when there is none.
    int SelectedRow() const;
    void SelectRow(int row);
    // Starts the sink on the CD source's range as set, and shows the playing state.
    void StartPlayback();
    void ShowPlaying();
    // Ends a run of the sink, also a paused one, and waits until it is idle.
    void StopSink();
    void Tick();
    void SliderReleased();
    // A step of the slider by keyboard or a click beside the thumb seeks as a drag does.
    void SliderAction(int action);
    void Seek(int seconds);
    void SinkFailed(int run);
    void Fail(const QString& message);

    TCDIn& cdIn_;
    QTreeWidget& trackList_;
    std::unique_ptr<TAudioOut> audioOut_;
    QToolButton* btnPrev_ = nullptr;
    QToolButton* btnPlay_ = nullptr;
    QToolButton* btnPause_ = nullptr;
    QToolButton* btnStop_ = nullptr;
    QToolButton* btnNext_ = nullptr;
    QLabel* lblClock_ = nullptr;
    QSlider* trackBar_ = nullptr;
    QTimer* timer2_ = nullptr;
    // 1-based number of the track being previewed.
    int previewTrack_ = 1;
    // Where, in seconds, the current playback started within the track.
    int seekBase_ = 0;
    // A run of ours may still hold the CD source: the next stop flushes it. Clear after that,
    // so that a stop during someone else's use of the source (a rip) leaves it alone.
    bool holdsSource_ = false;
    // Counts the sink's runs, so that a failure reported late is matched to its run.
    std::atomic<int> run_{0};
    std::mutex failureMutex_;
    QString failure_;
};

} // namespace quillon
