#include "WindowTestSupport.h"

#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillon::test {

MessageLog::MessageLog() {
    previous_ = SetMessageHandler([this](const MessageRequest& message) {
        shown_.append(message.caption + ": " + message.text);
    });
}

MessageLog::~MessageLog() {
    SetMessageHandler(previous_);
}

WindowUnderTest::WindowUnderTest(const Settings& settings) {
    window.SetWindows(&options, nullptr, nullptr);
    window.FirstTick();
    options.LoadSettings(settings);
    window.show();
}

QTreeWidget& WindowUnderTest::List() {
    return *window.findChild<QTreeWidget*>("ListView1");
}

QString WindowUnderTest::Cell(int row, int column) {
    const QTreeWidgetItem* item = List().topLevelItem(row);
    return item ? item->text(column) : "(no row)";
}

bool WindowUnderTest::Ticked(int row) {
    const QTreeWidgetItem* item = List().topLevelItem(row);
    return item && item->checkState(TRipFrm::colTrack) == Qt::Checked;
}

void WindowUnderTest::UseImage(const std::string& sheet) {
    QString problem;
    ASSERT_TRUE(window.OpenDiscImage(QString::fromStdString(sheet), problem))
        << problem.toStdString();
}

std::string WriteSparseImage(const std::string& folder, const std::string& name,
                             const std::vector<int>& sectors) {
    // The sheet names the data file after itself, as the CUE reader expects.
    const std::string sheet = folder + "/" + name + ".cue";
    std::ofstream cue(sheet);
    cue << "FILE \"" << name << ".bin\" BINARY\n";
    int start = 0;
    for (size_t i = 0; i < sectors.size(); ++i) {
        char index[64];
        std::snprintf(index, sizeof index, "    INDEX 01 %02d:%02d:%02d\n", start / 4500,
                      start / 75 % 60, start % 75);
        cue << "  TRACK " << (i < 9 ? "0" : "") << i + 1 << " AUDIO\n" << index;
        start += sectors[i];
    }
    std::ofstream(folder + "/" + name + ".bin").close();
    std::filesystem::resize_file(folder + "/" + name + ".bin",
                                 static_cast<uintmax_t>(start) * 2352);
    return sheet;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (std::filesystem::exists(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillon::test
