#pragma once

#include "services/screen_capture.h"

#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;

// Screen copies on X11 through the MIT shared-memory extension: the server
// writes the root window's pixels straight into memory shared with this
// process, which is kept between grabs and grown only when a larger area is
// asked for.
namespace zs {

// How the shared memory is handed to the server.
enum class ShmAttach {
    // A memfd passed over the connection's socket (MIT-SHM 1.2): works
    // whatever IPC namespace the server lives in.
    Fd,
    // A System V segment named by its id: only when the server is on this
    // machine and was seen to write into our very segment (a server in
    // another IPC namespace would attach a different segment of that id).
    Id,
};

// Whether the connection to the server allows each way, in order of choice.
struct ShmOffer {
    bool extension = false;   // the server has MIT-SHM
    int major = 0, minor = 0; // its version
    bool localSocket = false; // the connection is a Unix-domain socket
};

// The ways worth trying for `offer`, best first; `only` narrows them to one.
// Fd needs version 1.2 and a Unix socket to pass the descriptor over; Id
// needs the server on this machine, which a Unix socket implies.
std::vector<ShmAttach> shmAttachOrder(const ShmOffer& offer,
                                      std::optional<ShmAttach> only = std::nullopt);

class X11ShmCapture final : public IScreenCapture {
public:
    // The shared-memory grab on Qt's X connection, attached the first way of
    // shmAttachOrder() that works; null when not on X11, when no way works,
    // or when the root window's pixels are in a layout this program does not
    // read.
    static std::unique_ptr<X11ShmCapture> open(std::optional<ShmAttach> only = std::nullopt);
    // The same on another connection, which must outlive the result.
    static std::unique_ptr<X11ShmCapture> openOn(xcb_connection_t* connection,
                                                 std::optional<ShmAttach> only = std::nullopt);
    ~X11ShmCapture() override;
    X11ShmCapture(const X11ShmCapture&) = delete;
    X11ShmCapture& operator=(const X11ShmCapture&) = delete;

    // "x11-shm-fd" or "x11-shm-id".
    QString name() const override;
    ShmAttach attach() const;
    CaptureResult grabPrimary(IEventPump& pump) override;
    // Copies `source`, a rectangle of the root window in device pixels
    // (clipped to the root window), as opaque Format_RGB32 pixels.
    CaptureResult grabRoot(const QRect& source);

private:
    static std::unique_ptr<X11ShmCapture> openScreen(xcb_connection_t* connection, int screenNumber,
                                                     std::optional<ShmAttach> only);
    struct State;
    explicit X11ShmCapture(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

} // namespace zs
