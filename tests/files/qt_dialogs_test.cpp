#include "services/qt/qt_services.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace zs {
namespace {

QStringList listed(QFileDialog& dialog) {
    auto* view = dialog.findChild<QListView*>("listView");
    QStringList names;
    for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i) {
        names << view->model()->index(i, 0, view->rootIndex()).data().toString();
    }
    names.sort();
    return names;
}

// Runs `inspect` on the dialog once it is open and its file list, which a
// background thread fills in, has settled (the same names twice in a row,
// or 10 s at most); then types `typed` into its name box and confirms (or
// cancels when `typed` is empty).
template <typename Open>
auto withDialog(const Open& open, const std::function<void(QFileDialog&)>& inspect,
                const QString& typed) {
    bool seen = false;
    QElapsedTimer listing;
    QStringList lastListed;
    std::function<void(QFileDialog*)> whenListed;
    whenListed = [&](QFileDialog* dialog) {
        const QStringList now = listed(*dialog);
        const bool settled = !now.isEmpty() && now == lastListed;
        lastListed = now;
        if (!settled && listing.elapsed() < 10000) {
            QTimer::singleShot(50, dialog, [&, dialog] { whenListed(dialog); });
            return;
        }
        inspect(*dialog);
        if (typed.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
        // As a press of the dialog's Open or Save button.
        auto* box = dialog->findChild<QDialogButtonBox*>("buttonBox");
        box->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                    : QDialogButtonBox::Open)
            ->click();
    };
    std::function<void()> poll;
    poll = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTimer::singleShot(10, poll);
            return;
        }
        seen = true;
        listing.start();
        whenListed(dialog);
    };
    QTimer::singleShot(0, poll);
    auto result = open();
    EXPECT_TRUE(seen);
    return result;
}

class QtFileDialogsTest : public ::testing::Test {
protected:
    QtFileDialogsTest() {
        for (const char* name : {"a.jpg", "b.JPG", "c.Jpeg", "d.png", "e.bmp", "f.BMP"}) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
    }
    QTemporaryDir dir;
    QtFileDialogs dialogs;
};

TEST_F(QtFileDialogsTest, OpenListsJpegNamesInAnyCaseAndTakesAnyTypedName) {
    const FileDialogRequest r{"Profil picture", "Images", {"*.JPG", "*.JPEG"}, dir.path(), "", {}};
    const auto chosen =
        withDialog([&] { return dialogs.openFile(nullptr, r); },
                   [&](QFileDialog& d) {
                       EXPECT_EQ(d.windowTitle(), "Profil picture");
                       EXPECT_EQ(d.nameFilters(), QStringList{"Images (*.JPG *.JPEG)"});
                       EXPECT_EQ(listed(d), (QStringList{"a.jpg", "b.JPG", "c.Jpeg"}));
                   },
                   "d.png");
    EXPECT_EQ(chosen, dir.filePath("d.png"));
    EXPECT_EQ(withDialog([&] { return dialogs.openFile(nullptr, r); }, [](QFileDialog&) {}, ""),
              std::nullopt);
}

TEST_F(QtFileDialogsTest, SaveProposesTheNameAddsNoExtensionAndAsksNothing) {
    const FileDialogRequest r{"Save file", "Picture", {"*.bmp"}, dir.path(), "filename.bmp", {}};
    for (const QString& typed : {QStringLiteral("screenbmp"), QStringLiteral("e.bmp")}) {
        const auto chosen = withDialog(
            [&] { return dialogs.saveFile(nullptr, r); },
            [&](QFileDialog& d) {
                EXPECT_EQ(d.windowTitle(), "Save file");
                EXPECT_TRUE(d.testOption(QFileDialog::DontUseNativeDialog));
                EXPECT_TRUE(d.testOption(QFileDialog::DontConfirmOverwrite));
                EXPECT_TRUE(d.defaultSuffix().isEmpty());
                EXPECT_EQ(d.directory().absolutePath(), dir.path());
                EXPECT_EQ(d.findChild<QLineEdit*>("fileNameEdit")->text(), "filename.bmp");
                EXPECT_EQ(listed(d), (QStringList{"e.bmp", "f.BMP"}));
            },
            typed);
        EXPECT_EQ(chosen, (SaveChoice{dir.filePath(typed),
                                      0})); // e.bmp exists: replaced without a question
    }
}

TEST_F(QtFileDialogsTest, SaveOffersMoreFiltersAndTellsWhichWasChosen) {
    const FileDialogRequest r{"Save file", "Picture",      {"*.bmp"},
                              dir.path(),  "filename.bmp", {{"PNG picture", {"*.png"}}}};
    const auto chosen = withDialog(
        [&] { return dialogs.saveFile(nullptr, r); },
        [&](QFileDialog& d) {
            EXPECT_EQ(d.nameFilters(), (QStringList{"Picture (*.bmp)", "PNG picture (*.png)"}));
            EXPECT_EQ(d.selectedNameFilter(), "Picture (*.bmp)"); // BMP stays the default
            d.selectNameFilter("PNG picture (*.png)");
        },
        "shot");
    EXPECT_EQ(chosen, (SaveChoice{dir.filePath("shot"), 1}));
}

} // namespace
} // namespace zs
