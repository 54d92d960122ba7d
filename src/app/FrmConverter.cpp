#include "app/FrmConverter.h"

namespace quillon {

TFrmConverter::TFrmConverter(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("FrmConverter");
    setWindowTitle("Files Converter");
}

TFrmConverter::~TFrmConverter() = default;

} // namespace quillon
