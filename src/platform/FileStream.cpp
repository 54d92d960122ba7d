#include "platform/FileStream.h"

#include "platform/ReplacementFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace quillon {

// A file shared by the read-only streams of a SharedReadScope. Tag and stream examiners read
// mostly near the start and the end of a file, so the first and the last bytes are kept once
// read and small reads there cost no system call.
struct SharedFile {
    int fd = -1;
    int error = 0;     // errno of a failed open, 0 when fd is valid
    int64_t size = -1; // read-only files keep their size while they are examined
    bool folder = false;
    std::vector<unsigned char> head, tail;
    int64_t tailStart = 0;
};

namespace {

constexpr size_t kWriteBufferSize = 256 * 1024;
// Bytes kept of each end of a shared file.
constexpr int64_t kSharedEndSize = 8 * 1024;

// The descriptors of the thread's active SharedReadScope, by file name.
struct SharedFiles {
    int depth = 0;
    std::unordered_map<std::string, SharedFile> files;
};

thread_local SharedFiles sharedFiles;

// errno of an existing file that is neither a regular file nor a folder: a named pipe or a
// device would block a read, or never end.
constexpr int kNotRegularError = ENODEV;

// Opens an existing file or folder. A named pipe is opened without waiting for a writer and
// then refused, like any other file that is not a regular file; -1 with errno set on failure.
int OpenExisting(const std::string& fileName, int flags) {
    const int fd = ::open(fileName.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))) {
        ::close(fd);
        errno = kNotRegularError;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string OpenErrorText(int error) {
    return error == kNotRegularError ? "Not a regular file" : SystemErrorText(error);
}

// The shared entry of a file, opened on first use.
SharedFile& SharedEntry(const std::string& fileName) {
    auto [it, added] = sharedFiles.files.try_emplace(fileName, SharedFile{});
    SharedFile& shared = it->second;
    if (added) {
        shared.fd = OpenExisting(fileName, O_RDONLY);
        shared.error = shared.fd < 0 ? errno : 0;
        struct stat st {};
        if (shared.fd >= 0 && ::fstat(shared.fd, &st) == 0) {
            shared.size = st.st_size;
            shared.folder = S_ISDIR(st.st_mode);
        }
    }
    return shared;
}

} // namespace

SharedReadScope::SharedReadScope() {
    ++sharedFiles.depth;
}

SharedReadScope::~SharedReadScope() {
    if (--sharedFiles.depth == 0) {
        for (const auto& [name, file] : sharedFiles.files) {
            if (file.fd >= 0) {
                ::close(file.fd);
            }
        }
        sharedFiles.files.clear();
    }
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

FileStream::FileStream(const std::string& fileName, Mode mode) : fileName_(fileName) {
    switch (mode) {
    case Mode::Read:
        if (sharedFiles.depth > 0) {
            SharedFile& shared = SharedEntry(fileName);
            fd_ = shared.fd;
            errno = shared.error;
            if (fd_ >= 0) {
                shared_ = &shared;
            }
        } else {
            fd_ = OpenExisting(fileName, O_RDONLY);
        }
        break;
    case Mode::ReadWrite:
        fd_ = OpenExisting(fileName, O_RDWR);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd_);
            fd_ = -1;
            errno = error;
        }
        break;
    case Mode::Create:
        replacement_ = std::make_unique<ReplacementFile>(fileName);
        fd_ = replacement_->Fd();
        ::fchmod(
            fd_, 0666 & ~[] {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                return mask;
            }());
        break;
    }
    if (fd_ < 0) {
        const char* what = mode == Mode::Create ? "Cannot create file" : "Cannot open file";
        throw EStreamError(std::string(what) + " \"" + fileName + "\". " + OpenErrorText(errno));
    }
}

FileStream::~FileStream() {
    Close();
}

bool FileStream::Exists(const std::string& fileName) {
    if (sharedFiles.depth > 0) {
        const SharedFile& shared = SharedEntry(fileName);
        return shared.fd >= 0 || (shared.error != ENOENT && shared.error != ENOTDIR);
    }
    return ::access(fileName.c_str(), F_OK) == 0;
}

void FileStream::Close() noexcept {
    if (shared_ != nullptr) {
        fd_ = -1;
        return;
    }
    if (replacement_) {
        // Uncommitted content is dropped with its replacement file.
        replacement_.reset();
        fd_ = -1;
        return;
    }
    if (fd_ >= 0) {
        try {
            FlushBuffer();
        } catch (const EStreamError&) {
            // Nothing can be reported from a destructor; callers that care flush first.
        }
        ::close(fd_);
        fd_ = -1;
    }
}

