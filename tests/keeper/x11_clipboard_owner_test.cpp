#include "keeper/x11_clipboard_owner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// The clipboard helper's X11 side against a real X server (a private Xvfb)
// and a requestor written here with XCB, as a pasting program would ask.
namespace zs::keeper {
namespace {

using namespace std::chrono_literals;

template <typename T> struct Freed {
    T* p;
    explicit Freed(T* ptr) : p(ptr) {}
    ~Freed() { std::free(p); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// Xvfb on a free display, stopped when done.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd,  "-nolisten",
                                      "tcp",  "-screen",    "0", "320x240x24"};
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            m_pid = 0;
            ::close(fds[0]);
            return;
        }
        std::string number;
        char c = 0;
        pollfd p{fds[0], POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        if (!number.empty()) {
            m_display = ":" + number;
        }
    }
    ~Xvfb() { kill(); }
    void kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = 0;
    std::string m_display;
};

// A program that pastes: its own connection and window.
class Requestor {
public:
    explicit Requestor(const std::string& display) : m_conn(xcb_connect(display.c_str(), nullptr)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
        m_window = xcb_generate_id(m_conn);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_conn, 0, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_flush(m_conn);
    }
    ~Requestor() { xcb_disconnect(m_conn); }

    xcb_atom_t atom(const std::string& name) {
        Freed<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
            m_conn,
            xcb_intern_atom(m_conn, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
            nullptr));
        return r ? r->atom : XCB_NONE;
    }
    std::string name(xcb_atom_t a) {
        Freed<xcb_get_atom_name_reply_t> r(
            xcb_get_atom_name_reply(m_conn, xcb_get_atom_name(m_conn, a), nullptr));
        return r ? std::string(xcb_get_atom_name_name(r.p),
                               static_cast<std::size_t>(xcb_get_atom_name_name_length(r.p)))
                 : std::string();
    }

    struct Answer {
        xcb_atom_t type = XCB_NONE;
        int format = 0;
        std::vector<unsigned char> bytes;
        bool incremental = false;
    };

    // Asks for `target` into `property`; nothing when refused.
    std::optional<Answer> convert(const std::string& target,
                                  xcb_timestamp_t time = XCB_CURRENT_TIME,
                                  const std::string& property = "ZS_TEST_PROP") {
        const xcb_atom_t prop = atom(property);
        xcb_convert_selection(m_conn, m_window, atom("CLIPBOARD"), atom(target), prop, time);
        xcb_flush(m_conn);
        const auto* notify = waitFor(XCB_SELECTION_NOTIFY);
        if (notify == nullptr) {
            return std::nullopt;
        }
        const xcb_atom_t got =
            reinterpret_cast<const xcb_selection_notify_event_t*>(notify)->property;
        std::free(const_cast<xcb_generic_event_t*>(notify));
        if (got == XCB_NONE) {
            return std::nullopt;
        }
        Answer answer = readProperty(prop, true);
        if (answer.type != atom("INCR")) {
            return answer;
        }
        // INCR: each deletion asks for the next piece; an empty one ends.
        Answer whole;
        whole.incremental = true;
        while (true) {
            if (!waitForNewValue(prop)) {
                return std::nullopt;
            }
            Answer piece = readProperty(prop, true);
            whole.type = piece.type;
            whole.format = piece.format;
            if (piece.bytes.empty()) {
                return whole;
            }
            whole.bytes.insert(whole.bytes.end(), piece.bytes.begin(), piece.bytes.end());
        }
    }

    void setProperty(const std::string& property, xcb_atom_t type,
                     const std::vector<xcb_atom_t>& values) {
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_window, atom(property), type, 32,
                            static_cast<std::uint32_t>(values.size()), values.data());
        xcb_flush(m_conn);
    }
    Answer readProperty(xcb_atom_t prop, bool remove) {
        Freed<xcb_get_property_reply_t> r(
            xcb_get_property_reply(m_conn,
                                   xcb_get_property(m_conn, remove ? 1 : 0, m_window, prop,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 28),
                                   nullptr));
        xcb_flush(m_conn);
        Answer a;
        if (r) {
            a.type = r->type;
            a.format = r->format;
            const auto* v = static_cast<const unsigned char*>(xcb_get_property_value(r.p));
            a.bytes.assign(v, v + xcb_get_property_value_length(r.p));
        }
        return a;
    }

    // Takes the clipboard, or with `own` false leaves it without an owner.
    void takeClipboard(bool own = true) {
        xcb_set_selection_owner(m_conn, own ? m_window : XCB_NONE, atom("CLIPBOARD"),
                                XCB_CURRENT_TIME);
        xcb_flush(m_conn);
    }
    xcb_window_t owner() {
        Freed<xcb_get_selection_owner_reply_t> r(xcb_get_selection_owner_reply(
            m_conn, xcb_get_selection_owner(m_conn, atom("CLIPBOARD")), nullptr));
        return r ? r->owner : XCB_NONE;
    }
    xcb_window_t window() const { return m_window; }

