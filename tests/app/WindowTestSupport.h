#pragma once

#include "app/MessageBox.h"
#include "app/OptionsFrm.h"
#include "app/RipFrm.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class QTreeWidget;

namespace quillon::test {

// Records the message boxes shown while it lives, instead of showing them.
class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    // "caption: text" of each message, in order.
    QStringList Shown() const { return shown_; }

private:
    QStringList shown_;
    std::function<void(const MessageRequest&)> previous_;
};

// The main window with its options window, after its first tick, shown offscreen; the
// options window then takes the test's settings.
class WindowUnderTest {
public:
    explicit WindowUnderTest(const Settings& settings = Settings());

    TOptionsFrm options;
    TRipFrm window;

    QTreeWidget& List();
    QString Cell(int row, int column);
    bool Ticked(int row);
    // Adds the image as a drive and chooses it, as "Open Disc Image..." does.
    void UseImage(const std::string& sheet);
};

// A CUE sheet and a sparse BIN file holding audio tracks of the given lengths in sectors
// (75 a second), so that long tracks cost no disc space; returns the sheet's path.
std::string WriteSparseImage(const std::string& folder, const std::string& name,
                             const std::vector<int>& sectors);

// The names of a folder's entries, sorted; none when the folder does not exist.
std::vector<std::string> FolderNames(const std::string& folder);

} // namespace quillon::test
