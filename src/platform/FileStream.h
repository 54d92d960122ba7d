#pragma once

#include "platform/Stream.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

class ReplacementFile;
struct SharedFile;

// A file on disk, with a write buffer so that small writes cost no system call each.
//
// Files made with Create are written to a temporary file in the same folder and only take
// the place of the named file at Commit, so a failed or abandoned write never destroys an
// existing file of that name; without Commit the temporary file is removed.
class FileStream : public Stream {
public:
    enum class Mode {
        Read,      // existing file, read only
        ReadWrite, // existing file, read and write, locked against other writers
        Create,    // new content for the name, made visible by Commit
    };

    FileStream(const std::string& fileName, Mode mode);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;
    // True for a folder, which opens for reading but cannot be read.
    bool IsFolder();

    // Writes out buffered data; raises EStreamError when the disk refuses it.
    void FlushBuffer();
    // For Create: flushes, closes and renames the temporary file over the target name.
    void Commit();

    const std::string& FileName() const { return fileName_; }

    // True when a file (or folder) of that name exists. Inside a SharedReadScope it opens the
    // file for the streams to come instead of asking separately.
    static bool Exists(const std::string& fileName);

private:
    void Close() noexcept;
    // Serves a read of a shared file from its kept ends; 0 when it must go to the file.
    size_t ReadShared(void* buffer, size_t count);

    std::string fileName_;
    std::unique_ptr<ReplacementFile> replacement_; // Create: the new content until Commit
    int fd_ = -1;
    SharedFile* shared_ = nullptr; // the thread's SharedReadScope owns the descriptor
    int64_t position_ = 0;         // logical position, including buffered bytes
    std::vector<unsigned char> writeBuffer_;
    int64_t bufferStart_ = 0; // file offset of writeBuffer_[0]
};

// While an instance lives, read-only FileStreams that this thread opens share one descriptor
// (and one size query) per file name. Examiners that each open the same file to read a part
// of it then cost one open and close in all, which matters when thousands of files are read.
// Scopes nest; the descriptors are closed when the outermost one ends.
class SharedReadScope {
public:
    SharedReadScope();
    ~SharedReadScope();
    SharedReadScope(const SharedReadScope&) = delete;
    SharedReadScope& operator=(const SharedReadScope&) = delete;
};

// Text of the last system error, for messages.
std::string SystemErrorText(int error);

} // namespace quillon
