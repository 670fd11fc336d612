#include "files/file_names.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace zs::files {

namespace {

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == u' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString cutAtNul(QString text) {
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0) {
        text.truncate(nul);
    }
    return text;
}

// Whether a new file can really be created in `folder` (permission bits say
// little when running as root, and nothing about read-only mounts).
bool canCreateFileIn(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return false;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".zentrim-write-test-XXXXXX")));
    return probe.open();
}

} // namespace

std::optional<QString> bmpFileName(const QString& chosen) {
    QString name = cutAtNul(trimSpaces(chosen));
    if (name.isEmpty()) {
        return std::nullopt;
    }
    if (name.right(3).toUpper() != QLatin1String("BMP")) {
        name += QLatin1String(".bmp");
    }
    return name;
}

std::optional<SaveTarget> saveTarget(const QString& chosen, bool pngFilter) {
    QString name = cutAtNul(trimSpaces(chosen));
    if (name.isEmpty()) {
        return std::nullopt;
    }
    const bool pngName = name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
    if (!pngFilter && !pngName) {
        return SaveTarget{*bmpFileName(chosen), SaveFormat::Bmp};
    }
    if (!pngName) {
        name += QLatin1String(".png");
    }
    return SaveTarget{name, SaveFormat::Png};
}

QString loadFileName(const QString& chosen) {
    return trimSpaces(cutAtNul(chosen));
}

QString saveDialogFolder(const QString& programFolder) {
    if (canCreateFileIn(programFolder)) {
        return programFolder;
    }
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) {
        return pictures;
    }
    return QDir::homePath();
}

} // namespace zs::files
