#pragma once

#include <array>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include "platform/Failure.h"
#include "table/LinkTable.h"

namespace table
{

/// One line of the results file: its six fields as written (folder, file name, four saved checks).
using SavedRow = std::array<QString, 6>;

/// The lines of the results file in file order, with an index from (folder, file name) to the first
/// line that names them.
struct SavedRows
{
    QVector<SavedRow> lines;
    QHash<QString, int> firstLine;

    /// The history of the first line for this folder and file name (exact, case-sensitive match),
    /// or an empty one when no line names them.
    History historyFor(const QString& folder, const QString& fileName) const;
};

/// The results file of a program folder: program folder + separator + "data.txt".
QString resultsFilePath(const QString& programFolder);

/// Reads the results file. A missing or unreadable file, or one that is not a regular file, gives no lines;
/// empty lines and lines that are not text (NUL bytes, invalid encoding) are skipped; missing fields read
/// as empty.
SavedRows readResults(const QString& path);

/// The same reading, on the whole contents of a results file.
SavedRows readResultsFromBytes(const QByteArray& bytes);

/// True when the text holds "|", CR or LF, any of which would break a results line apart.
bool breaksResultsLine(const QString& text);

/// The favorites a save could not give a line, their shortcut files in native form, by why: a folder or name that
/// would break its line, or that the system code page cannot write (it would read back as another name, which no
/// favorite has). A favorite with both faults is in both lists: it keeps no history until both are gone.
struct UnstoredRows
{
    QStringList breakingLine; // "|", CR or LF in the folder or the name
    QStringList
        outsideCodePage; // a character the system code page cannot write (GBK under code page 936: "Ł", an emoji)

    bool isEmpty() const { return breakingLine.isEmpty() && outsideCodePage.isEmpty(); }
};

/// Saves every row: folds each row's verdict into its history and rewrites the results file whole
/// and atomically. Rows whose folder or name cannot be stored are left out of the file, listed in *unstored by why.
/// On failure (including something other than a regular file in its place) the file and the in-memory histories are
/// left as they were, and *failure tells why.
bool saveResults(const QString& path, LinkTable& table, platform::Failure* failure = nullptr,
                 UnstoredRows* unstored = nullptr);

} // namespace table
