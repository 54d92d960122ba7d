// The window tests need an application object; they run offscreen unless told otherwise.
#include "app/MessageBox.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The settings store and the CD ripping library's settings live in a folder of this run's
    // own, never the user's; it is set before anything reads it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication application(argc, argv);
    // A message box would wait for a click that never comes; tests that expect one record it.
    quillon::SetMessageHandler([](const quillon::MessageRequest& message) {
        std::cerr << "message box: " << message.caption.toStdString() << ": "
                  << message.text.toStdString() << "\n";
    });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
