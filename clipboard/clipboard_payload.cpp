#include "clipboard/clipboard_payload.h"

#include "formats/bmp.h"
#include "formats/png.h"

namespace zs {

namespace {
constexpr int kPng = 0;
constexpr int kBmp = 1;

// The picture as the file of format `index`; nothing for a null picture. The
// BMP keeps alpha (a 32-bit file) and says 72 dpi.
QByteArray fileOf(const QImage& image, int index, const std::atomic<bool>* cancel) {
    if (image.isNull()) {
        return {};
    }
    if (index == kPng) {
        return formats::png(image, cancel);
    }
    formats::BmpOptions options;
    options.keepAlpha = true;
    options.cancel = cancel;
    return formats::bmp(image, options);
}
} // namespace

const QStringList& ClipboardPayload::formats() {
    static const QStringList list{QStringLiteral("image/png"), QStringLiteral("image/bmp")};
    return list;
}

ClipboardPayload::ClipboardPayload(QImage image)
    : m_image(std::move(image)), m_worker([this] {
          for (int index : {kPng, kBmp}) {
              if (m_cancel.load() || !claim(index)) {
                  continue;
              }
              encode(index);
          }
      }) {}

ClipboardPayload::~ClipboardPayload() {
    m_cancel.store(true);
    m_worker.join();
}

bool ClipboardPayload::claim(int index) {
    std::lock_guard lock(m_mutex);
    if (m_slots[index].state != State::Waiting) {
        return false;
    }
    m_slots[index].state = State::Encoding;
    return true;
}

void ClipboardPayload::encode(int index) {
    QByteArray bytes = fileOf(m_image, index, &m_cancel);
    {
        std::lock_guard lock(m_mutex);
        Slot& slot = m_slots[index];
        slot.bytes = std::move(bytes);
        slot.state = State::Done;
        ++slot.encodings;
    }
    m_done.notify_all();
}

QByteArray ClipboardPayload::data(const QString& mimeType) {
    const int index = static_cast<int>(formats().indexOf(mimeType));
    if (index < 0) {
        return {};
    }
    if (claim(index)) {
        encode(index);
    }
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return m_slots[index].state == State::Done; });
    return m_slots[index].bytes;
}

int ClipboardPayload::encodings(const QString& mimeType) const {
    const int index = static_cast<int>(formats().indexOf(mimeType));
    if (index < 0) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    return m_slots[index].encodings;
}

} // namespace zs
