#include "app/RipFrm.h"

#include <QStatusBar>
#include <QTreeWidget>

namespace quillon {

TRipFrm::TRipFrm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("RipFrm");
    setWindowTitle("Quillon Rip PRO");
    resize(541, 511);
    auto* list = new QTreeWidget(this);
    list->setObjectName("ListView1");
    list->setHeaderLabels(
        {"Track", "Title", "Status", "Artist", "Album", "Year", "Genre", "Comment"});
    setCentralWidget(list);
    statusBar()->setObjectName("StatusBar1");
}

TRipFrm::~TRipFrm() = default;

} // namespace quillon
