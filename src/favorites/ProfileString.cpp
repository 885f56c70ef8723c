#include "favorites/ProfileString.h"

#include <QList>

namespace favorites
{

using platform::TextEncoding;

namespace
{

// The same parser runs on decoded text and on raw bytes. On bytes it looks only at CR, LF, '[', ';', '=' and
// blanks, which never occur inside a multi-byte character of UTF-8 or of the ANSI code pages (GBK, GB18030,
// Big5, Shift-JIS all use lead bytes from 0x81 and trail bytes from 0x30/0x40 without these), so the bytes
// between them can be kept as they are even when they do not decode.

char16_t unitAt(const QString& source, qsizetype i)
{
    return source.at(i).unicode();
}

char16_t unitAt(const QByteArray& source, qsizetype i)
{
    return static_cast<unsigned char>(source.at(i));
}

bool isValueBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v';
}

bool isNameBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedBy(const QString& text, bool (*isBlank)(char16_t))
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin).unicode()))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1).unicode()))
        --end;
    return text.mid(begin, end - begin);
}

// Names given by the caller lose their spaces around them (not tabs), as the Windows functions do.
QString trimmedSpaces(const QString& name)
{
    return trimmedBy(name, [](char16_t c) { return c == u' '; });
}

QString withoutOuterQuotes(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

QString withoutLineBreaks(QString value)
{
    value.remove(u'\r');
    value.remove(u'\n');
    return value;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct TextCodec
{
    QString decode(const QString& source, qsizetype from, qsizetype length) const { return source.mid(from, length); }
    QString encode(const QString& text) const { return text; }
};

struct ByteCodec
{
    TextEncoding encoding;

    // A piece from inside the text: a U+FEFF at its start is a character of the name or value, not a mark to
    // pass over (the file's own mark is passed over before any line is read), so that the bytes read as the
    // decoded text does.
    QString decode(const QByteArray& source, qsizetype from, qsizetype length) const
    {
        return platform::decodeText(source.mid(from, length), encoding, true);
    }
    QByteArray encode(const QString& text) const { return platform::encodeText(text, encoding); }
};

struct Line
{
    qsizetype begin; // first unit of the line
    qsizetype end;   // the line end (or the end of the source)
    qsizetype next;  // first unit after the line end
};

template <typename Source> QList<Line> splitLines(const Source& source, qsizetype from)
{
    QList<Line> lines;
    const qsizetype size = source.size();
    qsizetype begin = from;
    while (begin < size) {
        qsizetype end = begin;
        while (end < size && unitAt(source, end) != u'\r' && unitAt(source, end) != u'\n')
            ++end;
        qsizetype next = end;
        if (next < size) {
            const bool crLf = unitAt(source, next) == u'\r' && next + 1 < size && unitAt(source, next + 1) == u'\n';
            next += crLf ? 2 : 1;
        }
        lines.append({begin, end, next});
        begin = next;
    }
    return lines;
}

qsizetype startOfText(const QString& source)
{
    return source.startsWith(QChar(0xFEFF)) ? 1 : 0;
}

qsizetype startOfText(const QByteArray& source)
{
    return source.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

// Where the key and its section are, as far as a read or a write needs to know.
struct Location
{
    int sectionLine = -1;  // the first header of the section
    int lastKeyLine = -1;  // the last key line of that section seen so far
    int keyLine = -1;      // the key's line
    qsizetype equals = -1; // position of the '=' on the key's line
};

template <typename Source, typename Codec>
Location locate(const Source& source, const QList<Line>& lines, const Codec& codec, const QString& section,
                const QString& key)
{
    Location location;
    bool inSection = false;
    for (int n = 0; n < lines.size(); ++n) {
        const Line& line = lines.at(n);
        qsizetype i = line.begin;
        while (i < line.end && isValueBlank(unitAt(source, i)))
            ++i;
        if (i == line.end)
            continue;
        if (unitAt(source, i) == u'[') {
            if (location.sectionLine >= 0)
                break; // only the first section of the name counts
            QString name = codec.decode(source, i + 1, line.end - i - 1);
            const qsizetype close = name.indexOf(u']');
            if (close >= 0)
                name.truncate(close);
            inSection = sameName(trimmedBy(name, isValueBlank), section);
            if (inSection)
                location.sectionLine = n;
            continue;
        }
        if (!inSection || unitAt(source, i) == u';')
            continue;
        qsizetype equals = i;
        while (equals < line.end && unitAt(source, equals) != u'=')
            ++equals;
        if (equals == line.end)
            continue; // not a key line
        location.lastKeyLine = n;
        if (sameName(trimmedBy(codec.decode(source, i, equals - i), isNameBlank), key)) {
            location.keyLine = n;
            location.equals = equals;
            break;
        }
    }
    return location;
}

template <typename Source, typename Codec>
QString readValue(const Source& source, const Codec& codec, const QString& section, const QString& key,
                  const QString& defaultValue)
{
    const QList<Line> lines = splitLines(source, startOfText(source));
    const Location location = locate(source, lines, codec, trimmedSpaces(section), trimmedSpaces(key));
    if (location.keyLine < 0) {
        QString value = defaultValue;
        while (value.endsWith(u' '))
            value.chop(1);
        return value;
    }
    const Line& line = lines.at(location.keyLine);
    const QString raw = codec.decode(source, location.equals + 1, line.end - location.equals - 1);
    return withoutOuterQuotes(trimmedBy(raw, isValueBlank));
}

template <typename Source, typename Codec>
Source writeValue(const Source& source, const Codec& codec, const QString& sectionName, const QString& keyName,
                  const QString& rawValue)
{
    const QString section = trimmedSpaces(sectionName);
    const QString key = trimmedSpaces(keyName);
    const QString value = withoutLineBreaks(rawValue);
    const Source lineEnd = codec.encode(QStringLiteral("\r\n"));
    const qsizetype start = startOfText(source);
    const QList<Line> lines = splitLines(source, start);
    const Location location = locate(source, lines, codec, section, key);

    if (location.keyLine >= 0) {
        // Everything up to the '=' stays, so the key keeps its spelling; the line now ends in CR LF.
        const Line& line = lines.at(location.keyLine);
        return source.left(location.equals + 1) + codec.encode(value) + lineEnd + source.mid(line.next);
    }

    const Source entry = codec.encode(key + u'=' + value) + lineEnd;
    if (location.sectionLine >= 0) {
        const Line& after = lines.at(location.lastKeyLine >= 0 ? location.lastKeyLine : location.sectionLine);
        Source insert;
        if (after.next == after.end) // the last line of the text, without a line end of its own
            insert += lineEnd;
        insert += entry;
        return source.left(after.next) + insert + source.mid(after.next);
    }

    Source result = source;
    if (result.size() > start) {
        const char16_t last = unitAt(result, result.size() - 1);
        if (last != u'\r' && last != u'\n')
            result += lineEnd;
    }
    result += codec.encode(u'[' + section + u']') + lineEnd + entry;
    return result;
}

// A UTF-16 file is parsed as text. Its mark stays in the text as the U+FEFF that the parser passes over, so that,
// as in the other encodings, one mark is passed over and a second one is part of the first line; the written text
// gets its mark back from encodeText alone.
QString utf16Text(const QByteArray& fileBytes)
{
    return platform::decodeText(fileBytes, TextEncoding::Utf16Le, true);
}

QByteArray utf16Bytes(const QString& text)
{
    return platform::encodeText(text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text, TextEncoding::Utf16Le);
}

} // namespace

QString readProfileString(const QString& fileText, const QString& section, const QString& key,
                          const QString& defaultValue)
{
    return readValue(fileText, TextCodec(), section, key, defaultValue);
}

QString writeProfileString(const QString& fileText, const QString& section, const QString& key, const QString& value)
{
    return writeValue(fileText, TextCodec(), section, key, value);
}

QString readProfileString(const QByteArray& fileBytes, TextEncoding encoding, const QString& section,
                          const QString& key, const QString& defaultValue)
{
    if (encoding == TextEncoding::Utf16Le)
        return readProfileString(utf16Text(fileBytes), section, key, defaultValue);
    return readValue(fileBytes, ByteCodec{encoding}, section, key, defaultValue);
}

QByteArray writeProfileString(const QByteArray& fileBytes, TextEncoding encoding, const QString& section,
                              const QString& key, const QString& value)
{
    if (encoding == TextEncoding::Utf16Le)
        return utf16Bytes(writeProfileString(utf16Text(fileBytes), section, key, value));
    return writeValue(fileBytes, ByteCodec{encoding}, section, key, value);
}

} // namespace favorites
