#include "clipboard/helper_handoff.h"

#include "keeper/shared/handoff.h"
#include "services/qt/x11_connection.h"
#include "services/session_kind.h"
#include "services/unique_fd.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QtDebug>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zs::keeper {

namespace {

Q_LOGGING_CATEGORY(lcClipboard, "zentrim.clipboard", QtInfoMsg)

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Sends all of `data`, waiting for the reader at most until `deadline`.
bool sendAll(int fd, const char* data, std::size_t size, Clock::time_point deadline,
             std::string& error) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            error = std::string("sending the picture failed: ") + std::strerror(errno);
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        if (msLeft(deadline) == 0 || ::poll(&p, 1, msLeft(deadline)) == 0) {
            error = "the helper did not take the picture in time";
            return false;
        }
    }
    return true;
}

// Reads up to the first newline, the end of the stream or `deadline`.
// `ended` tells whether the stream ended (the helper closed it or died).
std::string readLine(int fd, Clock::time_point deadline, bool& ended) {
    std::string line;
    ended = false;
    while (line.size() < 4096) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ended = true;
            break;
        }
        if (c == '\n') {
            break;
        }
        line += c;
    }
    return line;
}

// posix_spawn's attributes and file actions, destroyed on every path.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

xcb_window_t selectionOwner(xcb_connection_t* c, xcb_atom_t selection) {
    auto* reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const xcb_window_t owner = reply != nullptr ? reply->owner : XCB_NONE;
    std::free(reply);
    return owner;
}

} // namespace

HelperRun runHelper(const QString& program, const QStringList& arguments, ClipboardPayload& payload,
                    const HandoffBudget& budget) {
    // The files first: the helper should not sit waiting for an encoding,
    // and the clock should not run while they are made.
    std::vector<std::pair<std::string, QByteArray>> files;
    std::uint64_t total = 0;
    for (const QString& format : ClipboardPayload::formats()) {
        QByteArray bytes = payload.data(format);
        if (!bytes.isEmpty()) {
            total += static_cast<std::uint64_t>(bytes.size());
            files.emplace_back(format.toStdString(), std::move(bytes));
        }
    }
    if (files.empty()) {
        return {Outcome::Failed, "nothing to keep"};
    }
    const auto mebibytes =
        static_cast<std::chrono::milliseconds::rep>((total + (1 << 20) - 1) >> 20);
    const auto deadline = Clock::now() + budget.base + budget.perMiB * mebibytes;

    // One socket pair is both ends' pipe: the picture goes in on the
    // helper's standard input, its answers come back on its standard output.
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        return {Outcome::Failed, std::string("socketpair: ") + std::strerror(errno)};
    }
    UniqueFd ours(pair[0]);
    UniqueFd theirs(pair[1]);

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, theirs.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, theirs.get(), STDOUT_FILENO);
    // Standard error stays ours until the helper has answered (its errors
    // before that are worth seeing); it lets go of it then. Nothing else of
    // ours (the X connection, Qt's pipes) goes along.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    // Nor our working folder, which it would keep busy for as long as it runs.
    posix_spawn_file_actions_addchdir_np(&setup.actions, "/");
    // A session of its own, without a controlling terminal: the helper
    // outlives us, and a terminal's hangup or a signal to our process group
    // is not meant for it.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setflags(&setup.attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // Absolute: the path is looked up after the change of folder.
    const std::string path = QFile::encodeName(QFileInfo(program).absoluteFilePath()).toStdString();
    std::vector<std::string> args{path};
    for (const QString& a : arguments) {
        args.push_back(a.toStdString());
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
    theirs.reset();
    if (spawned != 0) {
        return {Outcome::Failed, "cannot start " + path + ": " + std::strerror(spawned)};
    }

    std::string error;
    const std::string header = handoff::header(static_cast<std::uint32_t>(files.size()));
    bool sent = sendAll(ours.get(), header.data(), header.size(), deadline, error);
    for (const auto& [name, bytes] : files) {
        if (!sent) {
            break;
        }
        const std::string head =
            handoff::targetHeader(name, static_cast<std::uint64_t>(bytes.size()));
        sent = sendAll(ours.get(), head.data(), head.size(), deadline, error) &&
               sendAll(ours.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()),
                       deadline, error);
    }
    bool ended = false;
    std::string line = sent ? readLine(ours.get(), deadline, ended) : std::string();
    if (line != handoff::kReceived) {
        // No go-ahead was given, so the helper has taken nothing: ending it
        // leaves the clipboard as it is. One that refused the message is
        // ending by itself.
        if (line.rfind("error", 0) != 0) {
            ::kill(pid, SIGTERM);
        }
        ::waitpid(pid, nullptr, 0);
        return {Outcome::Failed, !line.empty()    ? line
                                 : !error.empty() ? error
                                 : ended          ? "the helper ended without answering"
                                                  : "the helper did not take the picture in time"};
    }

    // The go-ahead. From here on only the helper knows whether it holds the
    // clipboard, so it is never ended: ended after taking it, it would leave
    // the clipboard with no owner at all.
    ::shutdown(ours.get(), SHUT_WR);
    line = readLine(ours.get(), Clock::now() + budget.answer, ended);
    ours.reset();
    if (line == "owner") {
        return {Outcome::Kept, line};
    }
    if (!line.empty() || ended) {
        ::waitpid(pid, nullptr, 0); // it has answered or died, and is ending
        if (line == "gone") {
            return {Outcome::Gone, line};
        }
        return {Outcome::Failed, !line.empty() ? line : "the helper ended without answering"};
    }
    // Its own session holds it; nothing waits for it once we have ended.
    return {Outcome::Unanswered, "the helper has not answered in time; it is left to finish"};
}

