#pragma once

#include <QString>

#include "platform/Failure.h"
#include "table/Verdict.h"

// Every failure the user is told about is worded here, in Chinese, from what the core reports.

namespace ui
{

/// The sentence that says what failed and where and, when the system gave one, why, e.g.
/// "无法写入文件：/home/user/data.txt（磁盘空间不足）". "" for no failure.
QString failureText(const platform::Failure& failure);

/// The system's reason in words: the program's own wording for a reason it tells apart; else the system's own
/// text when it is in Chinese (apart from the paths in it, which are left out of the judgement); else the
/// error code. "" when no system call failed. paths are the failure's paths, which the system's text may hold.
QString systemReasonText(const platform::SystemError& error, const QStringList& paths = QStringList());

/// Why the current check judged a favorite as it did, as the 结果 cell's tool tip says it: the server's answer
/// ("服务器应答 404"; a redirect with the address it names) or why none came ("连接被拒绝"). "" when nothing is known
/// of the reason (no verdict, or one that came from elsewhere than a request).
QString outcomeText(const table::Outcome& outcome);

/// What a second start on a data folder that a running copy already uses tells the user.
QString alreadyRunningText(const QString& dataFolder);

/// What a second start on a Favorites folder that a running copy already works on tells the user.
QString favoritesInUseText(const QString& favPath);

} // namespace ui
