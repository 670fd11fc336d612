#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The message that hands a picture to the clipboard helper over its
// standard input: the formats it is offered in, each with its bytes.
//
//   "ZSCLIP1\n"
//   u32 count                      (native byte order: same machine)
//   count x { u32 name length, name, u64 size, bytes }
//
// The writer closes its end after the last byte; anything after it, or a
// message cut short, is refused.
namespace zs::handoff {

inline constexpr char kMagic[] = "ZSCLIP1\n";
inline constexpr std::size_t kMagicSize = sizeof kMagic - 1;
inline constexpr std::uint32_t kMaxTargets = 16;
inline constexpr std::uint32_t kMaxNameSize = 255;
// A 16K screen at 4 bytes a pixel, uncompressed, is 2 GiB; nothing real
// comes near it.
inline constexpr std::uint64_t kMaxTotalSize = std::uint64_t(2) << 30;

struct Target {
    std::string name; // a MIME type, e.g. image/png
    std::vector<unsigned char> bytes;
};

// The bytes that go before the targets.
std::string header(std::uint32_t count);
// The bytes that go before one target's data.
std::string targetHeader(const std::string& name, std::uint64_t size);

// Whether `name` may name a target: printable ASCII without spaces, 1 to
// kMaxNameSize characters.
bool validName(const std::string& name);

// Reads a whole message from `fd` until end of file. On failure returns
// false and says why in `error`.
bool read(int fd, std::vector<Target>& targets, std::string& error);

} // namespace zs::handoff
