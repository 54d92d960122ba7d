#pragma once

#include <QWidget>

namespace quillon {

// The tag editor window. It exists from start-up, hidden; its contents come with the tag
// editor itself.
class TTagEditorFrm : public QWidget {
    Q_OBJECT
public:
    explicit TTagEditorFrm(QWidget* parent = nullptr);
    ~TTagEditorFrm() override;
};

} // namespace quillon
