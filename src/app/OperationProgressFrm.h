#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillon {

// The small borderless window that shows the progress of the track being ripped, with a
// "Cancel" button. One is made for each rip; closing it frees it.
class TOperationProgressFrm : public QWidget {
    Q_OBJECT
public:
    explicit TOperationProgressFrm(QWidget* parent = nullptr);
    ~TOperationProgressFrm() override;

    // What is being done, above the bar ("Track 2: /home/ann/Music/02-Song.FLAC").
    void SetCaption(const QString& text);
    QString Caption() const;
    // 0 .. 100.
    void SetPosition(int percent);
    int Position() const;

signals:
    // "Cancel" was pressed (or Escape).
    void Cancelled();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* caption_;
    QString captionText_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

} // namespace quillon
