#pragma once

#include <QWidget>

class QTimer;

namespace quillon {

// The project's web addresses: the about window shows them and "Home page" opens the first.
inline constexpr const char* kHomePage = "https://quillon.example.org/";
inline constexpr const char* kIssueTracker = "https://quillon.example.org/issues";

// The borderless about window: the program's picture, name, version and where to find the
// project. It opens by growing from a thin strip at its centre, first in width, then in
// height, and then fades in (where the platform can shape and fade windows; elsewhere it
// appears at once). It closes when clicked or when it loses the focus, and frees itself.
class TAboutFrm : public QWidget {
    Q_OBJECT
public:
    explicit TAboutFrm(QWidget* parent = nullptr);
    ~TAboutFrm() override;

    // The opening animation is still running.
    bool Animating() const;

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Step();

    QTimer* timer_;
    int halfWidth_ = 0;  // of the visible region
    int halfHeight_ = 0; // of the visible region
    int alpha_ = 255;    // opacity 0 .. 255
    bool activated_ = false;
};

} // namespace quillon
