#include "app/TagEditorFrm.h"

namespace quillon {

TTagEditorFrm::TTagEditorFrm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("TagEditorFrm");
    setWindowTitle("Tag Editor");
}

TTagEditorFrm::~TTagEditorFrm() = default;

} // namespace quillon
