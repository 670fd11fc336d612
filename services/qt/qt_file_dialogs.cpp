#include "services/qt/qt_services.h"

#include <QDir>
#include <QFileDialog>

#include <algorithm>

namespace zs {

namespace {
std::optional<SaveChoice> runDialog(QWidget* owner, const FileDialogRequest& r,
                                    QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, r.title);
    // Qt's own dialog: it adds no extension to a typed name (no default
    // suffix) and, with DontConfirmOverwrite, replaces a file without asking.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(mode);
    // Any name may be typed, also in the open dialog: the command reports a
    // file that is not there.
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters{QStringLiteral("%1 (%2)").arg(r.filterName, r.patterns.join(u' '))};
    for (const FileFilter& more : r.moreFilters) {
        filters << QStringLiteral("%1 (%2)").arg(more.name, more.patterns.join(u' '));
    }
    dialog.setNameFilters(filters);
    // Patterns match names without regard to case, so "*.JPG" lists a.jpg
    // on a case-sensitive file system too.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setDefaultSuffix(QString());
    dialog.setWindowModality(Qt::WindowModal);
    if (!r.initialDir.isEmpty()) {
        dialog.setDirectory(r.initialDir);
    }
    if (!r.proposedName.isEmpty()) {
        dialog.selectFile(r.proposedName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return SaveChoice{files.first(), static_cast<int>(std::max<qsizetype>(
                                         0, filters.indexOf(dialog.selectedNameFilter())))};
}
} // namespace

std::optional<SaveChoice> QtFileDialogs::saveFile(QWidget* owner,
                                                  const FileDialogRequest& request) {
    return runDialog(owner, request, QFileDialog::AcceptSave);
}

std::optional<QString> QtFileDialogs::openFile(QWidget* owner, const FileDialogRequest& request) {
    const std::optional<SaveChoice> chosen = runDialog(owner, request, QFileDialog::AcceptOpen);
    return chosen ? std::optional<QString>(chosen->path) : std::nullopt;
}

} // namespace zs
