#pragma once

#include "table/LinkTable.h"

namespace table {

/// How many rows judged "NO" (with none judged "YES") make a check look like a dead network.
inline constexpr int kDeadNetworkNoCount = 5;

/// True when the current results look like a network that was down rather than dead links: at least
/// kDeadNetworkNoCount rows judged "NO" and not one judged "YES" (rows without a verdict do not count). Saving such
/// a check would bring every favorite one step closer to being deleted, so the save asks first.
bool looksLikeDeadNetwork(const LinkTable& table);

} // namespace table
