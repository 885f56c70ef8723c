#pragma once

#include <QString>

namespace platform {

// The predefined registry roots the program reads from.
enum class RegRoot
{
    CurrentUser,
    LocalMachine
};

/// Reads one string value under root\keyPath, trimmed of leading and trailing spaces.
/// Returns the empty string when the key or the value does not exist or is not a string.
/// Outside Windows the one value the program reads ("Favorites" under the Explorer shell folders)
/// comes from TESSALY_FAVORITES, else $HOME/Favorites when that folder exists.
QString GetRegString(RegRoot root, const QString& keyPath, const QString& valueName);

} // namespace platform
