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

bool read(int fd, std::vector<Target>& targets, std::string& error) {
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
    if (!readValue(fd, count, error)) {
        return false;
    }
    if (count == 0 || count > kMaxTargets) {
        error = "bad number of formats: " + std::to_string(count);
        return false;
    }
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameSize = 0;
        if (!readValue(fd, nameSize, error)) {
            return false;
        }
        if (nameSize == 0 || nameSize > kMaxNameSize) {
            error = "bad format name length: " + std::to_string(nameSize);
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
        if (!readValue(fd, size, error)) {
            return false;
        }
        if (size == 0 || size > kMaxTotalSize - total) {
            error = "bad size for " + target.name + ": " + std::to_string(size);
            return false;
        }
        total += size;
        target.bytes.resize(static_cast<std::size_t>(size));
        if (!readExactly(fd, target.bytes.data(), target.bytes.size(), error)) {
            return false;
        }
        targets.push_back(std::move(target));
    }
    char extra = 0;
    const ssize_t n = ::read(fd, &extra, 1);
    if (n != 0) {
        error = n > 0 ? "data after the last format"
                      : std::string("read failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace zs::handoff
