#include "names.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zs::files {
namespace {

TEST(BmpFileName, AppendsTheExtensionUnlessTheNameEndsInBmp) {
    struct Case {
        QString chosen;
        std::optional<QString> name;
    };
    const QString nul(QChar(u'\0'));
    const std::vector<Case> cases = {
        {"shot", "shot.bmp"},
        {"shot.bmp", "shot.bmp"},
        {"shot.BMP", "shot.BMP"},
        {"shot.Bmp", "shot.Bmp"},
        {"shot.jpg", "shot.jpg.bmp"},
        {"screenbmp", "screenbmp"}, // only the last three letters count
        {"bmp", "bmp"},
        {"mp", "mp.bmp"},
        {"/tmp/a b/shot", "/tmp/a b/shot.bmp"},
        {"  shot  ", "shot.bmp"},            // spaces trimmed
        {"\tshot", "\tshot.bmp"},            // but nothing else
        {"shot" + nul + "junk", "shot.bmp"}, // cut at the NUL
        {"shot.bmp" + nul + "   ", "shot.bmp"},
        {"shot " + nul + "x", "shot .bmp"}, // trimmed before the cut
        {"", std::nullopt},
        {"    ", std::nullopt},
        {nul + "shot", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bmpFileName(c.chosen), c.name) << c.chosen.toStdString();
    }
}

TEST(LoadFileName, CutsAtTheNulThenTrimsSpaces) {
    struct Case {
        QString chosen;
        QString name;
    };
    const QString nul(QChar(u'\0'));
    const std::vector<Case> cases = {
        {"/x/a.jpg", "/x/a.jpg"},
        {"  /x/a.jpg  ", "/x/a.jpg"},
        {"/x/a.jpg " + nul + "   ", "/x/a.jpg"},
        {"/x/photo", "/x/photo"}, // no extension added
        {"   ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loadFileName(c.chosen), c.name) << c.chosen.toStdString();
    }
}

TEST(SaveDialogFolder, ProgramFolderWhenWritableElseThePicturesFolder) {
    QTemporaryDir writable;
    QString fallback = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QDir(fallback).exists()) {
        fallback = QDir::homePath();
    }
    EXPECT_EQ(saveDialogFolder(writable.path()), writable.path());
    EXPECT_EQ(saveDialogFolder(writable.filePath("gone")), fallback);
    EXPECT_EQ(saveDialogFolder("/proc/self"), fallback); // a folder no file can be made in
    EXPECT_EQ(saveDialogFolder(""), fallback);
    // The probe leaves nothing behind.
    EXPECT_TRUE(QDir(writable.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

} // namespace
} // namespace zs::files
