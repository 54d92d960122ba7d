#include "cli/StopSignals.h"

#include "platform/ReplacementFile.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace quillon::cli {

namespace {

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

StopSignals::StopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    signalFd_ = signalfd(-1, &set, SFD_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    if (signalFd_ < 0 || wakeFd_ < 0) {
        const int error = errno;
        for (int fd : {signalFd_, wakeFd_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        throw std::system_error(error, std::generic_category(), "cannot watch stop signals");
    }
    watcher_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
    const uint64_t one = 1;
    // An eventfd write of 8 bytes cannot come up short.
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
    watcher_.join();
    close(signalFd_);
    close(wakeFd_);
    // A signal that came after the watcher left is delivered now, with its usual effect.
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void StopSignals::Watch() {
    for (;;) {
        pollfd fds[2] = {{signalFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        signalfd_siginfo info{};
        if (read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            continue;
        }
        const int signal = static_cast<int>(info.ssi_signo);
        if (received_ == 0) {
            received_ = signal;
            onStop_();
            continue;
        }
        // Asked again while stopping: end now, but leave no partial output behind.
        ReplacementFile::RemoveUnpublished();
        static constexpr char kMessage[] = "quillon: stopped at once\n";
        [[maybe_unused]] const ssize_t shown = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        _exit(128 + signal);
    }
}

} // namespace quillon::cli
