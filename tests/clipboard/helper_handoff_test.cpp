#include "clipboard/helper_handoff.h"
#include "keeper/shared/handoff.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <optional>

#include <fcntl.h>
#include <unistd.h>

// Starting the clipboard helper and talking to it, with shell scripts
// standing in for it.
namespace zs::keeper {
namespace {

using namespace std::chrono_literals;

// The helper's side of the exchange up to the go-ahead: the message (whose
// size is $1) into "$0/in", "received", then the end of standard input.
const QString kReceive =
    QStringLiteral("head -c \"$1\" > \"$0/in\"; echo received; cat > /dev/null; ");

class HelperStart : public ::testing::Test {
protected:
    // Runs `script` as the helper (with the work folder as $0 and the
    // message's size as $1).
    HelperRun run(const QString& script, const HandoffBudget& budget = {}) {
        return runHelper(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), script, dir.path(), QString::number(messageSize())},
                         *payload, budget);
    }
    qint64 messageSize() {
        qint64 size = static_cast<qint64>(handoff::header(2).size());
        for (const QString& format : ClipboardPayload::formats()) {
            const QByteArray bytes = payload->data(format);
            size += static_cast<qint64>(
                handoff::targetHeader(format.toStdString(), bytes.size()).size() + bytes.size());
        }
        return size;
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray contents(const char* name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Waits up to `ms` for the file `name` to appear.
    bool appears(const char* name, int ms) const {
        QElapsedTimer timer;
        timer.start();
        while (!QFileInfo::exists(file(name))) {
            if (timer.elapsed() > ms) {
                return false;
            }
            QThread::msleep(20);
        }
        return true;
    }

    QTemporaryDir dir;
    std::optional<ClipboardPayload> payload{std::in_place, fakes::patternImage(QSize(64, 48))};
};

// The helper receives every format on its standard input, whole, in the
// hand-off format.
TEST_F(HelperStart, SendsEveryFormatOnStandardInput) {
    const HelperRun r = run(kReceive + QStringLiteral("echo owner"));
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
        const QByteArray want = payload->data(format);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(targets[i].bytes.data()),
                             static_cast<qsizetype>(targets[i].bytes.size())),
                  want)
            << targets[i].name;
    }
}

// Its last status line decides the outcome; silence or nonsense is a
// failure, and so is an answer before it has received the picture.
TEST_F(HelperStart, ReadsTheOutcomeFromTheStatusLines) {
    struct Case {
        QString script;
        Outcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {kReceive + "echo owner; exec sleep 0.2", Outcome::Kept, "owner"},
        {kReceive + "echo gone", Outcome::Gone, "gone"},
        {kReceive + "echo 'error no display'", Outcome::Failed, "error no display"},
        {kReceive, Outcome::Failed, "the helper ended without answering"},
        {kReceive + "echo maybe", Outcome::Failed, "maybe"},
        {"head -c \"$1\" >/dev/null; echo 'error bad message'", Outcome::Failed,
         "error bad message"},
        {"head -c \"$1\" >/dev/null; echo owner", Outcome::Failed, "owner"},
        {"head -c \"$1\" >/dev/null; exit 3", Outcome::Failed,
         "the helper ended without answering"},
    };
    for (const auto& c : cases) {
        const HelperRun r = run(c.script);
        EXPECT_EQ(r.outcome, c.outcome) << c.script.toStdString();
        EXPECT_EQ(r.message, c.message) << c.script.toStdString();
    }
}

TEST_F(HelperStart, AMissingHelperFails) {
    const HelperRun r = runHelper(dir.filePath(QStringLiteral("no-such-helper")), {}, *payload);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("cannot start"), std::string::npos) << r.message;
}

