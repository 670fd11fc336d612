#pragma once

#include <QString>

#include <optional>

// The names the save and load dialogs give, as the commands use them.
namespace zs::files {

// The file name for a name chosen in the save dialog: spaces (only spaces)
// trimmed at both ends, then cut at the first NUL; nothing when that leaves
// an empty name. ".bmp" is appended unless the last three characters spell
// BMP in any case: "shot" → "shot.bmp", "shot.Bmp" and "screenbmp" stay,
// "shot.jpg" → "shot.jpg.bmp".
std::optional<QString> bmpFileName(const QString& chosen);

// The name chosen in the open dialog: up to the first NUL, spaces trimmed.
// No extension is added and an empty name stays empty.
QString loadFileName(const QString& chosen);

// Where the save dialog opens: the program's folder when a file can be
// created in it, else the user's pictures folder (the home folder when that
// does not exist).
QString saveDialogFolder(const QString& programFolder);

} // namespace zs::files
