#pragma once

#include <array>

#include <QString>
#include <QStringList>
#include <QVector>

namespace table {

/// The two verdicts; the empty string means "no verdict". Compared exactly everywhere.
inline const QString kYes = QStringLiteral("YES");
inline const QString kNo = QStringLiteral("NO");

/// History of one row: slot 0 the count of filled slots as decimal text ("0".."4", or empty when the
/// results file had no line for the row), slots 1..4 the first to fourth saved verdict.
using History = std::array<QString, 5>;

/// The per-row data behind the grid. Indexed by row number 1..fileCount; element 0 is unused.
struct LinkTable
{
    QStringList rowUrl{QString()};     // address read from the shortcut file
    QStringList rowFolder{QString()};  // folder relative to favPath: "" or "/Links/News" style
    QStringList rowState{QString()};   // latest verdict since the last load: "", "YES" or "NO"
    QVector<History> rowHistory{History{}};

    /// Bumped by every load: a verdict of a request sent before a reload belongs to another table.
    quint64 generation = 0;

    int rowCount() const { return int(rowUrl.size()) - 1; }

    /// Back to no rows (element 0 only); the generation goes on counting.
    void clearRows()
    {
        rowUrl = QStringList{QString()};
        rowFolder = QStringList{QString()};
        rowState = QStringList{QString()};
        rowHistory = QVector<History>{History{}};
    }
};

} // namespace table
