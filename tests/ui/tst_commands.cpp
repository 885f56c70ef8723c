// What the user sees of the toolbar commands in the real window: the end of a check, the question before a save,
// the busy notice while a command works, the messages. The rules behind them are tests/jobs/tst_commandrules.cpp.

#include <atomic>
#include <memory>
#include <new>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "favorites/WorkingFolder.h"
#include "jobs/LoadSequence.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/ChildRun.h"
#include "support/FailingRenames.h"
#include "support/FileModes.h"
#include "support/LoopbackHttpServer.h"
#include "support/ModalWatcher.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "support/WindowFixture.h"
#include "ui/BusyNotice.h"
#include "ui/CommandList.h"
#include "ui/LinkTableModel.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using jobs::Command;
using testsupport::folderContents;
using testsupport::gridRows;
using testsupport::ModalWatcher;
using testsupport::resultLines;
using testsupport::shortcutBytes;
using testsupport::WindowFixture;
using testsupport::writeFile;
using ui::LinkTableModel;

namespace
{

const QString kBackupDone = QStringLiteral("备份收藏夹完成！");
const QString kNoAnswerQuestion = QStringLiteral("本次检测没有任何地址应答，可能是网络没有连通。仍然保存检测结果吗？");

// The one message box that came up tells a failure of the command in Chinese: its name, no Latin letter outside
// the paths it names (Qt's and the system's reasons included), and Qt's standard button in Chinese.
bool failureToldInChinese(const ModalWatcher& watcher, const QString& command)
{
    if (watcher.count() != 1) {
        qWarning("%d modal windows came up, not 1", watcher.count());
        return false;
    }
    const ModalWatcher::Seen& box = watcher.seen().constFirst();
    const bool told = box.className == QLatin1String("QMessageBox") && box.title == command &&
                      box.text.startsWith(command + QStringLiteral("失败：")) &&
                      !testsupport::hasLatinOutsidePaths(box.text) && box.buttons == QStringList{"确定"};
    if (!told)
        qWarning("message box %s: \"%s\", buttons %s", qPrintable(box.title), qPrintable(box.text),
                 qPrintable(box.buttons.join(", ")));
    return told;
}

constexpr int kLongWorkFavorites = 12;

// A Favorites folder of kLongWorkFavorites favorites in three folders, each dead four times over, with a backup of
// it that differs from it in each favorite's address; opened in the window, whose worker is held at the given entry of
// its first load when `work` is the load, else of the command's work (which the test starts).
bool openForLongWork(WindowFixture& f, jobs::LongWork work, int step, std::unique_ptr<testsupport::WorkerGate>& gate)
{
    QStringList lines;
    for (int i = 1; i <= kLongWorkFavorites; ++i) {
        const QString name = QStringLiteral("f%1.url").arg(i, 2, 10, QLatin1Char('0'));
        const QString folder = QStringLiteral("/Sub%1").arg(i % 3);
        if (!writeFile(f.backup() + folder + u'/' + name, shortcutBytes(QStringLiteral("http://old.test/%1").arg(i))) ||
            !f.addFavorite(folder + u'/' + name, QStringLiteral("http://f.test/%1").arg(i)))
            return false;
        lines << folder + u'|' + name + QStringLiteral("|NO|NO|NO|NO");
    }
    if (!f.writeResults(lines))
        return false;
    f.open();
    gate = std::make_unique<testsupport::WorkerGate>(f.window().loadSequence(), step);
    if (work == jobs::LongWork::Load)
        return true;
    if (!QTest::qWaitFor([&] { return gate->isHeld(); }, 10000))
        return false;
    gate->open();
    if (!QTest::qWaitFor([&] { return !f.window().loadSequence().isWorking(); }, 10000))
        return false;
    gate = std::make_unique<testsupport::WorkerGate>(f.window().loadSequence(), step);
    return true;
}

Command commandOf(jobs::LongWork work)
{
    return work == jobs::LongWork::DeleteDead ? Command::DeleteDead
           : work == jobs::LongWork::Backup   ? Command::Backup
                                              : Command::Restore;
}

// Clicks the command's button and waits until its work is over.
bool runToTheEnd(ui::MainWindow& w, Command command)
{
    QSignalSpy finished(&w, &ui::MainWindow::commandFinished);
    w.runCommand(command);
    return !finished.isEmpty() || finished.wait(30000);
}

} // namespace

class CommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkThenSaveFoldsResultsIntoHistory();
    void saveQuestionCancelsByDefault_data();
    void saveQuestionCancelsByDefault();
    void saveNamesTheTrueReasonOfEachUnstoredRow();
    void deleteWorksBehindTheBusyNotice();
    void backupSaysWhatItLeftOut();
    void failuresAreToldInChinese_data();
    void failuresAreToldInChinese();
    void interruptedRestoreIsToldAtStartUp();
    void restoreWithoutRecycleBinAsksFirst();
    void windowAnswersDuringLongWork_data();
    void windowAnswersDuringLongWork();
    void exitDuringLongWorkLeavesNothingBroken_data();
    void exitDuringLongWorkLeavesNothingBroken();
    void unexpectedErrorsAreToldAndTheWindowGoesOn();
    void restoreNotUndoneSaysWhereTheFavoritesAre();
};

void CommandsTest::initTestCase()
{
    // As the program does at start-up: Qt's own texts (the standard buttons) in Chinese whatever the locale.
    QVERIFY(ui::loadQtTranslation());
}

void CommandsTest::checkThenSaveFoldsResultsIntoHistory()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    const QString alive = server.url(QStringLiteral("/200"));
    const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::LoopbackHttpServer::closedPort());

    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", alive));
    QVERIFY(f.addFavorite("Sub/b.url", dead));
    QVERIFY(f.addFavorite("Sub/Deep/c.url", alive));
    QVERIFY(f.writeResults({"|a.url|YES|NO||", "/Sub|b.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();

    ModalWatcher watcher;
    QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
    w.runCommand(Command::StartCheck);
    QCOMPARE(w.panelText(5), QString("正在检测"));
    QVERIFY(finished.wait(20000));
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"检测完毕"});
    QCOMPARE(w.panelText(5), QString("检测完毕"));
    QCOMPARE(w.model().cell(1, LinkTableModel::ResultColumn), QString("YES"));
    QCOMPARE(w.model().cell(2, LinkTableModel::ResultColumn), QString("NO"));
    QCOMPARE(w.model().cell(3, LinkTableModel::ResultColumn), QString("YES"));

    // A favorite added since the load is counted at once and shown after the reload.
    QVERIFY(f.addFavorite("new.url", alive));
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.runCommand(Command::SaveResults);
    QCOMPARE(w.model().dataRowCount(), 0);
    QTRY_COMPARE(w.panelText(3), QString("地址 4 条"));
    QVERIFY(!loaded.isEmpty() || loaded.wait(5000));
    const QString s = platform::separator();
    QCOMPARE(gridRows(w.model()),
             QStringList({"|a|" + alive + "||YES|NO|YES|", "|new|" + alive + "|||||",
                          s + "Sub|b|" + dead + "||NO|NO|NO|NO", s + "Sub" + s + "Deep|c|" + alive + "||YES|||"}));
    QCOMPARE(watcher.count(), 1);
}

void CommandsTest::saveQuestionCancelsByDefault_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("saved anyway") << "保存";
    QTest::newRow("Esc cancels") << "Esc";
    QTest::newRow("Enter takes the default: cancel") << "Enter";
}

void CommandsTest::saveQuestionCancelsByDefault()
{
    QFETCH(QString, answer);
    WindowFixture f;
    for (int i = 1; i <= 5; ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i), "http://f.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    testsupport::setAllStates(f.state.table, table::Verdict::Dead);
    const QStringList rows = gridRows(w.model());

    ModalWatcher watcher;
    QStringList buttons;
    watcher.onNext([&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        for (QAbstractButton* button : box ? box->buttons() : QList<QAbstractButton*>())
            buttons.append(button->text());
        if (box && (answer == "Esc" || answer == "Enter"))
            QTest::keyClick(box, answer == "Esc" ? Qt::Key_Escape : Qt::Key_Return);
        else if (box && buttons.contains(answer))
            box->buttons().at(buttons.indexOf(answer))->click();
        else
            testsupport::closeModal(widget);
    });
    QVERIFY(runToTheEnd(w, Command::SaveResults));
    QCOMPARE(watcher.messageTexts(), QStringList{kNoAnswerQuestion});
    QCOMPARE(watcher.seen().constFirst().title, QString("保存检测结果"));
    QCOMPARE(buttons, QStringList({"保存", "取消"}));
    if (answer == "保存") {
        QCOMPARE(resultLines(f.results()).size(), 5);
        QVERIFY(f.waitLoaded());
        return;
    }
    QVERIFY(!QFileInfo::exists(f.results()));
    QCOMPARE(gridRows(w.model()), rows);
}

