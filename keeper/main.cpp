// zentrim-screen-clipboard: keeps a picture on the clipboard after Zentrim
// Screen has ended.
//
//   zentrim-screen-clipboard --x11 [--from WINDOW]
//   zentrim-screen-clipboard --wayland [--from TYPE]
//   zentrim-screen-clipboard --wayland --check
//
// Reads the picture's formats from standard input (handoff.h), answers
// "received", and once standard input ends takes the X11 clipboard (only
// while WINDOW, given in hexadecimal, still owns it, or nobody does) or the
// Wayland clipboard of the first seat through the data-control protocol
// (only while the selection offers the MIME type TYPE, which the program
// offers beside its formats). Then it writes one last line to standard
// output:
//   "owner"       it owns the clipboard and serves it from now on;
//   "gone"        the clipboard had changed hands: nothing to keep;
//   "error TEXT"  it could not.
// and lets go of its standard streams: it keeps nothing of the program's but
// the picture (its working folder is the root, it has no terminal). It
// serves the clipboard until another program takes it or the display goes
// away, and ends. Zentrim Screen starts it; it is not meant to be started by
// hand. With --check it only tells, by its exit status (0 or 1, with the
// reason on standard output), whether the compositor lets it keep a
// clipboard.

#include "keeper/shared/handoff.h"
#include "keeper/wayland_clipboard_owner.h"
#include "keeper/x11_clipboard_owner.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Writes one status line to the program.
void say(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
}

// Writes the last status line and points all three standard streams at
// /dev/null: nothing (a pipe, a terminal, a log the program's output goes
// to) waits on the helper once it has said what it will do. Errors before
// this point still reach the program's standard error.
void report(const std::string& line) {
    say(line);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
}

int usage() {
    std::fputs("usage: zentrim-screen-clipboard --x11 [--from WINDOW] | --wayland [--from TYPE | "
               "--check]\n"
               "Started by Zentrim Screen to keep its picture on the clipboard.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // A display or a reader that goes away mid-write is an error to handle,
    // not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    // The helper may outlive the program by days: it must not keep the
    // folder it was started in busy (an unmountable USB stick).
    if (::chdir("/") != 0) {
        std::perror("zentrim-screen-clipboard: chdir /");
    }

    bool x11 = false;
    bool wayland = false;
    bool check = false;
    const char* from = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--x11") {
            x11 = true;
        } else if (arg == "--wayland") {
            wayland = true;
        } else if (arg == "--check") {
            check = true;
        } else if (arg == "--from" && i + 1 < argc) {
            from = argv[++i];
        } else {
            return usage();
        }
    }
    if (x11 == wayland || (check && (x11 || from != nullptr))) {
        return usage();
    }
    if (check) {
        // Whether the compositor lets the helper keep a clipboard at all.
        std::string error;
        zs::keeper::WaylandClipboardOwner owner({});
        if (!owner.connect(error)) {
            std::puts(error.c_str());
            return 1;
        }
        return 0;
    }
    xcb_window_t fromWindow = XCB_NONE;
    if (from != nullptr && x11) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(from, &end, 16);
        if (end == from || *end != '\0' || value == 0 || value > 0xFFFFFFFFul) {
            return usage();
        }
        fromWindow = static_cast<xcb_window_t>(value);
    }
    const std::string fromType = from != nullptr && wayland ? from : "";
    if (from != nullptr && wayland && !zs::handoff::validName(fromType)) {
        return usage();
    }

    std::vector<zs::handoff::Target> targets;
    std::string error;
    if (!zs::handoff::readTargets(STDIN_FILENO, targets, error)) {
        report("error " + error);
        return 1;
    }
    // The program closes its end once it has read this: the go-ahead.
    say(zs::handoff::kReceived);
    if (!zs::handoff::readEnd(STDIN_FILENO, error)) {
        report("error " + error);
        return 1;
    }

    if (wayland) {
        zs::keeper::WaylandClipboardOwner owner(std::move(targets));
        if (!owner.connect(error)) {
            report("error " + error);
            return 1;
        }
        switch (owner.take(fromType, error)) {
        case zs::keeper::WaylandClipboardOwner::Take::Changed:
            report("gone");
            return 0;
        case zs::keeper::WaylandClipboardOwner::Take::Failed:
            report("error " + error);
            return 1;
        case zs::keeper::WaylandClipboardOwner::Take::Taken:
            break;
        }
        report("owner");
        owner.serve();
        return 0;
    }

    zs::keeper::X11ClipboardOwner owner(std::move(targets));
    if (!owner.connect({}, error)) {
        report("error " + error);
        return 1;
    }
    switch (owner.take(fromWindow)) {
    case zs::keeper::X11ClipboardOwner::Take::Changed:
        report("gone");
        return 0;
    case zs::keeper::X11ClipboardOwner::Take::Failed:
        report("error the X server refused the clipboard");
        return 1;
    case zs::keeper::X11ClipboardOwner::Take::Taken:
        break;
    }
    report("owner");
    owner.serve();
    return 0;
}
