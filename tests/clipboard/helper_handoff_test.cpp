#include "clipboard/helper_handoff.h"
#include "keeper/shared/handoff.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

// Starting the clipboard helper and talking to it, with shell scripts
// standing in for it.
namespace zs::keeper {
namespace {

class HelperStart : public ::testing::Test {
protected:
    // Runs `script` as the helper (with the work folder as $0).
    HelperRun run(const QString& script, int timeoutMs = 5000) {
        return runHelper(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, dir.path()},
                         payload, timeoutMs);
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray contents(const char* name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    ClipboardPayload payload{fakes::patternImage(QSize(64, 48))};
};

// The helper receives every format on its standard input, whole, in the
// hand-off format.
TEST_F(HelperStart, SendsEveryFormatOnStandardInput) {
    const HelperRun r = run(QStringLiteral("cat > \"$0/in\"; echo owner"));
    EXPECT_EQ(r.outcome, Outcome::Kept) << r.message;
    const int fd = ::open(file("in").toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::vector<handoff::Target> targets;
    std::string error;
    EXPECT_TRUE(handoff::read(fd, targets, error)) << error;
    ::close(fd);
    ASSERT_EQ(targets.size(), 2u);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const QString format = ClipboardPayload::formats()[static_cast<int>(i)];
        EXPECT_EQ(targets[i].name, format.toStdString());
        const QByteArray want = payload.data(format);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(targets[i].bytes.data()),
                             static_cast<qsizetype>(targets[i].bytes.size())),
                  want)
            << targets[i].name;
    }
}

// Its status line decides the outcome; silence or nonsense is a failure.
TEST_F(HelperStart, ReadsTheOutcomeFromTheStatusLine) {
    struct Case {
        const char* script;
        Outcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {"cat >/dev/null; echo owner; exec sleep 0.2", Outcome::Kept, "owner"},
        {"cat >/dev/null; echo gone", Outcome::Gone, "gone"},
        {"cat >/dev/null; echo 'error no display'", Outcome::Failed, "error no display"},
        {"cat >/dev/null", Outcome::Failed, "no answer from the helper"},
        {"cat >/dev/null; echo maybe", Outcome::Failed, "maybe"},
    };
    for (const auto& c : cases) {
        const HelperRun r = run(QString::fromLatin1(c.script));
        EXPECT_EQ(r.outcome, c.outcome) << c.script;
        EXPECT_EQ(r.message, c.message) << c.script;
    }
}

TEST_F(HelperStart, AMissingHelperFails) {
    const HelperRun r =
        runHelper(dir.filePath(QStringLiteral("no-such-helper")), {}, payload, 2000);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("cannot start"), std::string::npos) << r.message;
}

// A helper that takes the picture but never answers is ended, not left
// running beside a clipboard it does not own.
TEST_F(HelperStart, AHelperThatNeverAnswersIsEnded) {
    const HelperRun r =
        run(QStringLiteral("echo $$ > \"$0/pid\"; cat >/dev/null; exec sleep 60"), 800);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    const pid_t pid = contents("pid").trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), -1) << "the helper still runs";
    EXPECT_EQ(errno, ESRCH);
}

// The helper leads a session of its own (a terminal's hangup is not meant
// for it) and holds none of our files besides its three standard streams.
TEST_F(HelperStart, RunsInItsOwnSessionWithOnlyItsStandardStreams) {
    int stray[2];
    ASSERT_EQ(::pipe(stray), 0); // inheritable, as a careless library's might be
    const HelperRun r = run(QStringLiteral(
        "cat >/dev/null; echo $$ > \"$0/pid\"; cut -d' ' -f6 /proc/$$/stat > \"$0/sid\"; "
        "ls /proc/$$/fd | tr '\\n' ' ' > \"$0/fds\"; echo owner"));
    ::close(stray[0]);
    ::close(stray[1]);
    EXPECT_EQ(r.outcome, Outcome::Kept) << r.message;
    EXPECT_EQ(contents("sid").trimmed(), contents("pid").trimmed());
    EXPECT_EQ(contents("fds"), QByteArray("0 1 2 "));
}

} // namespace
} // namespace zs::keeper
