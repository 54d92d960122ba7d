#include "tags/TagFileRewrite.h"

#include "platform/FileStream.h"
#include "platform/ReplacementFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr size_t kCopyChunk = 1024 * 1024;

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

void TagRewriteOutput::CopyRange(Stream& source, int64_t from, int64_t count) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, kCopyChunk)));
    source.SetPosition(from);
    while (count > 0) {
        const auto want = static_cast<size_t>(std::min<int64_t>(count, kCopyChunk));
        if (!source.ReadExact(chunk.data(), want)) {
            throw EStreamError("Unexpected end of file");
        }
        Write(chunk.data(), want);
        count -= static_cast<int64_t>(want);
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
        ReplacementFile replacement(target);
        if (::geteuid() == 0) {
            // Best effort: keep the owner when the superuser rewrites someone else's file.
            [[maybe_unused]] const int ignored =
                ::fchown(replacement.Fd(), info.st_uid, info.st_gid);
        }
        if (::fchmod(replacement.Fd(), info.st_mode & 07777) != 0) {
            return false;
        }
        TagRewriteOutput output(replacement.Fd());
        if (!produce(original, output)) {
            return false;
        }
        output.Flush();
        replacement.Publish();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quillon
