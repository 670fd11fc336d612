#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace zs::test {

// A dbus-daemon of our own, without service activation, so that no real
// desktop service is started by a call. The test plays the service on
// server() and calls it on client(); skipped where dbus-daemon is missing.
class PrivateBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QString config = m_dir.filePath("bus.conf");
        QFile f(config);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
            "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:dir=" +
            QFile::encodeName(m_dir.path()) +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
            "<allow own=\"*\"/></policy></busconfig>\n");
        f.close();
        m_daemon.start("dbus-daemon",
                       {"--config-file=" + config, "--nofork", "--print-address=1", "--nopidfile"});
        if (!m_daemon.waitForStarted(5000)) {
            GTEST_SKIP() << "dbus-daemon is not installed";
        }
        ASSERT_TRUE(m_daemon.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        ASSERT_FALSE(m_address.isEmpty());
        static int n = 0;
        m_clientName = QString("private-bus-client-%1").arg(++n);
        m_serverName = QString("private-bus-server-%1").arg(n);
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(m_clientName);
        QDBusConnection::disconnectFromBus(m_serverName);
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }

    QDBusConnection client() { return QDBusConnection::connectToBus(m_address, m_clientName); }
    QDBusConnection server() { return QDBusConnection::connectToBus(m_address, m_serverName); }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address, m_clientName, m_serverName;
};

} // namespace zs::test
