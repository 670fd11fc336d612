#include "keeper/shared/handoff.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace zs::handoff {

namespace {

template <typename T> void appendRaw(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

// Reads exactly `size` bytes; false at end of file or on an error.
bool readExactly(int fd, void* into, std::size_t size, std::string& error) {
    auto* p = static_cast<unsigned char*>(into);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = std::string("read failed: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) {
            error = "message cut short";
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

template <typename T> bool readValue(int fd, T& value, std::string& error) {
    return readExactly(fd, &value, sizeof(T), error);
}

// Reads a number that must lie in 1..`max`; `what` starts the error.
template <typename T>
bool readInRange(int fd, T& value, std::uint64_t max, const std::string& what, std::string& error) {
    if (!readValue(fd, value, error)) {
        return false;
    }
    if (value == 0 || value > max) {
        error = what + ": " + std::to_string(value);
        return false;
    }
    return true;
}

} // namespace

std::string header(std::uint32_t count) {
    std::string out(kMagic, kMagicSize);
    appendRaw(out, count);
    return out;
}

std::string targetHeader(const std::string& name, std::uint64_t size) {
    std::string out;
    appendRaw(out, static_cast<std::uint32_t>(name.size()));
    out += name;
    appendRaw(out, size);
    return out;
}

bool validName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameSize) {
        return false;
    }
    return std::ranges::all_of(name, [](char c) { return c > ' ' && c <= '~'; });
}

bool readTargets(int fd, std::vector<Target>& targets, std::string& error) {
    targets.clear();
    char magic[kMagicSize];
    if (!readExactly(fd, magic, kMagicSize, error)) {
        return false;
    }
    if (std::memcmp(magic, kMagic, kMagicSize) != 0) {
        error = "not a clipboard hand-off";
        return false;
    }
    std::uint32_t count = 0;
    if (!readInRange(fd, count, kMaxTargets, "bad number of formats", error)) {
        return false;
    }
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameSize = 0;
        if (!readInRange(fd, nameSize, kMaxNameSize, "bad format name length", error)) {
            return false;
        }
        Target target;
        target.name.resize(nameSize);
        if (!readExactly(fd, target.name.data(), nameSize, error)) {
            return false;
        }
        if (!validName(target.name)) {
            error = "bad format name";
            return false;
        }
        for (const Target& seen : targets) {
            if (seen.name == target.name) {
                error = "format given twice: " + target.name;
                return false;
            }
        }
        std::uint64_t size = 0;
        if (!readInRange(fd, size, kMaxTotalSize - total, "bad size for " + target.name, error)) {
            return false;
        }
        total += size;
        target.bytes.resize(static_cast<std::size_t>(size));
        if (!readExactly(fd, target.bytes.data(), target.bytes.size(), error)) {
            return false;
        }
        targets.push_back(std::move(target));
    }
    return true;
}

bool readEnd(int fd, std::string& error) {
    char extra = 0;
    ssize_t n = 0;
    do {
        n = ::read(fd, &extra, 1);
    } while (n < 0 && errno == EINTR);
    if (n != 0) {
        error = n > 0 ? "data after the last format"
                      : std::string("read failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool read(int fd, std::vector<Target>& targets, std::string& error) {
    return readTargets(fd, targets, error) && readEnd(fd, error);
}

} // namespace zs::handoff
