#include "keeper/shared/handoff.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace zs::handoff {
namespace {

// A file in memory holding `bytes`, positioned at its start.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& bytes) : m_fd(memfd_create("handoff", MFD_CLOEXEC)) {
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::lseek(m_fd, 0, SEEK_SET);
    }
    ~MemoryFile() { ::close(m_fd); }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

std::string message(const std::vector<std::pair<std::string, std::string>>& targets) {
    std::string out = header(static_cast<std::uint32_t>(targets.size()));
    for (const auto& [name, bytes] : targets) {
        out += targetHeader(name, bytes.size()) + bytes;
    }
    return out;
}

TEST(Handoff, ReadsBackWhatWasWritten) {
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 131);
    }
    MemoryFile file(message({{"image/png", "\x89PNG..."}, {"image/bmp", big}}));
    std::vector<Target> targets;
    std::string error;
    ASSERT_TRUE(read(file.fd(), targets, error)) << error;
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].name, "image/png");
    EXPECT_EQ(std::string(targets[0].bytes.begin(), targets[0].bytes.end()), "\x89PNG...");
    EXPECT_EQ(targets[1].name, "image/bmp");
    EXPECT_TRUE(std::string(targets[1].bytes.begin(), targets[1].bytes.end()) == big);
}

std::string raw32(std::uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

// Whatever is wrong with a message, it is refused as a whole with a reason,
// before anything is served.
TEST(Handoff, RefusesBrokenMessages) {
    const std::string good = message({{"image/png", "abc"}});
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "cut short"},
        {"another magic", "ZSCLIP2\n" + good.substr(kMagicSize), "not a clipboard hand-off"},
        {"no formats", header(0), "bad number of formats"},
        {"too many formats", header(kMaxTargets + 1), "bad number of formats"},
        {"cut in the count", good.substr(0, kMagicSize + 2), "cut short"},
        {"cut in the data", good.substr(0, good.size() - 1), "cut short"},
        {"bytes after the end", good + "x", "data after the last format"},
        {"empty name", header(1) + raw32(0), "bad format name length"},
        {"name too long", header(1) + raw32(kMaxNameSize + 1), "bad format name length"},
        {"space in the name", message({{"image png", "abc"}}), "bad format name"},
        {"control character in the name", message({{"image/\npng", "abc"}}), "bad format name"},
        {"same name twice", message({{"image/png", "a"}, {"image/png", "b"}}), "given twice"},
        {"no data", message({{"image/png", ""}}), "bad size"},
        {"absurd size", header(1) + targetHeader("image/png", kMaxTotalSize + 1), "bad size"},
        {"sizes adding up past the limit",
         header(2) + targetHeader("image/png", 1) + "a" + targetHeader("image/bmp", kMaxTotalSize),
         "bad size"},
        {"promised more than sent", header(1) + targetHeader("image/png", 10) + "abc", "cut short"},
    };
    for (const auto& c : cases) {
        MemoryFile file(c.bytes);
        std::vector<Target> targets;
        std::string error;
        EXPECT_FALSE(read(file.fd(), targets, error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

TEST(Handoff, NamesArePrintableWithoutSpaces) {
    const std::pair<std::string, bool> cases[] = {
        {"image/png", true},
        {"UTF8_STRING", true},
        {"", false},
        {"a b", false},
        {"tab\there", false},
        {"caf\xc3\xa9", false},
        {std::string(kMaxNameSize, 'x'), true},
        {std::string(kMaxNameSize + 1, 'x'), false},
    };
    for (const auto& [name, valid] : cases) {
        EXPECT_EQ(validName(name), valid) << name;
    }
}

} // namespace
} // namespace zs::handoff
