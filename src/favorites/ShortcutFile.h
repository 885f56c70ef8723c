#pragma once

#include <QString>
#include <QtGlobal>

// The address inside an Internet shortcut file: key "URL" of section "InternetShortcut".

namespace favorites
{

/// Shortcut files are small (a few KB at most); a bigger file is not treated as one and is never loaded whole.
constexpr qint64 maxShortcutFileSize = 1024 * 1024;

/// The whole address stored in the shortcut file at filePath, up to a NUL byte if the line holds one; "" when
/// the file, the section or the key is missing, the file cannot be read, is not a regular file or is larger
/// than maxShortcutFileSize.
QString GetUrl(const QString& filePath);

/// Stores address as the URL of the shortcut file, keeping every other byte of it and its encoding, through
/// a temporary file that replaces it; a missing file is created in an existing folder. Returns false, with
/// the path and the reason in *error, when the address cannot be stored as given or the file not written.
bool SetUrl(const QString& filePath, const QString& address, QString* error = nullptr);

} // namespace favorites
