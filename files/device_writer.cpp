#include "files/device_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace zs::files {

namespace {

using Clock = std::chrono::steady_clock;

// A device whose driver cannot be polled reports itself ready at once; when
// it then still refuses the write, this pause keeps the wait from spinning.
constexpr std::chrono::milliseconds kRetryPause{10};

} // namespace

DeviceWriter::DeviceWriter(int fd, std::chrono::milliseconds stallLimit)
    : m_fd(fd), m_stallLimit(stallLimit) {}

qint64 DeviceWriter::readData(char* /*data*/, qint64 /*maxSize*/) {
    return -1;
}

// Writes all of `size` bytes, waiting for the device between the pieces it
// takes. The time limit starts again with every piece taken, so a slow
// device that keeps taking data is waited for as long as it needs.
qint64 DeviceWriter::writeData(const char* data, qint64 size) {
    qint64 written = 0;
    Clock::time_point deadline = Clock::now() + m_stallLimit;
    bool saidReady = false;
    while (written < size) {
        const ssize_t n = ::write(m_fd, data + written, static_cast<size_t>(size - written));
        if (n > 0) {
            written += n;
            deadline = Clock::now() + m_stallLimit;
            saidReady = false;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            setErrorString(n == 0 ? QStringLiteral("the device took no data")
                                  : QString::fromLocal8Bit(std::strerror(errno)));
            return -1;
        }
        if (saidReady) {
            std::this_thread::sleep_for(kRetryPause);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            setErrorString(QStringLiteral("the device took no data for %1 s")
                               .arg(static_cast<double>(m_stallLimit.count()) / 1000.0));
            return -1;
        }
        pollfd pfd{m_fd, POLLOUT, 0};
        const int ready =
            ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready < 0 && errno != EINTR) {
            setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
            return -1;
        }
        // Ready, an error or a hang-up: the next write says which.
        saidReady = ready > 0;
    }
    return written;
}

} // namespace zs::files
