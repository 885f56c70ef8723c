#include "ui/Commands.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "checker/LinkChecker.h"
#include "favorites/Maintenance.h"
#include "table/ResultsFile.h"
#include "table/Rules.h"
#include "ui/AboutBox.h"
#include "ui/Artwork.h"
#include "ui/FailureText.h"
#include "ui/LoadSequence.h"

namespace ui
{

namespace
{

const QString kSave = QStringLiteral("保存检测结果");
const QString kDeleteInvalid = QStringLiteral("删除收藏夹无效地址");
const QString kBackup = QStringLiteral("备份收藏夹");
const QString kRestore = QStringLiteral("还原收藏夹");

} // namespace

const std::vector<Commands::Command>& Commands::all()
{
    // F5 and Esc as in a browser, Ctrl+S, F1 and Ctrl+Q as everywhere; else Ctrl and the command's initial.
    static const std::vector<Command> commands{
        {QStringLiteral("a"), QStringLiteral("开始检测"), StartCell, QKeySequence(Qt::Key_F5), &Commands::startCheck},
        {QStringLiteral("b"), QStringLiteral("停止检测"), StopCell, QKeySequence(Qt::Key_Escape), &Commands::stopCheck},
        {QStringLiteral("c"), kSave, SaveCell, QKeySequence(Qt::CTRL | Qt::Key_S), &Commands::saveResults},
        {QStringLiteral("d"), kDeleteInvalid, DeleteInvalidCell, QKeySequence(Qt::CTRL | Qt::Key_D),
         &Commands::deleteInvalid},
        {QStringLiteral("e"), kBackup, BackupCell, QKeySequence(Qt::CTRL | Qt::Key_B), &Commands::backup},
        {QStringLiteral("f"), kRestore, RestoreCell, QKeySequence(Qt::CTRL | Qt::Key_R), &Commands::restore},
        {QStringLiteral("g"), QStringLiteral("关于软件"), AboutCell, QKeySequence(Qt::Key_F1), &Commands::about},
        {QStringLiteral("h"), QStringLiteral("退出程序"), ExitCell, QKeySequence(Qt::CTRL | Qt::Key_Q),
         &Commands::exit},
    };
    return commands;
}

Commands::Commands(table::AppState& state, checker::LinkChecker& checker, LoadSequence& load, QWidget* window)
    : QObject(window), m_state(state), m_checker(checker), m_load(load), m_window(window)
{
}

void Commands::run(const QString& key)
{
    for (const Command& command : all()) {
        if (command.key == key) {
            (this->*command.run)();
            return;
        }
    }
}

void Commands::startCheck()
{
    m_checker.StartTh();
}

void Commands::stopCheck()
{
    m_checker.StopTh();
}

void Commands::saveResults()
{
    // Without a Favorites folder the table is empty: saving would only wipe every saved history.
    if (!favoritesFolderUsable(kSave))
        return;
    // Until a scheduled load has run, the table still holds the rows of before the last save or delete: their
    // verdicts would be folded into the histories a second time.
    m_load.finishPending();
    if (table::looksLikeDeadNetwork(m_state.table) && !confirmSaveWithoutAnswers())
        return;
    // The file is written first: when it cannot be, the table stays as it is and nothing is lost.
    platform::Failure failure;
    if (!table::saveResults(table::resultsFilePath(m_state.programFolder), m_state.table, &failure)) {
        reportFailure(kSave, failure);
        return;
    }
    m_load.reloadFromDisk();
}

bool Commands::confirmSaveWithoutAnswers()
{
    // Not one address answered: most likely the network was down, and saving would count a "NO" against every
    // favorite. 取消 is the default and Esc's button.
    QMessageBox box(QMessageBox::Question, kSave,
                    QStringLiteral("本次检测没有任何地址应答，可能是网络没有连通。仍然保存检测结果吗？"),
                    QMessageBox::NoButton, m_window);
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == save;
}

void Commands::deleteInvalid()
{
    if (!favoritesFolderUsable(kDeleteInvalid))
        return;
    const QString favPath = m_state.catalogue.favPath;
    // The rows must be those of the files on disk (see saveResults).
    m_load.finishPending();
    platform::Failure failure;
    const bool ok = favorites::deleteFavorites(favPath, table::deadFavorites(m_state.table), nullptr, &failure);
    // Whatever happened, the table is rebuilt from what is on disk.
    m_load.reloadFromDisk();
    if (!ok)
        reportFailure(kDeleteInvalid, failure);
}

void Commands::backup()
{
    platform::Failure failure;
    if (!favorites::backupFavorites(m_state.catalogue.favPath, favorites::backupFolderPath(m_state.programFolder),
                                    &failure)) {
        reportFailure(kBackup, failure);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tessaly"), QStringLiteral("备份收藏夹完成！"), QMessageBox::Ok,
                    m_window);
    box.exec();
}

void Commands::restore()
{
    if (!favoritesFolderUsable(kRestore))
        return;
    const QString favPath = m_state.catalogue.favPath;
    platform::Failure failure;
    const bool ok = favorites::restoreFavorites(favorites::backupFolderPath(m_state.programFolder), favPath, &failure);
    m_load.reloadFromDisk();
    if (!ok)
        reportFailure(kRestore, failure);
}

void Commands::about()
{
    AboutBox::showAbout(m_window);
}

void Commands::exit()
{
    // At once: nothing is saved and a running check is not stopped first.
    QCoreApplication::exit(0);
}

bool Commands::favoritesFolderUsable(const QString& command)
{
    const platform::Failure problem = favorites::favoritesFolderProblem(m_state.catalogue.favPath);
    if (problem.failed())
        reportFailure(command, problem);
    return !problem.failed();
}

void Commands::reportFailure(const QString& command, const platform::Failure& failure)
{
    const QString message = command + QStringLiteral("失败：") + failureText(failure);
    emit failed(message);
    QMessageBox::warning(m_window, command, message);
}

} // namespace ui
