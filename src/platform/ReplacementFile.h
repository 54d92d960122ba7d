#pragma once

#include <string>

namespace quillon {

// New content for a file, written beside it and put in its place in one step by Publish.
// Where the file system allows, the new file has no name until then, so a process that is
// killed meanwhile leaves nothing behind; elsewhere it has an exclusive name of its own
// (".NAME.quillon-XXXXXX" in the same folder), which never collides with a user's file. Until
// Publish succeeds the target is untouched, and the new file is removed on every path.
class ReplacementFile {
public:
    // Raises EStreamError when no file can be created in the target's folder.
    explicit ReplacementFile(std::string target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    int Fd() const { return fd_; }
    // Renames the content over the target, after syncing it to the disk when `sync` is set;
    // raises EStreamError on failure (the target is then unchanged).
    void Publish(bool sync = true);

    // Removes the named files of all replacements not yet published, for a process that must
    // end at once without running their destructors (unnamed ones vanish with the process).
    // Any thread.
    static void RemoveUnpublished();

private:
    // Gives an unnamed file a unique name beside the target.
    std::string LinkUnnamed();

    std::string target_;
    std::string name_; // empty for an unnamed file
    int fd_ = -1;
};

} // namespace quillon