private:
    // The next event of `type` within 5 s (the caller frees it).
    const xcb_generic_event_t* waitFor(std::uint8_t type) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
                if ((e->response_type & 0x7F) == type) {
                    return e;
                }
                std::free(e);
            }
            pollfd p{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            ::poll(&p, 1, 50);
        }
        return nullptr;
    }
    // Waits for a new value of `prop` on our window.
    bool waitForNewValue(xcb_atom_t prop) {
        while (const auto* e = waitFor(XCB_PROPERTY_NOTIFY)) {
            const auto* n = reinterpret_cast<const xcb_property_notify_event_t*>(e);
            const bool match = n->atom == prop && n->state == XCB_PROPERTY_NEW_VALUE;
            std::free(const_cast<xcb_generic_event_t*>(e));
            if (match) {
                return true;
            }
        }
        return false;
    }

    xcb_connection_t* m_conn;
    xcb_window_t m_window;
};

std::vector<unsigned char> bytesOf(std::size_t size, unsigned seed) {
    std::vector<unsigned char> v(size);
    for (std::size_t i = 0; i < size; ++i) {
        v[i] = static_cast<unsigned char>((i * 2654435761u + seed) >> 13);
    }
    return v;
}

class X11Owner : public ::testing::Test {
protected:
    void SetUp() override {
        if (xvfb.display().empty()) {
            GTEST_SKIP() << "Xvfb is not available";
        }
        owner = std::make_unique<X11ClipboardOwner>(
            std::vector<handoff::Target>{{"image/png", small}, {"image/bmp", large}});
        std::string error;
        ASSERT_TRUE(owner->connect(xvfb.display(), error)) << error;
        ASSERT_EQ(owner->take(XCB_NONE), X11ClipboardOwner::Take::Taken);
        serving = std::async(std::launch::async, [this] { owner->serve(); });
        requestor = std::make_unique<Requestor>(xvfb.display());
    }
    void TearDown() override {
        if (serving.valid()) {
            xvfb.kill(); // ends the serving thread if a test left it running
            serving.wait();
        }
    }
    bool servingEnds() { return serving.wait_for(5s) == std::future_status::ready; }

    Xvfb xvfb;
    const std::vector<unsigned char> small = bytesOf(1000, 1);
    // Several pieces of INCR at any request size the server allows.
    const std::vector<unsigned char> large = bytesOf(3'500'000, 2);
    std::unique_ptr<X11ClipboardOwner> owner;
    std::future<void> serving;
    std::unique_ptr<Requestor> requestor;
};

TEST_F(X11Owner, ListsItsFormatsAndTheProtocolTargets) {
    const auto answer = requestor->convert("TARGETS");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->type, XCB_ATOM_ATOM);
    ASSERT_EQ(answer->format, 32);
    std::vector<std::string> names;
    for (std::size_t i = 0; i + 4 <= answer->bytes.size(); i += 4) {
        xcb_atom_t a = 0;
        std::memcpy(&a, answer->bytes.data() + i, 4);
        names.push_back(requestor->name(a));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"TARGETS", "TIMESTAMP", "MULTIPLE", "image/png",
                                               "image/bmp"}));
}

// Small data comes in one property, large data in INCR pieces, both whole.
TEST_F(X11Owner, ServesEachFormatWhole) {
    const auto png = requestor->convert("image/png");
    ASSERT_TRUE(png);
    EXPECT_FALSE(png->incremental);
    EXPECT_EQ(requestor->name(png->type), "image/png");
    EXPECT_EQ(png->bytes, small);

    for (int round = 0; round < 2; ++round) { // and again: nothing is used up
        const auto bmp = requestor->convert("image/bmp");
        ASSERT_TRUE(bmp) << round;
        EXPECT_TRUE(bmp->incremental) << round;
        EXPECT_EQ(requestor->name(bmp->type), "image/bmp");
        EXPECT_TRUE(bmp->bytes == large) << round << ": " << bmp->bytes.size() << " bytes";
    }
}

