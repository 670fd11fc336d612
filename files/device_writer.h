#pragma once

#include <QIODevice>

#include <chrono>

namespace zs::files {

// A write-only, unbuffered QIODevice over an open descriptor that does not
// block (O_NONBLOCK): a printer port, a terminal. Such a device takes data
// at its own pace; a write waits with poll(2) until it takes more, and fails
// once it has taken nothing for `stallLimit`, its error string saying so.
// Writing stays non-blocking so that the wait is bounded: a blocking write
// into a printer out of paper could hold the program for good. The
// descriptor stays the caller's.
class DeviceWriter : public QIODevice {
public:
    DeviceWriter(int fd, std::chrono::milliseconds stallLimit);

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    int m_fd;
    std::chrono::milliseconds m_stallLimit;
};

} // namespace zs::files
