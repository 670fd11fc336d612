#pragma once

#include "clipboard/clipboard_payload.h"

#include <QString>
#include <QStringList>

#include <string>

// Keeping the crop on the clipboard after the program ends. On X11 the
// clipboard lives in its owner: when the owner ends, the contents go with
// it unless a clipboard manager takes them over. Where none runs, a small
// helper process (zentrim-screen-clipboard, installed beside the program)
// takes the clipboard over and serves the picture until another program
// takes the clipboard or the display goes away.
namespace zs::keeper {

inline constexpr char kHelperName[] = "zentrim-screen-clipboard";

enum class Outcome {
    NotOwner,    // the clipboard is no longer ours: nothing to keep
    Manager,     // a clipboard manager runs and takes it over through Qt
    Kept,        // the helper owns the clipboard now
    Gone,        // it changed hands while the helper was starting
    Failed,      // the helper could not be started or gave up
    Unsupported, // no way to keep it on this window system
};

// Called once the event loop has ended and while the clipboard still holds
// `payload` as far as Qt knows. Waits a bounded time (a few seconds at
// most, usually milliseconds) for the helper's answer.
Outcome keepAfterExit(ClipboardPayload& payload);

// The helper's answer and what it means; for the two ends and their tests.
struct HelperRun {
    Outcome outcome = Outcome::Failed;
    std::string message; // the helper's status line, or why it failed
};

// Starts `program` with `arguments` in a session of its own, sends it the
// payload's formats on its standard input and reads its status line, within
// `timeoutMs` in all.
HelperRun runHelper(const QString& program, const QStringList& arguments, ClipboardPayload& payload,
                    int timeoutMs);

} // namespace zs::keeper
