#include "app/RipFrm.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationDisplayName("Quillon Rip");
    quillon::TRipFrm window;
    window.show();
    return application.exec();
}