// The favorites a save cannot give a line are named under the reason that holds for each: a "|" or a line break the
// user can find, or a character the code page lacks (which no one could find as a "|"), with the way out.
void CommandsTest::saveNamesTheTrueReasonOfEachUnstoredRow()
{
#ifdef Q_OS_WIN
    QSKIP("a name with \"|\" cannot be made on this platform");
#else
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.addFavorite("bar|in name.url", "http://bar.test/"));
    QVERIFY(f.addFavorite("Sub/z.url", "http://z.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    // Sub/z.url as a favorite whose name the code page cannot write: in UTF-8, a name with a lone surrogate.
    table::LinkTable& table = f.state.table;
    int row = 1;
    while (row <= table.rowCount() && table.fileName(row) != "z.url")
        ++row;
    QVERIFY(table.hasRow(row));
    const QString outside = QStringLiteral("Łódź ") + QChar(0xD83D) + QStringLiteral(".url");
    table.setFavorite(row, outside, table.filePath(row), table.rowFolder(row), table.rowUrl(row));

    ModalWatcher watcher;
    QVERIFY(runToTheEnd(w, Command::SaveResults));
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.seen().constFirst().title, QString("保存检测结果"));
    QCOMPARE(watcher.messageTexts(),
             QStringList{"检测结果已经保存，但以下 1 条收藏的文件夹或名称中含有“|”或换行，结果文件无法记录，"
                         "它们的检测结果没有保存：\n" +
                         f.fav() +
                         "/bar|in name.url\n\n以下 1 条收藏的文件夹或名称中有当前代码页无法保存的字符，"
                         "结果文件无法记录，它们的检测结果没有保存（在“修改”中给它们换一个没有这些字符的名称"
                         "或文件夹，以后就能保存）：\n" +
                         f.fav() + "/Sub/" + outside});
    QCOMPARE(resultLines(f.results()), QStringList{f.fav() + "|a.url||||"});
#endif
}

