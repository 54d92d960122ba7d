// quillonrip: the desktop application. Reads its options, makes the four windows in their
// order, adds the disc images given on the command line as drives, and runs until the main
// window closes.
#include "app/AppIcons.h"
#include "app/FrmConverter.h"
#include "app/MessageBox.h"
#include "app/OptionsFrm.h"
#include "app/RipFrm.h"
#include "app/TagEditorFrm.h"
#include "codecs/CodecLibraries.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <iostream>
#include <memory>

namespace {

// Reads the command line with a core application only, so that --help and --version work
// without a display; returns the disc images to add.
QStringList ReadCommandLine(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("quillonrip");
    QCoreApplication::setApplicationVersion(QUILLON_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Quillon Rip: rips audio CDs, converts audio files and edits their tags.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"drive",
                      "Adds the disc image IMAGE (a CUE sheet with its BIN file, or a cdrdao TOC "
                      "file) as a drive; may be given more than once.",
                      "IMAGE"});
    parser.process(application);
    if (!parser.positionalArguments().isEmpty()) {
        std::cerr << "quillonrip: unexpected argument '"
                  << parser.positionalArguments().front().toStdString()
                  << "'; disc images are given with --drive IMAGE\n";
        std::exit(2);
    }
    return parser.values("drive");
}

} // namespace

int main(int argc, char** argv) {
    const QStringList images = ReadCommandLine(argc, argv);

    QApplication application(argc, argv);
    QApplication::setApplicationName("quillonrip");
    QApplication::setApplicationDisplayName("Quillon Rip");
    QApplication::setApplicationVersion(QUILLON_VERSION);
    QGuiApplication::setDesktopFileName("quillonrip");
    QApplication::setWindowIcon(quillon::ApplicationIcon());
    quillon::LoadCodecLibraries();

    std::unique_ptr<quillon::TRipFrm> window;
    try {
        window = std::make_unique<quillon::TRipFrm>();
    } catch (const std::exception& e) {
        std::cerr << "quillonrip: " << e.what() << "\n";
        quillon::ShowMessage(nullptr, QString::fromStdString(e.what()), "Quillon Rip",
                             quillon::MessageIcon::Error);
        return 1;
    }
    quillon::TOptionsFrm options(window.get());
    quillon::TFrmConverter converter(&options);
    quillon::TTagEditorFrm tagEditor;
    window->SetWindows(&options, &converter, &tagEditor);

    QStringList problems;
    for (const QString& image : images) {
        QString problem;
        if (!window->OpenDiscImage(image, problem)) {
            // The reason names the image.
            std::cerr << "quillonrip: cannot use the disc image " << problem.toStdString() << "\n";
            problems.append(problem);
        }
    }
    window->show();
    if (!problems.isEmpty()) {
        QTimer::singleShot(0, window.get(), [&window, problems] {
            quillon::ShowMessage(window.get(), "Some disc images could not be used.", "Quillon Rip",
                                 quillon::MessageIcon::Error, problems.join('\n'));
        });
    }
    return QApplication::exec();
}
