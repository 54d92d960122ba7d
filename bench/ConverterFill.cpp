// Fills the converter window (offscreen) with the audio files of a folder and prints how long
// it took from AddFiles until every file was listed, and the longest time the window's event
// loop was held up meanwhile, both in ms: "fill 812.3 stall 14.0".
// Usage: converter_fill FOLDER COUNT
#include "app/FrmConverter.h"
#include "app/OptionsFrm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: converter_fill FOLDER COUNT\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The settings of this run are its own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);

    quillon::TOptionsFrm options;
    quillon::TFrmConverter window(&options);
    window.show();
    QCoreApplication::processEvents();

    // A timer that should fire every millisecond tells how long the loop was busy elsewhere.
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 stall = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        stall = std::max(stall, now - last);
        last = now;
        if (!window.Loading() || now > 60'000'000'000) {
            loop.quit();
        }
    });
    clock.start();
    window.AddFiles({folder});
    tick.start();
    loop.exec();
    const double fill = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    std::printf("fill %.1f stall %.1f\n", fill, static_cast<double>(stall) / 1e6);
    if (window.RowCount() != count) {
        std::fprintf(stderr, "listed %d files, not %d\n", window.RowCount(), count);
        return 1;
    }
    return 0;
}
