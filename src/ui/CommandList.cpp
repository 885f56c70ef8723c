#include "ui/CommandList.h"

#include "ui/Artwork.h"

namespace ui
{

using jobs::Command;

const std::vector<CommandEntry>& commandList()
{
    // F5 and Esc as in a browser, Ctrl+S, F1 and Ctrl+Q as everywhere; else Ctrl and the command's initial.
    static const std::vector<CommandEntry> commands{
        {Command::StartCheck, QStringLiteral("开始检测"), StartCell, QKeySequence(Qt::Key_F5)},
        {Command::StopCheck, QStringLiteral("停止检测"), StopCell, QKeySequence(Qt::Key_Escape)},
        {Command::SaveResults, QStringLiteral("保存检测结果"), SaveCell, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {Command::DeleteDead, QStringLiteral("删除收藏夹无效地址"), DeleteInvalidCell,
         QKeySequence(Qt::CTRL | Qt::Key_D)},
        {Command::Backup, QStringLiteral("备份收藏夹"), BackupCell, QKeySequence(Qt::CTRL | Qt::Key_B)},
        {Command::Restore, QStringLiteral("还原收藏夹"), RestoreCell, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {Command::About, QStringLiteral("关于软件"), AboutCell, QKeySequence(Qt::Key_F1)},
        {Command::Exit, QStringLiteral("退出程序"), ExitCell, QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    return commands;
}

QString commandName(Command command)
{
    for (const CommandEntry& entry : commandList()) {
        if (entry.id == command)
            return entry.name;
    }
    return QString();
}

bool changesData(Command command)
{
    switch (command) {
    case Command::SaveResults:
    case Command::DeleteDead:
    case Command::Backup:
    case Command::Restore:
        return true;
    case Command::StartCheck:
    case Command::StopCheck:
    case Command::About:
    case Command::Exit:
        break;
    }
    return false;
}

} // namespace ui
