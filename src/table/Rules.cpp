#include "table/Rules.h"

namespace table
{

bool failedFourSavedChecks(const History& history)
{
    return history[0] == QLatin1String("4") && history[1] == kNo && history[2] == kNo && history[3] == kNo &&
           history[4] == kNo;
}

QStringList deadFavorites(const LinkTable& table)
{
    QStringList dead;
    for (int i = 1; i <= table.rowCount(); ++i) {
        if (failedFourSavedChecks(table.rowHistory(i)))
            dead.append(table.fullPath(i));
    }
    return dead;
}

bool looksLikeDeadNetwork(const LinkTable& table)
{
    int no = 0;
    for (const LinkRow& row : table.rows()) {
        if (row.state == kYes)
            return false;
        if (row.state == kNo)
            ++no;
    }
    return no >= kDeadNetworkNoCount;
}

} // namespace table
