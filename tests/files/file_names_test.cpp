#include "files/file_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zs::files {
namespace {

TEST(BmpFileName, AppendsTheExtensionUnlessTheNameEndsInBmp) {
    const QString nul(QChar(u'\0'));
    const std::vector<std::pair<QString, std::optional<QString>>> cases = {
        {"shot", "shot.bmp"},
        {"shot.BMP", "shot.BMP"},
        {"shot.Bmp", "shot.Bmp"},
        {"shot.jpg", "shot.jpg.bmp"},
        {"screenbmp", "screenbmp"}, // only the last three letters count
        {"mp", "mp.bmp"},
        {"  shot  ", "shot.bmp"},            // spaces trimmed
        {"\tshot", "\tshot.bmp"},            // but nothing else
        {"shot" + nul + "junk", "shot.bmp"}, // cut at the NUL
        {"shot " + nul + "x", "shot .bmp"},  // trimmed before the cut
        {"    ", std::nullopt},
        {nul + "shot", std::nullopt},
    };
    for (const auto& [chosen, name] : cases) {
        EXPECT_EQ(bmpFileName(chosen), name) << chosen.toStdString();
    }
    EXPECT_EQ(loadFileName("  /x/a.jpg " + nul + "  "), "/x/a.jpg"); // the load cuts first
}

} // namespace
} // namespace zs::files
