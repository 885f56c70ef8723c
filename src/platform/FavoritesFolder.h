#pragma once

#include <QString>

namespace platform
{

/// The user's Favorites folder as the system names it, trimmed of leading and trailing spaces; the empty string
/// when it names none. On Windows the string value "Favorites" under the key
/// "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" of HKEY_CURRENT_USER; elsewhere, where
/// no registry names it, TESSALY_FAVORITES, else $HOME/Favorites when that folder exists.
QString favoritesFolder();

} // namespace platform
