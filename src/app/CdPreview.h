#pragma once

#include <QGroupBox>
#include <QString>

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
};

} // namespace quillon
