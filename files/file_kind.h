#pragma once

#include <QString>

#include <optional>

// What kind of file a path names: the load reads only regular files and the
// save writes into no pipe or socket.
namespace zs::files {

enum class FileKind { Regular, Directory, Pipe, Socket, CharacterDevice, BlockDevice, Other };

// The kind of a file from its stat(2) mode bits.
FileKind fileKindOfMode(unsigned mode);

// "a named pipe", "a directory", ...: how a message names a kind.
const char* fileKindName(FileKind kind);

// The kind of file at `path`, links followed, or nothing when there is none
// (errno then tells why). Nothing is opened.
std::optional<FileKind> fileKindAt(const QString& path);

} // namespace zs::files
