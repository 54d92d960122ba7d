#include "tags/TagFileRewrite.h"

#include "platform/FileStream.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr size_t kCopyChunk = 1024 * 1024;

// Owns the temporary file until it is renamed into place.
class TempFile {
public:
    explicit TempFile(std::string name) : name_(std::move(name)) {}
    ~TempFile() {
        Close();
        if (!name_.empty()) {
            ::unlink(name_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Create() {
        // An old file of this name is replaced; unlinking it first means a symbolic link
        // planted under the name cannot redirect the write elsewhere.
        if (::unlink(name_.c_str()) != 0 && errno != ENOENT) {
            name_.clear();
            return false;
        }
        fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            name_.clear();
            return false;
        }
        return true;
    }
    int Fd() const { return fd_; }
    bool Close() {
        if (fd_ < 0) {
            return true;
        }
        const bool ok = ::fsync(fd_) == 0 && ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }
    bool RenameTo(const std::string& target) {
        if (::rename(name_.c_str(), target.c_str()) != 0) {
            return false;
        }
        name_.clear();
        return true;
    }

private:
    std::string name_;
    int fd_ = -1;
};

std::string ResolveLinks(const std::string& fileName) {
    std::error_code error;
    if (std::filesystem::is_symlink(fileName, error)) {
        const auto target = std::filesystem::canonical(fileName, error);
        if (!error) {
            return target.string();
        }
    }
    return fileName;
}

} // namespace

void TagRewriteOutput::Write(const void* data, size_t count) {
    const auto* in = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), in, in + count);
    if (buffer_.size() >= kCopyChunk) {
        Flush();
    }
}

void TagRewriteOutput::CopyRest(Stream& source) {
    std::vector<uint8_t> chunk(kCopyChunk);
    for (;;) {
        const size_t n = source.Read(chunk.data(), chunk.size());
        if (n == 0) {
            break;
        }
        Write(chunk.data(), n);
    }
}

void TagRewriteOutput::Flush() {
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            buffer_.clear();
            throw EStreamError("Cannot write to file. " + SystemErrorText(errno));
        }
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
}

bool RewriteThroughTempFile(const std::string& fileName, const TagRewriteProducer& produce) {
    try {
        const std::string target = ResolveLinks(fileName);
        struct stat info {};
        if (::stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return false;
        }
        // Opening for writing checks that the caller may change the file and locks it.
        FileStream original(target, FileStream::Mode::ReadWrite);
        TempFile temp(target + "~");
        if (!temp.Create()) {
            return false;
        }
        if (::geteuid() == 0) {
            // Best effort: keep the owner when the superuser rewrites someone else's file.
            [[maybe_unused]] const int ignored = ::fchown(temp.Fd(), info.st_uid, info.st_gid);
        }
        if (::fchmod(temp.Fd(), info.st_mode & 07777) != 0) {
            return false;
        }
        TagRewriteOutput output(temp.Fd());
        if (!produce(original, output)) {
            return false;
        }
        output.Flush();
        return temp.Close() && temp.RenameTo(target);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quillon
