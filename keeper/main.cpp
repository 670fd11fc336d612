// zentrim-screen-clipboard: keeps a picture on the clipboard after Zentrim
// Screen has ended.
//
//   zentrim-screen-clipboard --x11 [--from WINDOW]
//   zentrim-screen-clipboard --wayland
//
// Reads the picture's formats from standard input (handoff.h), takes the
// X11 clipboard (only while WINDOW, given in hexadecimal, still owns it) or
// the Wayland clipboard of the first seat (through the data-control
// protocol), writes one line to standard output and closes it:
//   "owner"       it owns the clipboard and serves it from now on;
//   "gone"        the clipboard had changed hands: nothing to keep;
//   "error TEXT"  it could not.
// It then serves the clipboard until another program takes it or the
// display goes away, and ends. Zentrim Screen starts it; it is not meant to
// be started by hand.

#include "keeper/shared/handoff.h"
#include "keeper/wayland_clipboard_owner.h"
#include "keeper/x11_clipboard_owner.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Writes the status line and points standard output at /dev/null, so that
// nothing waits on the pipe once the helper has said what it will do.
void report(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
}

int usage() {
    std::fputs("usage: zentrim-screen-clipboard --x11 [--from WINDOW] | --wayland\n"
               "Started by Zentrim Screen to keep its picture on the clipboard.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // A display or a reader that goes away mid-write is an error to handle,
    // not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);

    bool x11 = false;
    bool wayland = false;
    xcb_window_t from = XCB_NONE;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--x11") {
            x11 = true;
        } else if (arg == "--wayland") {
            wayland = true;
        } else if (arg == "--from" && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, 16);
            if (end == argv[i] || *end != '\0' || value == 0 || value > 0xFFFFFFFFul) {
                return usage();
            }
            from = static_cast<xcb_window_t>(value);
        } else {
            return usage();
        }
    }
    if (x11 == wayland || (wayland && from != XCB_NONE)) {
        return usage();
    }

    std::vector<zs::handoff::Target> targets;
    std::string error;
    if (!zs::handoff::read(STDIN_FILENO, targets, error)) {
        report("error " + error);
        return 1;
    }

    if (wayland) {
        zs::keeper::WaylandClipboardOwner owner(std::move(targets));
        if (!owner.connect(error) || !owner.take(error)) {
            report("error " + error);
            return 1;
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
    switch (owner.take(from)) {
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
