#include "table/Rules.h"

namespace table
{

QStringList deadFavorites(const LinkTable& table)
{
    QStringList dead;
    for (int i = 1; i <= table.rowCount(); ++i) {
        if (table.history(i).failedEveryCheck())
            dead.append(table.fullPath(i));
    }
    return dead;
}

bool looksLikeDeadNetwork(const LinkTable& table)
{
    int no = 0;
    for (const LinkRow& row : table.rows()) {
        if (row.outcome.verdict == Verdict::Alive)
            return false;
        if (row.outcome.verdict == Verdict::Dead)
            ++no;
    }
    return no >= kDeadNetworkNoCount;
}

} // namespace table