TEST_F(X11Owner, RefusesWhatItDoesNotHave) {
    for (const char* target : {"image/jpeg", "UTF8_STRING", "PIXMAP", "SAVE_TARGETS"}) {
        EXPECT_FALSE(requestor->convert(target)) << target;
    }
}

// A request stamped before the helper took the clipboard was meant for the
// previous owner.
TEST_F(X11Owner, RefusesRequestsFromBeforeItTookTheClipboard) {
    const auto stamp = requestor->convert("TIMESTAMP");
    ASSERT_TRUE(stamp);
    ASSERT_EQ(stamp->bytes.size(), 4u);
    xcb_timestamp_t since = 0;
    std::memcpy(&since, stamp->bytes.data(), 4);
    ASSERT_GT(since, 0u);
    EXPECT_FALSE(requestor->convert("image/png", since - 1));
    EXPECT_TRUE(requestor->convert("image/png", since));
    EXPECT_TRUE(requestor->convert("image/png", since + 1000));
}

// MULTIPLE converts each pair; a pair it cannot convert gets None.
TEST_F(X11Owner, ConvertsMultipleTargetsAtOnce) {
    const xcb_atom_t pairType = requestor->atom("ATOM_PAIR");
    requestor->setProperty("ZS_PAIRS", pairType,
                           {requestor->atom("image/png"), requestor->atom("ZS_A"),
                            requestor->atom("image/jpeg"), requestor->atom("ZS_B"),
                            requestor->atom("TARGETS"), requestor->atom("ZS_C")});
    const auto answer = requestor->convert("MULTIPLE", XCB_CURRENT_TIME, "ZS_PAIRS");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->type, pairType);
    std::vector<xcb_atom_t> pairs(answer->bytes.size() / 4);
    std::memcpy(pairs.data(), answer->bytes.data(), pairs.size() * 4);
    ASSERT_EQ(pairs.size(), 6u);
    EXPECT_EQ(pairs[1], requestor->atom("ZS_A"));
    EXPECT_EQ(pairs[3], static_cast<xcb_atom_t>(XCB_NONE));
    EXPECT_EQ(pairs[5], requestor->atom("ZS_C"));
    EXPECT_EQ(requestor->readProperty(requestor->atom("ZS_A"), false).bytes, small);
    EXPECT_EQ(requestor->readProperty(requestor->atom("ZS_C"), false).format, 32);
}

// Another program taking the clipboard ends the helper; requests after
// that are refused by the server's new owner, not answered with old data.
TEST_F(X11Owner, EndsWhenAnotherProgramTakesTheClipboard) {
    ASSERT_TRUE(requestor->convert("image/png"));
    EXPECT_EQ(requestor->owner(), owner->window());
    requestor->takeClipboard();
    EXPECT_TRUE(servingEnds());
    EXPECT_EQ(requestor->owner(), requestor->window());
}

TEST_F(X11Owner, EndsWhenTheDisplayGoesAway) {
    xvfb.kill();
    EXPECT_TRUE(servingEnds());
}

// Taking over only from the expected owner: a clipboard that has changed
// hands in the meantime is left alone.
TEST_F(X11Owner, TakesOverOnlyFromTheExpectedOwner) {
    X11ClipboardOwner second({{"image/png", bytesOf(10, 3)}});
    std::string error;
    ASSERT_TRUE(second.connect(xvfb.display(), error)) << error;
    EXPECT_EQ(second.take(requestor->window()), X11ClipboardOwner::Take::Changed);
    EXPECT_EQ(requestor->owner(), owner->window());
    EXPECT_EQ(second.take(owner->window()), X11ClipboardOwner::Take::Taken);
    EXPECT_EQ(requestor->owner(), second.window());
    EXPECT_TRUE(servingEnds()); // the first one saw it lost the clipboard
}

// A clipboard nobody owns (the program ended while the helper started)
// holds nobody's copy: it is taken.
TEST_F(X11Owner, TakesAClipboardNobodyOwns) {
    requestor->takeClipboard(false);
    EXPECT_TRUE(servingEnds());
    X11ClipboardOwner second({{"image/png", bytesOf(10, 3)}});
    std::string error;
    ASSERT_TRUE(second.connect(xvfb.display(), error)) << error;
    EXPECT_EQ(second.take(owner->window()), X11ClipboardOwner::Take::Taken);
    EXPECT_EQ(requestor->owner(), second.window());
}

} // namespace
} // namespace zs::keeper
