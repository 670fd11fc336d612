#pragma once

#include "clipboard/clipboard_payload.h"
#include "services/session_kind.h"

#include <QString>
#include <QStringList>

#include <chrono>
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
    Unanswered,  // the helper has the picture but had not answered in time;
                 // it was left to take the clipboard or end by itself
    Unsupported, // no way to keep it on this window system
};

// The MIME type the program's clipboard offers beside its formats on
// Wayland, unique to this run of the program: the helper takes the
// clipboard only while the selection still offers it.
QString waylandMarkerType();

// Called once the event loop has ended and while the clipboard still holds
// `payload` as far as Qt knows. Waits a bounded time for the helper's
// answer (milliseconds in practice; the bound grows with the picture).
Outcome keepAfterExit(ClipboardPayload& payload);

// How the crop on the clipboard outlives the program.
enum class AtExit {
    Helper, // the helper takes it over (X11, or Wayland with data-control)
    Stay,   // Wayland without data-control: no other client can take it over,
            // so the program stays, windowless, while the clipboard is its own
    Lost,   // it cannot: the helper is missing or cannot run on X11
};

struct ExitKeeping {
    AtExit way = AtExit::Helper;
    QString loss; // for Lost: why, as one sentence for the user
};

// Decided once at start, in a session of `kind`; `folder` holds the program
// (and so the helper). On Wayland, asks the helper whether the compositor
// offers data-control.
ExitKeeping exitKeeping(const QString& folder, SessionKind kind);

// The helper's answer and what it means; for the two ends and their tests.
struct HelperRun {
    Outcome outcome = Outcome::Failed;
    std::string message; // the helper's status line, or why it failed
};

// How long the hand-off may take. The clock starts once the formats are
// encoded: `base` plus `perMiB` for every MiB of them to hand over, then
// `answer` for the helper to take the clipboard after the go-ahead.
struct HandoffBudget {
    std::chrono::milliseconds base{5000};
    // 20 MiB/s: a 128-megapixel crop (about 700 MiB in both formats) gets
    // about 40 s on a machine that slow.
    std::chrono::milliseconds perMiB{50};
    std::chrono::milliseconds answer{5000};
};

// Starts `program` with `arguments` in a session of its own, sends it the
// payload's formats on its standard input and reads its answers, following
// the exchange of keeper/shared/handoff.h: before the go-ahead a helper out
// of time is ended; after it, never.
HelperRun runHelper(const QString& program, const QStringList& arguments, ClipboardPayload& payload,
                    const HandoffBudget& budget = {});

} // namespace zs::keeper
