#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A picture as the clipboard offers it to other programs: the few formats
// pasting programs take, each encoded once and kept.
namespace zs {

class ClipboardPayload {
public:
    // The formats, in order of preference:
    // - image/png: what browsers, office suites, chat and image programs ask
    //   for first; lossless and a fraction of the raw size;
    // - image/bmp: for the programs that take no PNG; no compression, so it
    //   is ready soonest.
    // (Inside the program Qt's own image type hands over the QImage itself;
    // the clipboard answers it without listing it, see qt_clipboard.cpp.)
    static const QStringList& formats();

    // Starts encoding `image` in every format on a thread of its own, so that
    // a clipboard manager asking for all of them right after the crop finds
    // them ready or nearly so.
    explicit ClipboardPayload(QImage image);
    // Stops an encoding still running and waits for its thread (a few rows).
    ~ClipboardPayload();
    ClipboardPayload(const ClipboardPayload&) = delete;
    ClipboardPayload& operator=(const ClipboardPayload&) = delete;

    const QImage& image() const { return m_image; }

    // The picture as a file of `mimeType` (one of formats()); waits for an
    // encoding in progress, or encodes on the calling thread when the
    // background thread has not come to it yet. Empty for any other type or
    // a null picture. Safe to call from any thread.
    QByteArray data(const QString& mimeType);

    // How many times `mimeType` was encoded so far (0 or 1).
    int encodings(const QString& mimeType) const;

private:
    enum class State { Waiting, Encoding, Done };
    struct Slot {
        State state = State::Waiting;
        QByteArray bytes;
        int encodings = 0;
    };

    // Claims the slot if nobody encodes it yet; returns whether it did.
    bool claim(int index);
    void encode(int index);

    const QImage m_image;
    std::atomic<bool> m_cancel{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    Slot m_slots[2];
    std::thread m_worker; // last: starts once everything above exists
};

} // namespace zs
