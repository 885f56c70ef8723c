#include "support/FuzzChecks.h"

#include <QHash>

#include "favorites/ProfileString.h"
#include "platform/CodePage.h"
#include "table/ResultsFile.h"

namespace testsupport
{

namespace
{

const QString section = QStringLiteral("InternetShortcut");
const QString key = QStringLiteral("URL");

QString encodingName(platform::TextEncoding encoding)
{
    switch (encoding) {
    case platform::TextEncoding::System:
        return QStringLiteral("system");
    case platform::TextEncoding::Gb18030:
        return QStringLiteral("GB18030");
    case platform::TextEncoding::Utf16Le:
        return QStringLiteral("UTF-16LE");
    }
    return QString();
}

} // namespace

QString checkProfileStringInput(const QByteArray& input)
{
    // The address a round writes: plain, so that it must come back exactly.
    const QString address = QStringLiteral("http://fuzz.example/") + QString::number(input.size());
    const platform::DecodedText decoded = platform::decodeText(input);
    platform::encodeText(decoded.text, decoded.encoding);

    for (const platform::TextEncoding encoding :
         {platform::TextEncoding::System, platform::TextEncoding::Gb18030, platform::TextEncoding::Utf16Le}) {
        const QString name = encodingName(encoding);
        favorites::readProfileString(input, encoding, section, key);
        const QByteArray written = favorites::writeProfileString(input, encoding, section, key, address);
        const QString readBack = favorites::readProfileString(written, encoding, section, key);
        if (readBack != address)
            return QStringLiteral("%1: wrote %2, read back %3").arg(name, address, readBack.left(200));
        if (favorites::writeProfileString(written, encoding, section, key, address) != written)
            return QStringLiteral("%1: writing the same address twice changed the file").arg(name);
    }

    if (platform::isValidSystemText(input)) {
        // The text keeps its mark, which the text reader passes over itself, as the byte reader does.
        const QString text = platform::decodeSystem(input, true);
        const QString fromText = favorites::readProfileString(text, section, key);
        const QString fromBytes = favorites::readProfileString(input, platform::TextEncoding::System, section, key);
        if (fromText != fromBytes)
            return QStringLiteral("the text reader found %1, the byte reader %2")
                .arg(fromText.left(200), fromBytes.left(200));
        const QString writtenText = favorites::writeProfileString(text, section, key, address);
        if (favorites::readProfileString(writtenText, section, key) != address)
            return QStringLiteral("text: the address does not read back");
    }
    return QString();
}

QString checkResultsInput(const QByteArray& input)
{
    const table::SavedRows saved = table::readResultsFromBytes(input);
    if (saved.lines.size() > input.count('\r') + input.count('\n') + 1)
        return QStringLiteral("%1 lines from %2 line breaks").arg(saved.lines.size()).arg(input.count('\n'));
    QHash<QPair<QString, QString>, qsizetype> first;
    for (qsizetype n = 0; n < saved.lines.size(); ++n) {
        const table::SavedRow& row = saved.lines.at(n);
        for (std::size_t field = 0; field < row.size(); ++field) {
            if (row[field].contains(u'\r') || row[field].contains(u'\n') || row[field].contains(u'|') ||
                row[field].contains(QChar(0)))
                return QStringLiteral("line %1: field %2 holds a separator").arg(n + 1).arg(field + 1);
        }
        first.insert({row[0], row[1]}, first.value({row[0], row[1]}, n));
    }
    for (auto it = first.cbegin(); it != first.cend(); ++it) {
        const table::SavedRow& row = saved.lines.at(it.value());
        const table::History found = saved.historyFor(it.key().first, it.key().second);
        for (int k = 0; k < table::History::kDepth; ++k) {
            if (found.checks[std::size_t(k)].text() != row[std::size_t(k + 2)])
                return QStringLiteral("line %1 is not the one found for its favorite").arg(it.value() + 1);
        }
    }
    return QString();
}

} // namespace testsupport
