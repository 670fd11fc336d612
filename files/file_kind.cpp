#include "files/file_kind.h"

#include <QFile>

#include <algorithm>
#include <array>

#include <sys/stat.h>

namespace zs::files {

namespace {

// Each kind with its stat(2) type bits and the words a message uses for it.
struct KindRow {
    unsigned mode;
    FileKind kind;
    const char* name;
};

constexpr std::array kKinds{
    KindRow{S_IFREG, FileKind::Regular, "a regular file"},
    KindRow{S_IFDIR, FileKind::Directory, "a directory"},
    KindRow{S_IFIFO, FileKind::Pipe, "a named pipe"},
    KindRow{S_IFSOCK, FileKind::Socket, "a socket"},
    KindRow{S_IFCHR, FileKind::CharacterDevice, "a character device"},
    KindRow{S_IFBLK, FileKind::BlockDevice, "a block device"},
};

} // namespace

FileKind fileKindOfMode(unsigned mode) {
    const auto* row = std::find_if(kKinds.begin(), kKinds.end(),
                                   [&](const KindRow& r) { return r.mode == (mode & S_IFMT); });
    return row != kKinds.end() ? row->kind : FileKind::Other;
}

const char* fileKindName(FileKind kind) {
    const auto* row = std::find_if(kKinds.begin(), kKinds.end(),
                                   [&](const KindRow& r) { return r.kind == kind; });
    return row != kKinds.end() ? row->name : "not a regular file";
}

std::optional<FileKind> fileKindAt(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return fileKindOfMode(st.st_mode);
}

} // namespace zs::files