// The busy notice is painted before the deletion starts and hidden once the table shows what is left.
void CommandsTest::deleteWorksBehindTheBusyNotice()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("keep.url", "http://keep/"));
    QVERIFY(f.writeResults({"|dead.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QVERIFY(!w.busyNotice()->isVisible());

    // Whether the favorite was still there when the notice came up.
    int shown = 0;
    bool deletedBeforeShown = false;
    testsupport::EventWatch watch(w.busyNotice(), QEvent::Show, [&] {
        ++shown;
        deletedBeforeShown = !QFileInfo::exists(f.fav() + "/dead.url");
    });
    QSignalSpy finished(&w, &ui::MainWindow::commandFinished);
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.runCommand(Command::DeleteDead);
    QVERIFY(QFileInfo::exists(f.fav() + "/dead.url"));
    QVERIFY(finished.wait(10000));
    QVERIFY(!loaded.isEmpty() || loaded.wait(5000));
    QCOMPARE(shown, 1);
    QVERIFY(!deletedBeforeShown);
    QVERIFY(!QFileInfo::exists(f.fav() + "/dead.url"));
    QVERIFY(!w.busyNotice()->isVisible());
    QCOMPARE(gridRows(w.model()), QStringList{"|keep|http://keep/|||||"});
}

// The message that ends a backup says it is complete and names, in words that fit, what it had to leave out; the busy
// notice is gone while it waits for 确定.
void CommandsTest::backupSaysWhatItLeftOut()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QStringList rows = gridRows(w.model());
    ModalWatcher watcher;
    QList<bool> busyUnderBox;
    const auto noteBusy = [&](QWidget* box) {
        busyUnderBox.append(w.busyNotice()->isVisible());
        testsupport::closeModal(box);
    };
    watcher.onNext(noteBusy);
    QVERIFY(runToTheEnd(w, Command::Backup));
    QCOMPARE(watcher.messageTexts(), QStringList{kBackupDone});
    QCOMPARE(watcher.seen().constFirst().title, QString("Tessaly"));
#ifdef Q_OS_UNIX
    QCOMPARE(::mkfifo(QFile::encodeName(f.fav() + "/pipe").constData(), 0644), 0);
    QVERIFY(testsupport::makeSocketFile(f.fav() + "/socket"));
    watcher.clear();
    watcher.onNext(noteBusy);
    QVERIFY(runToTheEnd(w, Command::Backup));
    QCOMPARE(watcher.messageTexts(), QStringList{kBackupDone + "\n\n以下 1 个命名管道没有备份：\n" + f.fav() +
                                                 "/pipe\n以下 1 个套接字没有备份：\n" + f.fav() + "/socket"});
    QVERIFY(!testsupport::hasLatinOutsidePaths(watcher.messageTexts().constFirst()));
#endif
    QVERIFY(!busyUnderBox.isEmpty());
    QVERIFY(!busyUnderBox.contains(true));
    QCOMPARE(gridRows(w.model()), rows);
}

void CommandsTest::failuresAreToldInChinese_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("favorites"); // relative to the test folder
    QTest::newRow("save without a Favorites folder") << int(Command::SaveResults) << "保存检测结果"
                                                     << "NoSuchFolder";
    QTest::newRow("delete without a Favorites folder") << int(Command::DeleteDead) << "删除收藏夹无效地址"
                                                       << "NoSuchFolder";
    QTest::newRow("backup without a Favorites folder") << int(Command::Backup) << "备份收藏夹"
                                                       << "NoSuchFolder";
    QTest::newRow("restore without a backup") << int(Command::Restore) << "还原收藏夹"
                                              << "Favorites";
}

void CommandsTest::failuresAreToldInChinese()
{
    QFETCH(int, command);
    QFETCH(QString, name);
    QFETCH(QString, favorites);
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    const QString value = platform::joinPath(f.root(), favorites);
    QVERIFY(f.start(value));
    ui::MainWindow& w = f.window();
    const QStringList rows = gridRows(w.model());
    const QMap<QString, QByteArray> disk = folderContents(f.root());

    ModalWatcher watcher;
    bool busyUnderBox = true;
    watcher.onNext([&](QWidget* box) {
        busyUnderBox = w.busyNotice()->isVisible();
        testsupport::closeModal(box);
    });
    QSignalSpy failed(&w, &ui::MainWindow::commandFailed);
    QVERIFY(runToTheEnd(w, Command(command)));
    QVERIFY(failureToldInChinese(watcher, name));
    QVERIFY(!busyUnderBox);
    const QString text = watcher.messageTexts().constFirst();
    QVERIFY2(text.contains(Command(command) == Command::Restore ? f.backup() : value), qPrintable(text));
    if (Command(command) == Command::Restore)
        QVERIFY2(text.endsWith("收藏夹没有任何改变。"), qPrintable(text));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(gridRows(w.model()), rows);
}

