#include "files/file_kind.h"

#include <QFile>

#include <sys/stat.h>

namespace zs::files {

FileKind fileKindOfMode(unsigned mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileKind::Regular;
    case S_IFDIR:
        return FileKind::Directory;
    case S_IFIFO:
        return FileKind::Pipe;
    case S_IFSOCK:
        return FileKind::Socket;
    case S_IFCHR:
        return FileKind::CharacterDevice;
    case S_IFBLK:
        return FileKind::BlockDevice;
    default:
        return FileKind::Other;
    }
}

const char* fileKindName(FileKind kind) {
    switch (kind) {
    case FileKind::Regular:
        return "a regular file";
    case FileKind::Directory:
        return "a directory";
    case FileKind::Pipe:
        return "a named pipe";
    case FileKind::Socket:
        return "a socket";
    case FileKind::CharacterDevice:
        return "a character device";
    case FileKind::BlockDevice:
        return "a block device";
    case FileKind::Other:
        break;
    }
    return "not a regular file";
}

std::optional<FileKind> fileKindAt(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return fileKindOfMode(st.st_mode);
}

} // namespace zs::files
