#include "files/file_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
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

TEST(SaveTarget, PngByFilterOrNameOtherwiseTheBmpName) {
    const auto png = [](const char* n) { return SaveTarget{n, SaveFormat::Png}; };
    const auto bmp = [](const char* n) { return SaveTarget{n, SaveFormat::Bmp}; };
    const std::vector<std::tuple<QString, bool, std::optional<SaveTarget>>> cases = {
        {"shot", false, bmp("shot.bmp")},       {"shot.jpg", false, bmp("shot.jpg.bmp")},
        {"shot.png", false, png("shot.png")},   {"  shot.Png ", false, png("shot.Png")},
        {"shotpng", false, bmp("shotpng.bmp")}, // the dot counts
        {"shot", true, png("shot.png")},        {"shot.bmp", true, png("shot.bmp.png")},
        {"shot.PNG", true, png("shot.PNG")},    {"   ", true, std::nullopt},
        {"   ", false, std::nullopt},
    };
    for (const auto& [chosen, pngFilter, target] : cases) {
        EXPECT_EQ(saveTarget(chosen, pngFilter), target) << chosen.toStdString() << pngFilter;
    }
}

} // namespace
} // namespace zs::files