// A restore stopped while it was moving the old favorites aside: the next start puts them back before it lists
// anything, and says so. What a backup killed half-way left beside the backup goes too.
void CommandsTest::interruptedRestoreIsToldAtStartUp()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(writeFile(f.backup() + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(writeFile(f.backup() + ".new/half.url", shortcutBytes("http://half/")));
    QVERIFY(favorites::WorkingFolder(f.backup() + ".new").setPhase(favorites::Phase::Copying, nullptr));
    QVERIFY(writeFile(f.backup() + ".old/previous.url", shortcutBytes("http://previous/")));
    QVERIFY(favorites::WorkingFolder(f.backup() + ".old").setPhase(favorites::Phase::SetAside, nullptr));
    const QMap<QString, QByteArray> backup = folderContents(f.backup());
    const QString fresh = f.fav() + "/.tessaly-restore-new";
    const QString old = f.fav() + "/.tessaly-restore-old";
    QVERIFY(writeFile(fresh + "/new.url", shortcutBytes("http://new/")));
    QVERIFY(favorites::WorkingFolder(fresh).setPhase(favorites::Phase::Complete, nullptr));
    QVERIFY(QDir().mkpath(old));
    QVERIFY(favorites::WorkingFolder(old).setPhase(favorites::Phase::Aside, nullptr));
    QVERIFY(QDir().rename(f.fav() + "/Sub", old + "/Sub"));

    ModalWatcher watcher;
    QVERIFY(f.start());
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"上次的还原被中断了，收藏夹已经恢复成还原之前的样子。"});
    const QString s = platform::separator();
    QCOMPARE(gridRows(f.window().model()), QStringList({"|a|http://a/|||||", s + "Sub|b|http://b/|||||"}));
    QCOMPARE(QDir(f.fav()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             QStringList({"Sub", "a.url"}));
    QCOMPARE(QDir(f.program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"data"});
    QCOMPARE(folderContents(f.backup()), backup);
}

