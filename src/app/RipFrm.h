#pragma once

#include <QMainWindow>

namespace quillon {

// The main window: the tracks of the disc in the chosen drive, their tags, and the commands
// that rip them, look them up, preview them and open the other windows.
class TRipFrm : public QMainWindow {
    Q_OBJECT
public:
    explicit TRipFrm(QWidget* parent = nullptr);
    ~TRipFrm() override;
};

} // namespace quillon