void FileStream::FlushBuffer() {
    size_t done = 0;
    while (done < writeBuffer_.size()) {
        const ssize_t n = ::pwrite(fd_, writeBuffer_.data() + done, writeBuffer_.size() - done,
                                   bufferStart_ + static_cast<int64_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            writeBuffer_.clear();
            throw EStreamError("Cannot write to file \"" + fileName_ + "\". " +
                               SystemErrorText(error));
        }
        done += static_cast<size_t>(n);
    }
    writeBuffer_.clear();
}

void FileStream::Commit() {
    FlushBuffer();
    if (!replacement_) {
        return;
    }
    // Like the copy tools users compare us with, outputs are not synced one by one; a rename
    // over an older file still never shows a partial file.
    replacement_->Publish(false);
    replacement_.reset();
    fd_ = -1;
}

size_t FileStream::ReadShared(void* buffer, size_t count) {
    const int64_t size = Size();
    if (position_ >= size) {
        return 0;
    }
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(count), size - position_);
    const auto fill = [this](std::vector<unsigned char>& cache, int64_t start, int64_t length) {
        cache.resize(static_cast<size_t>(length));
        const ssize_t got = ::pread(fd_, cache.data(), cache.size(), start);
        cache.resize(got > 0 ? static_cast<size_t>(got) : 0);
    };
    const auto serve = [&](const std::vector<unsigned char>& cache, int64_t start) {
        if (position_ < start || position_ + n > start + static_cast<int64_t>(cache.size())) {
            return false;
        }
        std::memcpy(buffer, cache.data() + (position_ - start), static_cast<size_t>(n));
        position_ += n;
        return true;
    };
    if (position_ + n <= kSharedEndSize) {
        if (shared_->head.empty()) {
            fill(shared_->head, 0, std::min(size, kSharedEndSize));
        }
        if (serve(shared_->head, 0)) {
            return static_cast<size_t>(n);
        }
    } else if (position_ >= size - kSharedEndSize) {
        if (shared_->tail.empty()) {
            shared_->tailStart = std::max<int64_t>(0, size - kSharedEndSize);
            fill(shared_->tail, shared_->tailStart, size - shared_->tailStart);
        }
        if (serve(shared_->tail, shared_->tailStart)) {
            return static_cast<size_t>(n);
        }
    }
    return 0;
}

size_t FileStream::Read(void* buffer, size_t count) {
    FlushBuffer();
    if (count == 0) {
        return 0; // callers may pass the null data() of an empty vector
    }
    if (shared_ != nullptr) {
        if (const size_t n = ReadShared(buffer, count); n > 0) {
            return n;
        }
    }
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, count - done, position_);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw EStreamError("Cannot read from file \"" + fileName_ + "\". " +
                               SystemErrorText(errno));
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
        position_ += n;
    }
    return done;
}

void FileStream::Write(const void* buffer, size_t count) {
    if (!writeBuffer_.empty() &&
        bufferStart_ + static_cast<int64_t>(writeBuffer_.size()) != position_) {
        FlushBuffer();
    }
    if (writeBuffer_.empty()) {
        bufferStart_ = position_;
        writeBuffer_.reserve(kWriteBufferSize);
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    writeBuffer_.insert(writeBuffer_.end(), in, in + count);
    position_ += static_cast<int64_t>(count);
    if (writeBuffer_.size() >= kWriteBufferSize) {
        FlushBuffer();
    }
}

int64_t FileStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    if (origin == SeekOrigin::Current) {
        base = position_;
    } else if (origin == SeekOrigin::End) {
        base = Size();
    }
    if (base + offset < 0) {
        throw EStreamError("Stream seek error");
    }
    position_ = base + offset;
    return position_;
}

int64_t FileStream::Size() {
    if (shared_ != nullptr && shared_->size >= 0) {
        return shared_->size;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        throw EStreamError("Cannot read from file \"" + fileName_ + "\". " +
                           SystemErrorText(errno));
    }
    const int64_t buffered = bufferStart_ + static_cast<int64_t>(writeBuffer_.size());
    return writeBuffer_.empty() ? st.st_size : std::max<int64_t>(st.st_size, buffered);
}

bool FileStream::IsFolder() {
    if (shared_ != nullptr) {
        return shared_->folder;
    }
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode);
}

void FileStream::SetSize(int64_t size) {
    FlushBuffer();
    if (::ftruncate(fd_, size) != 0) {
        throw EStreamError("Cannot write to file \"" + fileName_ + "\". " + SystemErrorText(errno));
    }
}

} // namespace quillon
