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

// The file a "Save" writes: its name and format.
enum class SaveFormat { Bmp, Png };
struct SaveTarget {
    QString name;
    SaveFormat format = SaveFormat::Bmp;
    friend bool operator==(const SaveTarget&, const SaveTarget&) = default;
};

// The file for a name chosen in the save dialog with the PNG filter selected
// (`pngFilter`) or not. A PNG it is when that filter was chosen or the name
// ends in ".png" in any case; its name is trimmed and cut as bmpFileName's,
// with ".png" appended unless it ends so: "shot" → "shot.png". Any other name
// is bmpFileName's BMP. Nothing when the name is empty.
std::optional<SaveTarget> saveTarget(const QString& chosen, bool pngFilter);

// The name chosen in the open dialog: up to the first NUL, spaces trimmed.
// No extension is added and an empty name stays empty.
QString loadFileName(const QString& chosen);

// Where the save dialog opens: the program's folder when a file can be
// created in it, else the user's pictures folder (the home folder when that
// does not exist).
QString saveDialogFolder(const QString& programFolder);

} // namespace zs::files
