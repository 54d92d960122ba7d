#include "platform/ReplacementFile.h"

#include "platform/FileStream.h"
#include "platform/Stream.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <unistd.h>

namespace quillon {

namespace {

std::string FolderOf(const std::string& target) {
    const std::string folder = std::filesystem::path(target).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string UniqueName(const std::string& target) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::filesystem::path path(target);
    std::string name = "." + path.filename().string() + ".quillon-";
    for (int i = 0; i < 6; ++i) {
        name.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    }
    return (path.parent_path() / name).string();
}

// The named files of replacements not yet published.
struct NamedFiles {
    std::mutex mutex;
    std::set<std::string> names;

    void Add(const std::string& name) {
        std::lock_guard lock(mutex);
        names.insert(name);
    }
    void Remove(const std::string& name) {
        std::lock_guard lock(mutex);
        names.erase(name);
    }
};

// Never destroyed: replacements may still end while static objects are destroyed at exit.
NamedFiles& Unpublished() {
    static auto* files = new NamedFiles;
    return *files;
}

[[noreturn]] void Fail(const std::string& what, const std::string& target, int error) {
    throw EStreamError(what + " \"" + target + "\". " + SystemErrorText(error));
}

} // namespace

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {
    fd_ = ::open(FolderOf(target_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        return;
    }
    // File systems without unnamed files: an exclusive name of our own.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        name_ = UniqueName(target_);
        fd_ = ::open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        const int error = errno;
        name_.clear();
        Fail("Cannot create file", target_, error);
    }
    Unpublished().Add(name_);
}

ReplacementFile::~ReplacementFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!name_.empty()) {
        ::unlink(name_.c_str());
        Unpublished().Remove(name_);
    }
}

void ReplacementFile::RemoveUnpublished() {
    NamedFiles& files = Unpublished();
    std::lock_guard lock(files.mutex);
    for (const std::string& name : files.names) {
        ::unlink(name.c_str());
    }
    files.names.clear();
}

std::string ReplacementFile::LinkUnnamed() {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = UniqueName(target_);
        // Linking the descriptor itself needs a privilege; its /proc entry works for anyone.
        if (::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
            (errno != EEXIST && ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(),
                                         AT_SYMLINK_FOLLOW) == 0)) {
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    Fail("Cannot create file", target_, errno);
}

void ReplacementFile::Publish(bool sync) {
    if (sync && ::fsync(fd_) != 0) {
        Fail("Cannot write to file", target_, errno);
    }
    if (name_.empty()) {
        name_ = LinkUnnamed();
        Unpublished().Add(name_);
    }
    if (::rename(name_.c_str(), target_.c_str()) != 0) {
        Fail("Cannot create file", target_, errno);
    }
    Unpublished().Remove(name_);
    name_.clear();
    if (!sync) {
        return;
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace quillon
