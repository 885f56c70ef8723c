#pragma once

#include <QByteArray>
#include <QString>

namespace platform
{

// How a text file's bytes were encoded, so that a rewrite keeps them as they were.
enum class TextEncoding
{
    System,  // the system code page: the ANSI code page on Windows, UTF-8 elsewhere
    Gb18030, // outside Windows: a file from a Chinese Windows that is not valid UTF-8
    Utf16Le  // a file that starts with a UTF-16LE byte-order mark (the mark is kept on write)
};

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::System;
};

/// Decodes the bytes of a text file: UTF-16LE when it starts with that byte-order mark, else the system
/// code page; outside Windows, bytes that are not valid UTF-8 are read as GB18030. Never fails.
DecodedText decodeText(const QByteArray& bytes);

/// Encodes text in the given encoding (a UTF-16LE file gets its byte-order mark back).
QByteArray encodeText(const QString& text, TextEncoding encoding);

/// Decodes bytes in the given encoding, passing over a byte-order mark at the start; a piece cut from the middle
/// of a text (keepInitialMark) keeps it, as the character U+FEFF that it is there. Never fails.
QString decodeText(const QByteArray& bytes, TextEncoding encoding, bool keepInitialMark = false);

/// The system code page both ways, for names and values that are not whole files. Decoding passes over a
/// byte-order mark at the start of the bytes, as at the start of a line; a piece cut from the middle of a text
/// (keepInitialMark) keeps it, as the character U+FEFF that it is there.
QString decodeSystem(const QByteArray& bytes, bool keepInitialMark = false);
QByteArray encodeSystem(const QString& text);

/// True when every character of the text has its own bytes in the system code page, so that encodeSystem and
/// decodeSystem give the same text back (a Chinese name in code page 1252, or an emoji in 936, cannot).
bool canEncodeSystem(const QString& text);

/// True when the bytes decode in the system code page without a single invalid sequence.
bool isValidSystemText(const QByteArray& bytes);

} // namespace platform
