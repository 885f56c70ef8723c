#include "ui/Commands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "checker/LinkChecker.h"
#include "jobs/LoadSequence.h"
#include "jobs/RestoreJob.h"
#include "ui/AboutBox.h"
#include "ui/CommandList.h"
#include "ui/FailureText.h"

namespace ui
{

using jobs::Command;

namespace
{

const QString kProductName = QStringLiteral("Tessaly");
// How many entries a message lists before it says how many more there are.
constexpr int kListedAtMost = 10;

// The entries, one a line, the first few of them.
QString listed(const QStringList& entries)
{
    QStringList lines = entries.mid(0, kListedAtMost);
    if (entries.size() > kListedAtMost)
        lines.append(QStringLiteral("……另有 %1 项").arg(entries.size() - kListedAtMost));
    return lines.join(u'\n');
}

QString leftOutText(const favorites::LeftOut& leftOut, const QString& what)
{
    // Each kind under its own name: pipes, sockets and devices are never opened; links only where the system does not
    // let the program make them.
    const std::pair<const QStringList*, QString> groups[] = {
        {&leftOut.pipes, QStringLiteral("以下 %1 个命名管道没有%2：\n")},
        {&leftOut.sockets, QStringLiteral("以下 %1 个套接字没有%2：\n")},
        {&leftOut.devices, QStringLiteral("以下 %1 个设备文件没有%2：\n")},
        {&leftOut.links, QStringLiteral("以下 %1 个链接没有%2（本系统不允许程序建立链接）：\n")},
    };
    QStringList parts;
    for (const auto& [entries, sentence] : groups) {
        if (!entries->isEmpty())
            parts.append(sentence.arg(entries->size()).arg(what) + listed(*entries));
    }
    return parts.join(u'\n');
}

// The favorites a save left out, each group with its true reason; the user can find a "|" or a line break, but not a
// character that only the code page lacks, so that one is named for what it is, with the way out.
QString unstoredText(const table::UnstoredRows& unstored)
{
    QStringList parts;
    if (!unstored.breakingLine.isEmpty())
        parts.append(
            QStringLiteral("以下 %1 条收藏的文件夹或名称中含有“|”或换行，结果文件无法记录，它们的检测结果没有保存：\n")
                .arg(unstored.breakingLine.size()) +
            listed(unstored.breakingLine));
    if (!unstored.outsideCodePage.isEmpty())
        parts.append(QStringLiteral("以下 %1 条收藏的文件夹或名称中有当前代码页无法保存的字符，结果文件无法记录，"
                                    "它们的检测结果没有保存（在“修改”中给它们换一个没有这些字符的名称或文件夹，"
                                    "以后就能保存）：\n")
                         .arg(unstored.outsideCodePage.size()) +
                     listed(unstored.outsideCodePage));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

Commands::Commands(jobs::AppState& state, checker::LinkChecker& checker, jobs::LoadSequence& load, QWidget* window)
    : QObject(window), m_checker(checker), m_load(load), m_rules(state, load, *this), m_window(window)
{
    connect(&m_rules, &jobs::CommandRules::commandFinished, this, &Commands::finished);
}

void Commands::run(Command command)
{
    switch (command) {
    case Command::StartCheck:
        m_checker.start();
        break;
    case Command::StopCheck:
        m_checker.stop();
        break;
    case Command::SaveResults:
        m_rules.saveResults();
        break;
    case Command::DeleteDead:
        m_rules.deleteDead();
        break;
    case Command::Backup:
        m_rules.backup();
        break;
    case Command::Restore:
        m_rules.restore();
        break;
    case Command::About:
        AboutBox::showAbout(m_window);
        break;
    case Command::Exit:
        // At once: nothing is saved and a running check is not stopped first. Work on the favorites stops at its next
        // safe point as the window closes (see ~MainWindow), leaving nothing half done.
        QCoreApplication::exit(0);
        break;
    }
}

bool Commands::confirmSaveWithoutAnswers()
{
    m_load.settle();
    // Not one address answered: most likely the network was down, and saving would count a "NO" against every
    // favorite. 取消 is the default and Esc's button.
    QMessageBox box(QMessageBox::Question, commandName(Command::SaveResults),
                    QStringLiteral("本次检测没有任何地址应答，可能是网络没有连通。仍然保存检测结果吗？"),
                    QMessageBox::NoButton, m_window);
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == save;
}

bool Commands::confirmDeleteForGood(Command command, const QStringList& paths, const platform::SystemError& why)
{
    m_load.settle();
    const QString reason = why.reason == platform::SystemReason::None
                               ? QStringLiteral("所在的磁盘没有回收站")
                               : QStringLiteral("无法放入回收站（%1）").arg(systemReasonText(why, paths));
    QStringList nativePaths;
    for (const QString& path : paths)
        nativePaths.append(QDir::toNativeSeparators(path));
    const QString text =
        command == Command::Restore
            ? QStringLiteral("收藏夹 %1 现在的收藏%2。还原会把它们永久删除，自备份以来新加和改动的收藏都将无法找回。"
                             "仍然还原吗？（取消则收藏夹保持原样。）")
                  .arg(nativePaths.value(0), reason)
            : QStringLiteral("以下 %1 个收藏%2，删除后无法恢复。仍然永久删除吗？（取消则不删除它们。）\n")
                      .arg(paths.size())
                      .arg(reason) +
                  listed(nativePaths);
    // 取消 is the default, and Esc's: nothing is lost by it.
    QMessageBox box(QMessageBox::Warning, commandName(command), text, QMessageBox::Ok | QMessageBox::Cancel, m_window);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QString Commands::replacedFavoritesName()
{
    // What it is and when, as the Recycle Bin lists it (and the Favorites folder, once it is put back).
    return QStringLiteral("收藏夹（还原前 %1）")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm")));
}

void Commands::reportFailure(Command command, const platform::Failure& failure)
{
    m_load.settle();
    const QString name = commandName(command);
    QString message = name + QStringLiteral("失败：") + failureText(failure);
    // A restore is all or nothing: unless it says otherwise, the Favorites folder is as it was.
    if (command == Command::Restore && !jobs::restoreLeftFavoritesChanged(failure))
        message += QStringLiteral("。收藏夹没有任何改变。");
    emit failed(message);
    QMessageBox::warning(m_window, name, message);
}

void Commands::reportDone(Command command, const jobs::CommandReport& report)
{
    // Only a backup says it is done; the others speak only of what they could not take along.
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title = commandName(command);
    QString text;
    switch (command) {
    case Command::Backup:
        icon = QMessageBox::NoIcon;
        title = kProductName;
        text = QStringLiteral("备份收藏夹完成！");
        if (!report.leftOut.isEmpty())
            text += QStringLiteral("\n\n") + leftOutText(report.leftOut, QStringLiteral("备份"));
        break;
    case Command::Restore:
        if (!report.leftOut.isEmpty())
            text = QStringLiteral("还原收藏夹完成。\n\n") + leftOutText(report.leftOut, QStringLiteral("还原"));
        break;
    case Command::SaveResults:
        if (!report.unstoredRows.isEmpty()) {
            icon = QMessageBox::Warning;
            text = QStringLiteral("检测结果已经保存，但") + unstoredText(report.unstoredRows);
        }
        break;
    case Command::StartCheck:
    case Command::StopCheck:
    case Command::DeleteDead:
    case Command::About:
    case Command::Exit:
        break;
    }
    if (text.isEmpty())
        return;
    // The window waits only for 确定 now: it shows what is on disk, without the busy notice.
    m_load.settle();
    QMessageBox box(icon, title, text, QMessageBox::Ok, m_window);
    box.exec();
}

void Commands::tellInterruptedRestore(favorites::InterruptedRestore found, const platform::Failure& failure)
{
    const QString name = commandName(Command::Restore);
    if (failure.failed()) {
        reportFailure(Command::Restore, failure);
        return;
    }
    if (found == favorites::InterruptedRestore::Finished)
        QMessageBox::information(m_window, name, QStringLiteral("上次的还原被中断了，现在已经把它完成。"));
    else if (found == favorites::InterruptedRestore::Undone)
        QMessageBox::information(m_window, name,
                                 QStringLiteral("上次的还原被中断了，收藏夹已经恢复成还原之前的样子。"));
}

void Commands::tellLoadFailure(const platform::Failure& failure)
{
    m_load.settle();
    QMessageBox::warning(m_window, kProductName, failureText(failure) + QStringLiteral("。"));
}

} // namespace ui
