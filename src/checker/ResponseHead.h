#pragma once

#include <utility>

#include <QByteArray>
#include <QList>

namespace checker
{

/// An answer's head as far as it came: the status its status line gave (0 for none) and its header lines in their
/// order, each name in lower case and each value without the blanks around it.
struct ResponseHead
{
    int status = 0;
    QList<std::pair<QByteArray, QByteArray>> headers;

    /// The value of the first header of that name (lower case); empty when there is none.
    QByteArray value(const QByteArray& name) const
    {
        for (const auto& [n, v] : headers) {
            if (n == name)
                return v;
        }
        return QByteArray();
    }
    bool has(const QByteArray& name) const
    {
        for (const auto& header : headers) {
            if (header.first == name)
                return true;
        }
        return false;
    }
    /// Adds a header line as it came ("Name: value"); a line without a colon is left out.
    void addLine(QByteArray line)
    {
        const int colon = int(line.indexOf(':'));
        if (colon <= 0)
            return;
        headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
};

} // namespace checker
