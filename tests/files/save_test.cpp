#include "tests/support/window_fixture.h"

#include <QStandardPaths>

#include <functional>
#include <vector>

namespace zs::test {
namespace {

using SaveTest = WindowTest;

struct SaveButton {
    const char* name;
    std::function<void(app::Form1&)> press;
};

const std::vector<SaveButton> kSaveButtons = {
    {"Command3(0)", [](app::Form1& f) { f.Command3[app::command3::kToolBarSave].click(); }},
    {"Command3(1)", [](app::Form1& f) { f.Command3[app::command3::kStartPanelSave].click(); }},
    {"Command8", [](app::Form1& f) { f.Command8.click(); }},
};

TEST_F(SaveTest, WithoutACropNoButtonOpensTheDialog) {
    f.Picture2.setVisible(false);
    fake.dialogs.answers = {path("a"), path("b"), path("c")};
    for (const SaveButton& b : kSaveButtons) {
        b.press(f);
    }
    EXPECT_TRUE(fake.dialogs.requests.empty());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(SaveTest, TheDialogProposesFilenameBmpInTheProgramFolder) {
    showAndCrop(surface, QRect(10, 20, 30, 40));
    for (const SaveButton& b : kSaveButtons) {
        b.press(f); // cancelled: the fake answers nothing
    }
    ASSERT_EQ(fake.dialogs.requests.size(), 3u);
    for (const FileDialogRequest& r : fake.dialogs.requests) {
        EXPECT_EQ(r.title, "Save file");
        EXPECT_EQ(r.filterName, "Picture");
        EXPECT_EQ(r.patterns, QStringList{"*.bmp"});
        EXPECT_EQ(r.initialDir, dir.path());
        EXPECT_EQ(r.proposedName, "filename.bmp");
    }
    EXPECT_TRUE(files().isEmpty()); // cancel writes nothing
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(SaveTest, AProgramFolderThatCannotTakeFilesOpensThePicturesFolder) {
    showAndCrop(surface, QRect(0, 0, 8, 8));
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QDir(pictures).exists()) {
        pictures = QDir::homePath();
    }
    for (const QString& folder : {QStringLiteral("/proc/self"), path("not-there")}) {
        fake.application.folder = folder;
        f.Command3[app::command3::kToolBarSave].click();
        EXPECT_EQ(fake.dialogs.requests.back().initialDir, pictures) << folder.toStdString();
        EXPECT_EQ(fake.dialogs.requests.back().proposedName, "filename.bmp");
    }
}

TEST_F(SaveTest, ToolBarSavesTheCropAndTheEditorSavesTheDrawnCanvas) {
    showAndCrop(surface, QRect(50, 60, 120, 80));
    stroke({{10, 10}, {100, 60}});
    fake.dialogs.answers = {path("crop"), path("crop.BMP"), path("canvas.jpg")};
    for (const SaveButton& b : kSaveButtons) {
        b.press(f);
    }
    EXPECT_EQ(files(), (QStringList{"canvas.jpg.bmp", "crop.BMP", "crop.bmp"}));
    EXPECT_EQ(readImage(path("crop.bmp")), surface.copy(50, 60, 120, 80));
    EXPECT_EQ(readBytes(path("crop.bmp")), readBytes(path("crop.BMP")));
    const QImage canvas = readImage(path("canvas.jpg.bmp"));
    EXPECT_EQ(canvas, f.Picture6.image());
    EXPECT_NE(canvas, surface.copy(50, 60, 120, 80));
}

TEST_F(SaveTest, ThePngFilterOrAPngNameWritesTheCropsExactPixelsAsPng) {
    // A crop with pixels a lossy or 16-bit writer would change.
    showAndCrop(surface, QRect(37, 11, 123, 77));
    struct Case {
        QString chosen;
        int filter; // 1: the PNG filter
        QString written;
    };
    const std::vector<Case> cases = {
        {"shot", 1, "shot.png"},
        {"typed.PNG", 0, "typed.PNG"},
        {"both.png", 1, "both.png"},
        {"under-png.bmp", 1, "under-png.bmp.png"},
    };
    for (const Case& c : cases) {
        fake.dialogs.answers = {path(c.chosen)};
        fake.dialogs.saveFilters = {c.filter};
        f.Command3[app::command3::kToolBarSave].click();
        const QByteArray bytes = readBytes(path(c.written));
        EXPECT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n")) << c.written.toStdString();
        EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32),
                  surface.copy(37, 11, 123, 77))
            << c.written.toStdString();
    }
    EXPECT_EQ(files().size(), static_cast<qsizetype>(cases.size()));
    EXPECT_EQ(fake.dialogs.requests.back().moreFilters.size(), 1u);
    EXPECT_EQ(fake.dialogs.requests.back().moreFilters[0].patterns, QStringList{"*.png"});
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(SaveTest, PathsLongerThan255CharactersAreSaved) {
    showAndCrop(surface, QRect(0, 0, 3, 3));
    const QString deep =
        path(QString(100, u'a') + "/" + QString(100, u'b') + "/" + QString(60, u'c'));
    ASSERT_TRUE(QDir().mkpath(deep));
    fake.dialogs.answers = {deep + "/shot"};
    f.Command3[app::command3::kToolBarSave].click();
    EXPECT_GT(deep.size(), 255);
    EXPECT_EQ(readImage(deep + "/shot.bmp"), surface.copy(0, 0, 3, 3));
}

TEST_F(SaveTest, AFailedWriteIsShownAndTheProgramGoesOn) {
    struct Case {
        QString chosen;
        QString reason;
    };
    const std::vector<Case> cases = {
        {path("missing/shot.bmp"), "No such file or directory"},
        {"/proc/shot.bmp", "No such file or directory"}, // the kernel refuses it
        {path("full.bmp"), "No space left on device"},   // a link to /dev/full
    };
    ASSERT_TRUE(QFile::link("/dev/full", path("full.bmp")));
    showAndCrop(surface, QRect(0, 0, 100, 100));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        fake.messages.errors.clear();
        fake.dialogs.answers = {c.chosen};
        f.Command3[app::command3::kToolBarSave].click();
        ASSERT_EQ(fake.messages.errors.size(), 1u);
        EXPECT_TRUE(fake.messages.errors[0].contains(c.chosen))
            << fake.messages.errors[0].toStdString();
        EXPECT_TRUE(fake.messages.errors[0].contains(c.reason))
            << fake.messages.errors[0].toStdString();
        EXPECT_FALSE(fake.application.quit);
    }
    EXPECT_EQ(files(), QStringList{"full.bmp"});
    fake.dialogs.answers = {path("after")};
    f.Command8.click();
    EXPECT_EQ(files(), (QStringList{"after.bmp", "full.bmp"}));
}

} // namespace
} // namespace zs::test
