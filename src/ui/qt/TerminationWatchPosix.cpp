#include "ui/qt/TerminationWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>

namespace stowaway {

namespace {

constexpr std::array<int, 3> Watched = {SIGTERM, SIGHUP, SIGINT};

std::atomic<int> writeEnd{-1};
int readEnd = -1;
std::array<struct sigaction, Watched.size()> previous{};

void OnSignal(int number) {
    const int savedErrno = errno;
    const int fd = writeEnd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        // A full pipe already holds a request: this one may go.
        (void)!::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

TerminationWatch::TerminationWatch(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {
    if (writeEnd.load() >= 0) return;  // another watch is on
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd = fds[0];
    writeEnd.store(fds[1]);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < Watched.size(); ++i) ::sigaction(Watched[i], &action, &previous[i]);
    notifier_ = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
}

TerminationWatch::~TerminationWatch() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < Watched.size(); ++i) ::sigaction(Watched[i], &previous[i], nullptr);
    delete notifier_;
    const int fd = writeEnd.exchange(-1);
    ::close(fd);
    ::close(readEnd);
    readEnd = -1;
}

void TerminationWatch::drain() {
    unsigned char numbers[16];
    ssize_t n;
    int last = 0;
    while ((n = ::read(readEnd, numbers, sizeof numbers)) > 0) last = numbers[n - 1];
    if (last != 0 && onSignal_) onSignal_(last);
}

}  // namespace stowaway
