#pragma once

#include "platform/CodePage.h"

#include <QByteArray>
#include <QString>

// Reader and writer of profile-string (INI) text, following what Windows' GetPrivateProfileString and
// WritePrivateProfileString do with a file:
// - section and key names match without regard to case; only the first section of a name is searched, and
//   in it the first key of a name wins; lines before the first section header belong to no section;
// - a header is a line whose first non-blank character is '[', its name ending at the first ']' (or at the
//   end of the line when there is none); a line whose first non-blank character is ';' is a comment;
// - names are trimmed of spaces and tabs, values of spaces, tabs and vertical tabs, and one pair of matching
//   outer quotes (" or ') is taken off a value;
// - lines end in CR LF, LF or CR alone;
// - a write replaces the value on the key's line, or adds the key after the last key of the section, or adds
//   the section at the end of the text; every other line stays exactly as it was, and the lines written end
//   in CR LF.
// Beyond Windows, a UTF-8 byte-order mark at the start is passed over (and kept), so that the first line can
// still be a header.

namespace favorites
{

/// The value of key in the first section named section of a decoded file text; defaultValue (trailing spaces
/// removed) when the section or the key is missing.
QString readProfileString(const QString& fileText, const QString& section, const QString& key,
                          const QString& defaultValue = QString());

/// The file text with key in section set to value (line breaks in value are dropped, as a value cannot span
/// lines). Never fails: a missing key or section is added.
QString writeProfileString(const QString& fileText, const QString& section, const QString& key, const QString& value);

/// As above, on the raw bytes of a file in the given encoding. Only the names and the value are decoded, so
/// bytes that the encoding cannot represent (a file from another code page) are left exactly as they were.
QString readProfileString(const QByteArray& fileBytes, platform::TextEncoding encoding, const QString& section,
                          const QString& key, const QString& defaultValue = QString());

/// As above, on raw bytes: returns the file's new bytes, identical to the old ones outside the line that
/// changed or the lines that were added. UTF-16LE files are decoded and encoded whole.
QByteArray writeProfileString(const QByteArray& fileBytes, platform::TextEncoding encoding, const QString& section,
                              const QString& key, const QString& value);

} // namespace favorites
