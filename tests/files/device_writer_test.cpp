#include "files/device_writer.h"
#include "files/save_file.h"

#include "formats/bmp.h"

#include "services/errors.h"
#include "services/fakes/fakes.h"
#include "services/unique_fd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zs::files {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal in raw mode: its slave end is a character device that,
// like a printer port, takes data only as fast as the master end is read.
class RawPty {
public:
    RawPty() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        EXPECT_GE(m_master.get(), 0);
        EXPECT_EQ(::grantpt(m_master.get()), 0);
        EXPECT_EQ(::unlockpt(m_master.get()), 0);
        m_slavePath = QString::fromLocal8Bit(::ptsname(m_master.get()));
        // Held open so that the terminal stays raw between the saver's
        // open and close.
        m_slave.reset(::open(::ptsname(m_master.get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
        termios mode{};
        EXPECT_EQ(::tcgetattr(m_slave.get(), &mode), 0);
        ::cfmakeraw(&mode);
        EXPECT_EQ(::tcsetattr(m_slave.get(), TCSANOW, &mode), 0);
    }
    const QString& slavePath() const { return m_slavePath; }

    // Reads from the master end, starting only after `delay` and pausing
    // between pieces, as a slow device takes data, until `done` is set and
    // nothing more comes.
    QByteArray readSlowly(std::chrono::milliseconds delay, const std::atomic<bool>& done) const {
        std::this_thread::sleep_for(delay);
        QByteArray got;
        char piece[4096];
        while (true) {
            pollfd pfd{m_master.get(), POLLIN, 0};
            if (::poll(&pfd, 1, 100) == 0) {
                if (done) {
                    return got;
                }
                continue;
            }
            const ssize_t n = ::read(m_master.get(), piece, sizeof piece);
            if (n <= 0) {
                return got;
            }
            got.append(piece, n);
            std::this_thread::sleep_for(1ms);
        }
    }

private:
    UniqueFd m_master;
    UniqueFd m_slave;
    QString m_slavePath;
};

// The device takes far less than the picture at once; the save waits for
// it and writes every byte.
TEST(DeviceSave, ADeviceThatTakesDataSlowlyGetsTheWholePicture) {
    const RawPty pty;
    const QImage image = fakes::patternImage(QSize(300, 200)); // 180 KB, past the pty's buffer
    formats::BmpOptions options;
    options.dotsPerMeter = 3780;
    const QByteArray expected = formats::bmp(image, options);

    QByteArray got;
    std::atomic<bool> saved = false;
    std::thread reader([&] { got = pty.readSlowly(200ms, saved); });
    std::string error;
    try {
        saveBmpFile(image, pty.slavePath(), 3780);
    } catch (const Error& e) {
        error = e.what();
    }
    saved = true;
    reader.join();
    EXPECT_EQ(error, "");
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

// A device that stops taking data fails the write with a message once the
// limit has passed without progress, also after part was written.
TEST(DeviceWriter, AStalledDeviceFailsTheWriteWithAReason) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    const UniqueFd readEnd(ends[0]);
    const UniqueFd writeEnd(ends[1]);
    const int capacity = ::fcntl(writeEnd.get(), F_GETPIPE_SZ);
    ASSERT_GT(capacity, 0);

    DeviceWriter device(writeEnd.get(), 150ms);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray data(capacity + 1000, 'x'); // fills the pipe, then stalls
    EXPECT_EQ(device.write(data), -1);
    EXPECT_EQ(device.errorString().toStdString(), "the device took no data for 0.15 s");
}

} // namespace
} // namespace zs::files
