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
// The exchange, in this order:
//   1. the program writes the message;
//   2. the helper, having read the last byte, answers "received";
//   3. the program closes its end: the go-ahead. Anything after the message,
//      or a message cut short, is refused;
//   4. the helper takes the clipboard and answers "owner", "gone" or
//      "error TEXT" (or "error TEXT" at any earlier step).
// The helper takes nothing before the go-ahead, so until then the program
// may end it; after it, only the helper knows whether it holds the
// clipboard, so the program never ends it.
namespace zs::handoff {

inline constexpr char kReceived[] = "received";

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

// Reads a message's formats from `fd`, up to its last byte. On failure
// returns false and says why in `error`.
bool readTargets(int fd, std::vector<Target>& targets, std::string& error);
// Waits for the end of file after the message: false if anything follows.
bool readEnd(int fd, std::string& error);
// Both: a whole message up to the end of file.
bool read(int fd, std::vector<Target>& targets, std::string& error);

} // namespace zs::handoff
