#include "table/ResultsFile.h"

#include <QFile>
#include <QFileInfo>

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/SaveFile.h"

namespace table
{

namespace
{

QString indexKey(const QString& folder, const QString& fileName)
{
    // NUL cannot occur in a path, so the key is unambiguous.
    return folder + QChar(0) + fileName;
}

void addLine(SavedRows& saved, const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.contains('\0') || !platform::isValidSystemText(bytes))
        return;
    const QStringList pieces = platform::decodeSystem(bytes).split(QLatin1Char('|'));
    SavedRow row;
    for (int k = 0; k < 6 && k < pieces.size(); ++k)
        row[std::size_t(k)] = pieces.at(k);
    const QString key = indexKey(row[0], row[1]);
    if (!saved.firstLine.contains(key))
        saved.firstLine.insert(key, int(saved.lines.size()));
    saved.lines.append(row);
}

} // namespace

History SavedRows::historyFor(const QString& folder, const QString& fileName) const
{
    const auto it = firstLine.constFind(indexKey(folder, fileName));
    if (it == firstLine.constEnd())
        return History{};
    const SavedRow& row = lines.at(it.value());
    History history;
    for (int k = 0; k < History::kDepth; ++k)
        history.checks[std::size_t(k)] = SavedCheck::fromText(row[std::size_t(k + 2)]);
    return history;
}

QString resultsFilePath(const QString& programFolder)
{
    return platform::joinPath(programFolder, QStringLiteral("data.txt"));
}

SavedRows readResults(const QString& path)
{
    // Only a regular file: opening a named pipe would wait for a writer that never comes.
    if (!QFileInfo(path).isFile())
        return SavedRows();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SavedRows();
    return readResultsFromBytes(file.readAll());
}

SavedRows readResultsFromBytes(const QByteArray& all)
{
    SavedRows saved;
    // A line ends at CR, CR LF or LF.
    qsizetype start = 0;
    const qsizetype size = all.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = all.at(i);
        if (c != '\r' && c != '\n')
            continue;
        addLine(saved, all.mid(start, i - start));
        if (c == '\r' && i + 1 < size && all.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        addLine(saved, all.mid(start));
    return saved;
}

bool breaksResultsLine(const QString& text)
{
    return text.contains(QLatin1Char('|')) || text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool saveResults(const QString& path, LinkTable& table, platform::Failure* failure, UnstoredRows* unstored)
{
    UnstoredRows left;
    const int rows = table.rowCount();
    QVector<History> folded;
    folded.reserve(rows);
    QByteArray out;
    out.reserve(rows * 96);
    const QString bar = QStringLiteral("|");
    for (int i = 1; i <= rows; ++i) {
        const LinkRow& row = table.row(i);
        folded.append(row.history);
        folded.last().fold(row.outcome.verdict);
        const bool breaking = breaksResultsLine(row.filePath) || breaksResultsLine(row.fileName);
        const bool outside = !platform::canEncodeSystem(row.filePath) || !platform::canEncodeSystem(row.fileName);
        if (breaking || outside) {
            const QString shortcut = platform::nativePath(table.fullPath(i));
            if (breaking)
                left.breakingLine.append(shortcut);
            if (outside)
                left.outsideCodePage.append(shortcut);
            continue;
        }
        QString line = row.filePath + bar + row.fileName;
        for (const SavedCheck& check : folded.last().checks)
            line += bar + check.text();
        out += platform::encodeSystem(line);
        out += "\r\n";
    }

    // A folder or a named pipe in the file's place is left alone: writing to a pipe could block for ever.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile())
        return platform::fail(failure, platform::FileFailure::NotARegularFile, path);
    if (!platform::saveFileContents(path, out, failure))
        return false;
    table.setHistories(folded);
    if (unstored)
        *unstored = left;
    return true;
}

} // namespace table
