#pragma once

#include <QStringList>

#include "table/LinkTable.h"

// The two rules that decide from verdicts what happens to the user's favorites.

namespace table
{

/// The shortcut files of every row whose saved history condemns it (History::failedEveryCheck: four saved checks,
/// every one of them dead; the current, unsaved verdict plays no part), in row order: what
/// "delete the dead favorites" deletes.
QStringList deadFavorites(const LinkTable& table);

/// How many rows judged "NO" (with none judged "YES") make a check look like a dead network.
inline constexpr int kDeadNetworkNoCount = 5;

/// True when the current results look like a network that was down rather than dead links: at least
/// kDeadNetworkNoCount rows judged "NO" and not one judged "YES" (rows without a verdict do not count). Saving such
/// a check would bring every favorite one step closer to being deleted, so the save asks first.
bool looksLikeDeadNetwork(const LinkTable& table);

} // namespace table
