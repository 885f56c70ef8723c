#pragma once

#include <QString>
#include <QtGlobal>

#include "platform/Failure.h"

// The address inside an Internet shortcut file: key "URL" of section "InternetShortcut".

namespace favorites
{

/// The failures of reading and writing the address of a shortcut file (path: the file).
enum class ShortcutFailure
{
    TooLarge,            // a file far larger than a shortcut file
    AddressHasLineBreak, // an address with a CR or LF
    AddressNotStorable,  // blanks or quotes at its ends, or characters the file's encoding cannot hold
    DamagedText,         // a UTF-16 file whose text does not survive a rewrite
};

/// Shortcut files are small (a few KB at most); a bigger file is not treated as one and is never loaded whole.
constexpr qint64 maxShortcutFileSize = 1024 * 1024;

/// The whole address stored in the shortcut file at filePath, up to a NUL byte if the line holds one; "" when
/// the file, the section or the key is missing, the file cannot be read, is not a regular file or is larger
/// than maxShortcutFileSize.
QString GetUrl(const QString& filePath);

/// Stores address as the URL of the shortcut file, keeping every other byte of it, its encoding and its mode,
/// through a temporary file that replaces it; a missing file is created in an existing folder. Returns false,
/// with what failed in *failure, when the address cannot be stored as given or the file not written; the file is
/// then as it was.
bool SetUrl(const QString& filePath, const QString& address, platform::Failure* failure = nullptr);

/// Whether SetUrl would store address in the file, found without writing anything: false, with the reason in
/// *failure, for every refusal SetUrl makes before it writes (a line break or an address that would not come
/// back as given, a read-only or unreadable file, not a regular file, a missing folder).
bool canSetUrl(const QString& filePath, const QString& address, platform::Failure* failure = nullptr);

} // namespace favorites

template <> struct platform::IsFailureKind<favorites::ShortcutFailure> : std::true_type
{
};
