#include "table/DeadNetwork.h"

namespace table {

bool looksLikeDeadNetwork(const LinkTable& table)
{
    int no = 0;
    for (int i = 1; i < table.rowState.size(); ++i) {
        const QString& state = table.rowState.at(i);
        if (state == kYes)
            return false;
        if (state == kNo)
            ++no;
    }
    return no >= kDeadNetworkNoCount;
}

} // namespace table