// Where the Favorites folder's volume has no Recycle Bin (a tmpfs of its own, where no Trash can be made, see
// tst_commandrules), the restore asks in Chinese before it deletes the favorites it replaces; 取消 is the default, and
// Return leaves the Favorites folder as it was.
void CommandsTest::restoreWithoutRecycleBinAsksFirst()
{
    if (!testsupport::isChildRun())
        return testsupport::rerunOnOwnTmpfs(QStringLiteral("size=16m"));
#ifdef Q_OS_UNIX
    const QString volume = testsupport::volumeWithoutRecycleBin();
    WindowFixture f;
    const QString fav = volume + "/Favorites";
    QVERIFY(writeFile(fav + "/added.url", shortcutBytes("http://added/")));
    QVERIFY(writeFile(f.backup() + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(f.start(fav));
    const QMap<QString, QByteArray> before = folderContents(fav);
    ModalWatcher watcher;
    watcher.onNext([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
    QVERIFY(runToTheEnd(f.window(), Command::Restore));
    QCOMPARE(watcher.count(), 1);
    const ModalWatcher::Seen& question = watcher.seen().constFirst();
    QCOMPARE(question.title, QString("还原收藏夹"));
    QVERIFY2(question.text.contains("没有回收站") && question.text.contains(fav) &&
                 !testsupport::hasLatinOutsidePaths(question.text),
             qPrintable(question.text));
    QCOMPARE(question.buttons, QStringList({"确定", "取消"}));
    QCOMPARE(folderContents(fav), before);
#endif
}

void CommandsTest::windowAnswersDuringLongWork_data()
{
    QTest::addColumn<jobs::LongWork>("work");
    QTest::addColumn<QString>("notice"); // while the worker is held at its first entry
    QTest::newRow("load at start-up") << jobs::LongWork::Load << "正在读取收藏夹…… 1 / 12";
    QTest::newRow("delete") << jobs::LongWork::DeleteDead << "正在删除收藏夹无效地址…… 1 / 12";
    QTest::newRow("backup") << jobs::LongWork::Backup << "正在备份收藏夹…… 1 / 12";
    QTest::newRow("restore") << jobs::LongWork::Restore << "正在还原收藏夹…… 1 / 12";
}

// The work on the favorites runs in a worker, held here at its first entry: meanwhile the window answers. The busy
// notice says how far the work is, in words that fit, from the moment it shows: never the words and count of the work
// before (the load's "正在读取收藏夹…… 12 / 12"). The commands that change data are greyed and do nothing, nor does a
// double click; the others stay. Let go, the work ends as it would have, and everything is enabled again.
void CommandsTest::windowAnswersDuringLongWork()
{
    QFETCH(jobs::LongWork, work);
    QFETCH(QString, notice);
    WindowFixture f;
    std::unique_ptr<testsupport::WorkerGate> gate;
    QVERIFY(openForLongWork(f, work, 1, gate));
    ui::MainWindow& w = f.window();
    QSignalSpy finished(&w, &ui::MainWindow::commandFinished);
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    auto* text = w.busyNotice()->findChild<QLabel*>(QStringLiteral("busyText"));
    // What the notice says whenever it is shown or drawn.
    QStringList shown;
    const auto noteText = [&] {
        if (w.busyNotice()->isVisible())
            shown << text->text();
    };
    testsupport::EventWatch shows(w.busyNotice(), QEvent::Show, noteText);
    testsupport::EventWatch drawn(text, QEvent::Paint, noteText);
    if (work != jobs::LongWork::Load)
        w.runCommand(commandOf(work));
    QTRY_VERIFY_WITH_TIMEOUT(gate->isHeld(), 10000);

    QTRY_COMPARE(text->text(), notice);
    QVERIFY(!shown.isEmpty());
    const QString words = notice.section(QStringLiteral("……"), 0, 0);
    for (const QString& seen : shown)
        QVERIFY2(seen == ui::BusyNotice::progressText(work, 0, 0) || seen.startsWith(words), qPrintable(seen));
    QVERIFY(w.busyNotice()->isVisible());
    QVERIFY(QRect(QPoint(), w.busyNotice()->size()).contains(text->geometry()));
    QVERIFY(text->width() >= text->sizeHint().width());
    int painted = 0;
    testsupport::EventWatch paints(text, QEvent::Paint, [&] { ++painted; });
    text->update();
    QTRY_VERIFY(painted > 0);
    for (const ui::CommandEntry& entry : ui::commandList())
        QVERIFY2(w.action(entry.id)->isEnabled() != ui::changesData(entry.id), qPrintable(entry.name));
    const QMap<QString, QByteArray> disk = folderContents(f.root());
    ModalWatcher watcher;
    for (Command command : {Command::SaveResults, Command::DeleteDead, Command::Backup, Command::Restore})
        w.runCommand(command);
    if (w.model().dataRowCount() > 0)
        w.openEditor(1);
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(finished.count(), 4);
    QVERIFY(gate->isHeld() && gate->reached() == 1);

    gate->open();
    if (work != jobs::LongWork::Backup)
        QVERIFY(!loaded.isEmpty() || loaded.wait(10000));
    QTRY_VERIFY(finished.count() == (work == jobs::LongWork::Load ? 4 : 5) && !w.loadSequence().isWorking());
    QTRY_VERIFY(!w.busyNotice()->isVisible());
    for (const ui::CommandEntry& entry : ui::commandList())
        QVERIFY2(w.action(entry.id)->isEnabled(), qPrintable(entry.name));
    QCOMPARE(w.model().dataRowCount(), work == jobs::LongWork::DeleteDead ? 0 : kLongWorkFavorites);
    if (work == jobs::LongWork::Backup)
        QCOMPARE(folderContents(f.backup()), folderContents(f.fav()));
    if (work == jobs::LongWork::Restore)
        QCOMPARE(w.model().cell(1, LinkTableModel::AddressColumn).left(15), QString("http://old.test"));
}

void CommandsTest::exitDuringLongWorkLeavesNothingBroken_data()
{
    QTest::addColumn<jobs::LongWork>("work");
    QTest::newRow("load at start-up") << jobs::LongWork::Load;
    QTest::newRow("delete") << jobs::LongWork::DeleteDead;
    QTest::newRow("backup") << jobs::LongWork::Backup;
    QTest::newRow("restore") << jobs::LongWork::Restore;
}

// The window closes (退出程序, or its close button) while the worker is at the third entry of its work: the work stops
// there and the program ends without a crash. Nothing is left half done: a backup or restore stopped while it copies
// is as if it had not been asked (the Favorites folder and the backup as they were, no working folder left), a delete
// has put the two favorites before that entry into the Recycle Bin. The next start has nothing to put right.
void CommandsTest::exitDuringLongWorkLeavesNothingBroken()
{
    QFETCH(jobs::LongWork, work);
    WindowFixture f;
    std::unique_ptr<testsupport::WorkerGate> gate;
    QVERIFY(openForLongWork(f, work, 3, gate));
    QMap<QString, QByteArray> fav = folderContents(f.fav());
    const QMap<QString, QByteArray> backup = folderContents(f.backup());
    if (work != jobs::LongWork::Load)
        f.window().runCommand(commandOf(work));
    QTRY_VERIFY_WITH_TIMEOUT(gate->isHeld(), 10000);

    f.close();
    QCOMPARE(gate->reached(), 3);
    QCOMPARE(folderContents(f.backup()), backup);
    QCOMPARE(QDir(f.backup() + "/..").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"data", "data.txt"}));
    const QMap<QString, QByteArray> recycled = folderContents(f.trash() + "/files");
    QCOMPARE(recycled.size(), work == jobs::LongWork::DeleteDead ? 2 : 0);
    for (auto it = recycled.begin(); it != recycled.end(); ++it) {
        const QStringList from =
            fav.keys().filter(QRegularExpression("/" + QRegularExpression::escape(it.key()) + "$"));
        QCOMPARE(from.size(), 1);
        QCOMPARE(fav.take(from.constFirst()), it.value());
    }
    QCOMPARE(folderContents(f.fav()), fav);
    ModalWatcher watcher;
    QVERIFY(f.start());
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(f.window().model().dataRowCount(), kLongWorkFavorites - recycled.size());
}

// The work of the load at start-up, then that of a backup, throws at its first entry, as an allocation that fails
// would: each is told in a message that says what failed (in Chinese, but for what the exception said), and the window
// goes on, the next backup working.
void CommandsTest::unexpectedErrorsAreToldAndTheWindowGoesOn()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    f.open();
    auto throws = std::make_shared<std::atomic<bool>>(true);
    f.window().loadSequence().setStepHook([throws](int done, int) {
        if (done == 1 && throws->exchange(false))
            throw std::bad_alloc();
    });
    ModalWatcher watcher;
    QVERIFY(f.waitLoaded());
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"读取收藏夹时出现意外错误：std::bad_alloc（内存不足）。"});
    QCOMPARE(watcher.seen().constFirst().title, QString("Tessaly"));
    QCOMPARE(f.window().model().dataRowCount(), 0);

    watcher.clear();
    *throws = true;
    QVERIFY(runToTheEnd(f.window(), Command::Backup));
    QVERIFY(runToTheEnd(f.window(), Command::Backup));
    QCOMPARE(watcher.messageTexts(),
             QStringList({"备份收藏夹失败：处理时出现意外错误：std::bad_alloc（内存不足）", kBackupDone}));
    QCOMPARE(folderContents(f.backup()), folderContents(f.fav()));
}