// Before the go-ahead the helper has taken nothing: one that does not take
// the picture in time is ended. After it, the helper may own the clipboard
// already, so one that is slow to answer is left to finish, never ended
// into an empty clipboard. The time allowed grows with the picture: a large
// one read slowly (about 13 MiB at 10 MiB/s) is handed over although the
// base time alone would not do.
TEST_F(HelperStart, EndsTheHelperOnlyBeforeTheGoAhead) {
    const HandoffBudget tight{300ms, 150ms, 300ms};
    struct Case {
        const char* what;
        QSize picture;
        QString script;
        Outcome outcome;
        bool ends; // the helper is ended before it writes "$0/took"
    };
    const QString readSlowly =
        QStringLiteral("n=$1; while [ \"$n\" -gt 0 ]; do c=$((n < 1048576 ? n : 1048576)); "
                       "head -c $c >> \"$0/in\"; n=$((n - c)); sleep 0.1; done; "
                       "echo received; cat > /dev/null; ");
    const Case cases[] = {
        {"never reads the picture", QSize(64, 48), "sleep 1; touch \"$0/took\"", Outcome::Failed,
         true},
        {"slow to take the clipboard", QSize(64, 48),
         kReceive + "sleep 1; touch \"$0/took\"; echo owner", Outcome::Unanswered, false},
        {"a large picture read slowly", QSize(2000, 1700),
         readSlowly + "touch \"$0/took\"; echo owner", Outcome::Kept, false},
        {"a large picture read slowly, slow to take", QSize(2000, 1700),
         readSlowly + "sleep 1; touch \"$0/took\"; echo owner", Outcome::Unanswered, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(file("took"));
        QFile::remove(file("in"));
        payload.emplace(fakes::patternImage(c.picture));
        const HelperRun r = run(c.script, tight);
        EXPECT_EQ(r.outcome, c.outcome) << r.message;
        EXPECT_EQ(appears("took", 3000), !c.ends);
    }
}

// The helper leads a session of its own (no terminal's hangup is meant for
// it), starts in the root folder (it keeps no folder of ours busy), reads
// and answers on its own socket rather than our standard input and output,
// and holds none of our files but standard error, which it needs until it
// has answered.
TEST_F(HelperStart, HoldsNothingOfOursButStandardError) {
    int stray[2];
    ASSERT_EQ(::pipe(stray), 0); // inheritable, as a careless library's might be
    const HelperRun r =
        run(kReceive + QStringLiteral("echo $$ > \"$0/pid\"; "
                                      "cut -d' ' -f6 /proc/$$/stat > \"$0/sid\"; "
                                      "pwd > \"$0/cwd\"; "
                                      "ls /proc/$$/fd | tr '\\n' ' ' > \"$0/fds\"; "
                                      "l0=$(readlink /proc/$$/fd/0); l1=$(readlink /proc/$$/fd/1); "
                                      "l2=$(readlink /proc/$$/fd/2); "
                                      "printf '%s\\n' \"$l0\" \"$l1\" \"$l2\" "
                                      "> \"$0/links\"; echo owner"));
    ::close(stray[0]);
    ::close(stray[1]);
    EXPECT_EQ(r.outcome, Outcome::Kept) << r.message;
    EXPECT_EQ(contents("sid").trimmed(), contents("pid").trimmed());
    EXPECT_EQ(contents("cwd"), QByteArray("/\n"));
    EXPECT_EQ(contents("fds"), QByteArray("0 1 2 "));
    const QList<QByteArray> links = contents("links").split('\n');
    ASSERT_GE(links.size(), 3);
    EXPECT_TRUE(links[0].startsWith("socket:")) << links[0].constData();
    EXPECT_EQ(links[1], links[0]);
    char ours[256] = {};
    ASSERT_GT(::readlink("/proc/self/fd/2", ours, sizeof ours - 1), 0);
    EXPECT_EQ(links[2], QByteArray(ours));
}

// How the crop outlives the program: the helper where it can take the
// clipboard over, the program itself on Wayland without data-control (the
// helper's check ends with 1), and otherwise lost, which the title says.
TEST(ExitKeeping, FollowsTheSessionAndWhatTheHelperCanDo) {
    const auto exe = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    struct Case {
        const char* what;
        SessionKind kind;
        QFileDevice::Permissions permissions; // none: no helper at all
        const char* checkExit;                // the helper's answer to --check
        AtExit way;
    };
    const Case cases[] = {
        {"X11, missing", SessionKind::X11, {}, "0", AtExit::Lost},
        {"X11, not executable", SessionKind::X11, QFileDevice::ReadOwner, "0", AtExit::Lost},
        {"X11, executable", SessionKind::X11, exe, "1", AtExit::Helper},
        {"XWayland, executable", SessionKind::XWayland, exe, "1", AtExit::Helper},
        {"Wayland, data-control", SessionKind::Wayland, exe, "0", AtExit::Helper},
        {"Wayland, no data-control", SessionKind::Wayland, exe, "1", AtExit::Stay},
        {"Wayland, missing", SessionKind::Wayland, {}, "0", AtExit::Stay},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        if (c.permissions != QFileDevice::Permissions()) {
            QFile helper(folder.filePath(QString::fromLatin1(kHelperName)));
            ASSERT_TRUE(helper.open(QIODevice::WriteOnly));
            helper.write(QByteArray("#!/bin/sh\nexit ") + c.checkExit + "\n");
            helper.close();
            ASSERT_TRUE(helper.setPermissions(c.permissions));
        }
        const ExitKeeping keeping = exitKeeping(folder.path(), c.kind);
        EXPECT_EQ(keeping.way, c.way) << c.what;
        EXPECT_EQ(keeping.loss.isEmpty(), c.way != AtExit::Lost) << c.what;
    }
}

} // namespace
} // namespace zs::keeper