namespace {

QString helperPath(const QString& folder) {
    return QDir(folder).filePath(QString::fromLatin1(kHelperName));
}

QString helperPath() {
    return helperPath(QCoreApplication::applicationDirPath());
}

Outcome reported(const HelperRun& run) {
    if (run.outcome == Outcome::Failed || run.outcome == Outcome::Unanswered) {
        qWarning("The picture could not be kept on the clipboard: %s", run.message.c_str());
    }
    return run.outcome;
}

} // namespace

QString waylandMarkerType() {
    static const QString type =
        QStringLiteral("application/x-zentrim-screen-") +
        QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0');
    return type;
}

ExitKeeping exitKeeping(const QString& folder, SessionKind kind) {
    const QString helper = helperPath(folder);
    const QFileInfo info(helper);
    const bool runnable = info.isFile() && info.isExecutable();
    if (kind != SessionKind::Wayland) {
        if (runnable) {
            return {}; // X11 keeps it through the helper or a clipboard manager
        }
        qWarning("%s is missing or not executable: crops leave the clipboard at Exit",
                 qPrintable(helper));
        return {AtExit::Lost, QStringLiteral("crops leave the clipboard at Exit")};
    }
    if (!runnable) {
        qWarning("%s is missing or not executable: the program stays after Exit while its crop "
                 "is on the clipboard",
                 qPrintable(helper));
        return {AtExit::Stay, {}};
    }
    // Only the compositor knows whether it offers data-control; the helper
    // asks it (milliseconds) rather than the program binding a protocol of
    // its own beside Qt's.
    QProcess check;
    check.setProgram(helper);
    check.setArguments({QStringLiteral("--wayland"), QStringLiteral("--check")});
    check.setWorkingDirectory(QDir::rootPath());
    check.setStandardInputFile(QProcess::nullDevice());
    check.start();
    if (!check.waitForFinished(3000)) {
        check.kill();
        check.waitForFinished(1000);
        qWarning("%s --check did not answer", qPrintable(helper));
        return {}; // not known to be missing: the helper tries at Exit
    }
    if (check.exitStatus() == QProcess::NormalExit && check.exitCode() == 1) {
        qCInfo(lcClipboard, "%s: the program stays after Exit while its crop is on the clipboard",
               check.readAllStandardOutput().trimmed().constData());
        return {AtExit::Stay, {}};
    }
    return {};
}

Outcome keepAfterExit(ClipboardPayload& payload) {
    // Wayland: Qt has seen no other client take the clipboard (the caller
    // asked), and the helper sets it through data-control where the
    // compositor offers that, while the selection still carries our marker.
    if (currentSessionKind() == SessionKind::Wayland) {
        return reported(runHelper(
            helperPath(),
            {QStringLiteral("--wayland"), QStringLiteral("--from"), waylandMarkerType()}, payload));
    }
    xcb_connection_t* c = x11::connection();
    if (c == nullptr) {
        return Outcome::Unsupported;
    }
    // Qt's view of the ownership lags: another program may have taken the
    // clipboard a moment ago. Ask the server, and count as ours any window of
    // this connection (their ids share the connection's resource base).
    const xcb_window_t owner = selectionOwner(c, internAtom(c, "CLIPBOARD"));
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (owner == XCB_NONE || (owner & ~setup->resource_id_mask) != setup->resource_id_base) {
        return Outcome::NotOwner;
    }
    if (selectionOwner(c, internAtom(c, "CLIPBOARD_MANAGER")) != XCB_NONE) {
        return Outcome::Manager; // Qt asks it to save the formats when it closes
    }
    return reported(runHelper(
        helperPath(),
        {QStringLiteral("--x11"), QStringLiteral("--from"), QString::number(owner, 16)}, payload));
}

} // namespace zs::keeper