// A restore that fails once it has set the old favorites aside and cannot move them back (the system refuses each
// move, here once the marker of their working folder could not record them all aside): the message says where they are
// rather than that nothing changed, and the grid shows what is left in the Favorites folder.
void CommandsTest::restoreNotUndoneSaysWhereTheFavoritesAre()
{
    if (!testsupport::FailingRenames::isAvailable())
        QSKIP("renames are made to fail on Linux only");
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(writeFile(f.backup() + "/b.url", shortcutBytes("http://b/")));
    QVERIFY(f.start());
    const QByteArray aside = QFile::encodeName(f.fav() + "/.tessaly-restore-old/");
    const testsupport::FailingRenames renames([aside](const QByteArray& from, const QByteArray& to) {
        const bool recordsAllAside =
            to == aside + ".tessaly-working-folder" && testsupport::readFile(from).contains("phase=in");
        const bool movesBack = from.startsWith(aside) && !from.contains("/.tessaly-working-folder");
        return recordsAllAside ? EIO : movesBack ? EACCES : 0;
    });
    ModalWatcher watcher;
    QVERIFY(runToTheEnd(f.window(), Command::Restore));
    QCOMPARE(watcher.count(), 1);
    const QString text = watcher.messageTexts().constFirst();
    QVERIFY2(text.startsWith("还原收藏夹失败：还原没有完成，也无法恢复原状；原来的收藏都在 " +
                             QString::fromLocal8Bit(aside.chopped(1))),
             qPrintable(text));
    QVERIFY2(!text.contains("没有任何改变"), qPrintable(text));
    // The message comes once the table has been loaded again.
    QCOMPARE(f.window().model().dataRowCount(), 0);
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
