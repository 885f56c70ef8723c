#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "checker/LinkChecker.h"
#include "favorites/Enumeration.h"
#include "favorites/Maintenance.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/FileModes.h"
#include "support/LoopbackHttpServer.h"
#include "support/ModalWatcher.h"
#include "support/TempFavorites.h"
#include "support/Unprivileged.h"
#include "support/TreeSnapshot.h"
#include "support/WindowFixture.h"
#include "ui/LinkTableModel.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using testsupport::folderContents;
using testsupport::gridRows;
using testsupport::ModalWatcher;
using testsupport::readFile;
using testsupport::shortcutBytes;
using testsupport::WindowFixture;
using testsupport::writeFile;
using ui::LinkTableModel;

namespace
{

const QString kSaveCommand = QStringLiteral("保存检测结果");
const QString kDeleteCommand = QStringLiteral("删除收藏夹无效地址");
const QString kBackupCommand = QStringLiteral("备份收藏夹");
const QString kRestoreCommand = QStringLiteral("还原收藏夹");
const QString kBackupDone = QStringLiteral("备份收藏夹完成！");
const QString kNoAnswerQuestion = QStringLiteral("本次检测没有任何地址应答，可能是网络没有连通。仍然保存检测结果吗？");

QString commandName(const QString& key)
{
    if (key == QLatin1String("c"))
        return kSaveCommand;
    if (key == QLatin1String("d"))
        return kDeleteCommand;
    if (key == QLatin1String("e"))
        return kBackupCommand;
    return kRestoreCommand;
}

// The lines of a results file, without their CR LF.
QStringList resultLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(readFile(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// The names the grid shows, top to bottom, each with its folder: "/Sub/b".
QStringList gridNames(const LinkTableModel& model)
{
    QStringList names;
    for (int r = 1; r <= model.dataRowCount(); ++r)
        names.append(model.cell(r, LinkTableModel::FolderColumn) + platform::separator() +
                     model.cell(r, LinkTableModel::NameColumn));
    return names;
}

// The favorites on disk in the order a load lists them, written like gridNames.
QStringList diskNames(const QString& fav)
{
    favorites::Catalogue cat;
    cat.favPath = fav;
    favorites::ScanFolder(cat, fav);
    favorites::ScanTree(cat, fav);
    QStringList names;
    for (int i = 1; i <= cat.fileCount; ++i)
        names.append(cat.filePath.at(i).mid(fav.size()) + platform::separator() + cat.fileName.at(i).chopped(4));
    return names;
}

// Every favorite (file) of before is still in the Favorites folder or in the backup, byte for byte.
bool everyFavoriteKept(const QMap<QString, QByteArray>& before, const QString& fav, const QString& backup,
                       const QStringList& except = {})
{
    const QMap<QString, QByteArray> inFav = folderContents(fav);
    const QMap<QString, QByteArray> inBackup = folderContents(backup);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key().endsWith(u'/') || except.contains(it.key()))
            continue;
        if (inFav.value(it.key()) != it.value() && inBackup.value(it.key()) != it.value()) {
            qWarning("favorite lost: %s", qPrintable(it.key()));
            return false;
        }
    }
    return true;
}

QString longComponent(QChar c, int length)
{
    return QString(length, c);
}

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

} // namespace

class CommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkThenSaveFoldsResultsIntoHistory();
    void saveOfEmptyFavoritesLeavesEmptyResultsFile();
    void addressesNoRequestCanBeMadeOfSurviveChecksAndDelete();
    void saveAsksFirstWhenNoAddressAnswered_data();
    void saveAsksFirstWhenNoAddressAnswered();
    void deleteRemovesOnlyFavoritesWithFourSavedFailures();
    void deleteWithNothingToDeleteStillReloads();
    void backupTwiceReplacesTheFirst();
    void backupOfEmptyFavoritesIsEmpty();
    void restoreBringsBackTheBackupAtAnyDepth();
    void unknownKeysDoNothing();
    void refusalsWhenFavoritesFolderUnusable_data();
    void refusalsWhenFavoritesFolderUnusable();
    void restoreWithoutBackupDeletesNothing_data();
    void restoreWithoutBackupDeletesNothing();
    void nestedFoldersAreRefused_data();
    void nestedFoldersAreRefused();
    void saveFailureIsReportedAndProgramStaysUsable();
    void deleteCountsAFavoriteAlreadyGoneAndGoesOn();
    void backupFailureKeepsPreviousBackup_data();
    void backupFailureKeepsPreviousBackup();
    void restoreKeepsHiddenEntriesAtTheTop();
    void commandRightAfterAReloadingCommandUsesTheNewRows();
    void restoreThenDeleteRightAwayDeletesNoLiveFavorite();
    void lockedFolderFailures_data();
    void lockedFolderFailures();
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
    w.Toolbar1_ButtonClick("a");
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
    w.Toolbar1_ButtonClick("c");
    QCOMPARE(w.model().dataRowCount(), 0);
    QCOMPARE(w.panelText(3), QString("地址 4 条"));
    const QString s = platform::separator();
    QCOMPARE(resultLines(f.results()),
             QStringList({f.fav() + "|a.url|YES|NO|YES|", f.fav() + s + "Sub|b.url|NO|NO|NO|NO",
                          f.fav() + s + "Sub" + s + "Deep|c.url|YES|||"}));

    QVERIFY(loaded.wait(5000));
    QCOMPARE(gridRows(w.model()),
             QStringList({"|a|" + alive + "||YES|NO|YES|", "|new|" + alive + "|||||",
                          s + "Sub|b|" + dead + "||NO|NO|NO|NO", s + "Sub" + s + "Deep|c|" + alive + "||YES|||"}));
    QCOMPARE(watcher.count(), 1);
}

// A bookmarklet (an address that mentions "http://" but is no URL a request can be made of) and an address
// without a host are never asked: they keep their previous result, so four checks and saves never condemn
// them, while a server that refuses does collect its four "NO" and goes at "d".
void CommandsTest::addressesNoRequestCanBeMadeOfSurviveChecksAndDelete()
{
    const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::LoopbackHttpServer::closedPort());
    WindowFixture f;
    QVERIFY(f.addFavorite("bookmarklet.url", "javascript:void(window.open('http://127.0.0.1/x'))"));
    QVERIFY(f.addFavorite("nohost.url", "http:///path"));
    QVERIFY(f.addFavorite("dead.url", dead));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.checker().setDispatchInterval(5);
    w.checker().setWatchInterval(60);

    ModalWatcher watcher;
    for (int round = 1; round <= 4; ++round) {
        QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
        w.Toolbar1_ButtonClick("a");
        QVERIFY(finished.wait(20000));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(testsupport::rowStates(f.state.table), QStringList({"", "", "NO", ""}));
        QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
        w.Toolbar1_ButtonClick("c");
        QVERIFY(loaded.wait(5000));
    }
    const QString s = platform::separator();
    QCOMPARE(resultLines(f.results()), QStringList({f.fav() + "|bookmarklet.url||||", f.fav() + "|dead.url|NO|NO|NO|NO",
                                                    f.fav() + "|nohost.url||||"}));
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.Toolbar1_ButtonClick("d");
    QVERIFY(loaded.wait(5000));
    QCOMPARE(diskNames(f.fav()), QStringList({s + "bookmarklet", s + "nohost"}));
    QCOMPARE(watcher.messageTexts(), QStringList(4, "检测完毕"));
}

void CommandsTest::saveOfEmptyFavoritesLeavesEmptyResultsFile()
{
    WindowFixture f;
    QVERIFY(f.writeResults({"|gone.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    ModalWatcher watcher;
    f.window().Toolbar1_ButtonClick("c");
    QCOMPARE(f.window().panelText(3), QString("地址 0 条"));
    QVERIFY(QFileInfo::exists(f.results()));
    QCOMPARE(readFile(f.results()), QByteArray());
    QVERIFY(f.waitLoaded());
    QCOMPARE(f.window().model().dataRowCount(), 0);
    QCOMPARE(watcher.count(), 0);
}

void CommandsTest::saveAsksFirstWhenNoAddressAnswered_data()
{
    QTest::addColumn<QStringList>("states"); // the current results of rows 1..n
    QTest::addColumn<QString>("answer");     // how the question is answered; empty: no question may come
    const QStringList fiveNo{"NO", "NO", "", "NO", "NO", "NO"};
    QTest::newRow("five NO, saved anyway") << fiveNo << "保存";
    QTest::newRow("five NO, cancelled") << fiveNo << "取消";
    QTest::newRow("five NO, Esc cancels") << fiveNo << "Esc";
    QTest::newRow("five NO, Enter takes the default: cancel") << fiveNo << "Enter";
    QTest::newRow("four NO saves at once") << QStringList{"NO", "NO", "", "NO", "NO", ""} << "";
    QTest::newRow("one YES saves at once") << QStringList{"NO", "NO", "YES", "NO", "NO", "NO"} << "";
}

void CommandsTest::saveAsksFirstWhenNoAddressAnswered()
{
    QFETCH(QStringList, states);
    QFETCH(QString, answer);
    WindowFixture f;
    for (int i = 1; i <= states.size(); ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i), "http://f.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    for (int i = 1; i <= states.size(); ++i) {
        f.state.table.setRowState(i, states.at(i - 1));
    }
    const QStringList rows = gridRows(w.model());
    const QMap<QString, QByteArray> disk = folderContents(f.root());

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
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.Toolbar1_ButtonClick("c");
    QCOMPARE(watcher.messageTexts(), answer.isEmpty() ? QStringList() : QStringList{kNoAnswerQuestion});
    QCOMPARE(buttons, answer.isEmpty() ? QStringList() : QStringList({"保存", "取消"}));
    if (answer.isEmpty() || answer == "保存") {
        QCOMPARE(resultLines(f.results()).size(), states.size());
        QVERIFY(loaded.wait(5000));
        return;
    }
    // Declined: no file written, the table neither cleared nor reloaded, the results still there to save.
    QCOMPARE(folderContents(f.root()), disk);
    QVERIFY(!loaded.wait(700));
    QCOMPARE(gridRows(w.model()), rows);
    QCOMPARE(testsupport::rowStates(f.state.table).mid(1), states);
}

void CommandsTest::deleteRemovesOnlyFavoritesWithFourSavedFailures()
{
    WindowFixture f;
    for (const char* name : {"dead.url", "three.url", "oneYes.url", "gap.url", "lower.url", "fresh.url",
                             "Sub/Deep/dead2.url", "Sub/keep.url"})
        QVERIFY(f.addFavorite(name, QStringLiteral("http://%1/").arg(QString::fromLatin1(name))));
    QVERIFY(f.writeResults({"|dead.url|NO|NO|NO|NO", "|three.url|NO|NO|NO|", "|oneYes.url|NO|NO|YES|NO",
                            "|gap.url|NO||NO|NO", "|lower.url|no|no|no|no", "/Sub/Deep|dead2.url|NO|NO|NO|NO",
                            "/Sub|keep.url|YES|YES|YES|YES"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    // The result of the current check plays no part.
    testsupport::setAllStates(f.state.table, "NO");
    const QByteArray savedResults = readFile(f.results());
    QMap<QString, QByteArray> expected = folderContents(f.fav());
    expected.remove("dead.url");
    expected.remove("Sub/Deep/dead2.url");

    ModalWatcher watcher;
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.Toolbar1_ButtonClick("d");
    QCOMPARE(w.panelText(3), QString("地址 6 条"));
    QCOMPARE(w.model().dataRowCount(), 0);
    QCOMPARE(folderContents(f.fav()), expected);
    QCOMPARE(readFile(f.results()), savedResults);

    QVERIFY(loaded.wait(5000));
    QCOMPARE(gridNames(w.model()), diskNames(f.fav()));
    QCOMPARE(w.model().dataRowCount(), 6);
    QCOMPARE(watcher.count(), 0);
}

void CommandsTest::deleteWithNothingToDeleteStillReloads()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.writeResults({"|a.url|NO|NO|NO|", "/Sub|b.url|YES|NO|NO|NO"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QStringList rowsBefore = gridRows(w.model());
    const QMap<QString, QByteArray> before = folderContents(f.root());

    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.Toolbar1_ButtonClick("d");
    QCOMPARE(w.model().dataRowCount(), 0);
    QCOMPARE(w.panelText(3), QString("地址 2 条"));
    QVERIFY(loaded.wait(5000));
    QCOMPARE(folderContents(f.root()), before);
    QCOMPARE(gridRows(w.model()), rowsBefore);
}

void CommandsTest::backupTwiceReplacesTheFirst()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QStringList rows = gridRows(w.model());
    const QString panel3 = w.panelText(3);

    ModalWatcher watcher;
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.Toolbar1_ButtonClick("e");
    QCOMPARE(watcher.messageTexts(), QStringList{kBackupDone});
    QCOMPARE(watcher.seen().constFirst().title, QString("Tessaly"));
    QCOMPARE(folderContents(f.backup()), folderContents(f.fav()));

    QVERIFY(QFile::remove(f.fav() + "/a.url"));
    QVERIFY(f.addFavorite("Sub/Deep/c.url", "http://c/"));
    w.Toolbar1_ButtonClick("e");
    QCOMPARE(watcher.messageTexts(), QStringList({kBackupDone, kBackupDone}));
    QCOMPARE(folderContents(f.backup()), folderContents(f.fav()));
    QVERIFY(!QFileInfo::exists(f.backup() + "/a.url"));
    // Nothing but the backup is left in the program folder.
    QCOMPARE(QDir(f.program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"data"});

    // The table and the status bar are untouched and no reload comes.
    QTest::qWait(400);
    QCOMPARE(loaded.count(), 0);
    QCOMPARE(gridRows(w.model()), rows);
    QCOMPARE(w.panelText(3), panel3);
}

void CommandsTest::backupOfEmptyFavoritesIsEmpty()
{
    WindowFixture f;
    QVERIFY(writeFile(f.backup() + "/old.url", shortcutBytes("http://old/")));
    QVERIFY(f.start());
    ModalWatcher watcher;
    f.window().Toolbar1_ButtonClick("e");
    QCOMPARE(watcher.messageTexts(), QStringList{kBackupDone});
    QVERIFY(QFileInfo(f.backup()).isDir());
    QCOMPARE(folderContents(f.backup()), (QMap<QString, QByteArray>()));
}

void CommandsTest::restoreBringsBackTheBackupAtAnyDepth()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.addFavorite("Sub/Deep/c.url", "http://c/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ModalWatcher watcher;
    w.Toolbar1_ButtonClick("e");
    const QMap<QString, QByteArray> backedUp = folderContents(f.fav());

    QVERIFY(QFile::remove(f.fav() + "/a.url"));
    QVERIFY(QFile::remove(f.fav() + "/Sub/Deep/c.url"));
    QVERIFY(f.addFavorite("added.url", "http://x/"));
    QVERIFY(f.addFavorite("Sub/Deep/Deeper/added2.url", "http://y/"));
    QVERIFY(f.addFavorite("New/added3.url", "http://z/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://changed/"));
    watcher.clear();

    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.Toolbar1_ButtonClick("f");
    QCOMPARE(w.panelText(3), QString("地址 3 条"));
    QCOMPARE(w.model().dataRowCount(), 0);
    QCOMPARE(folderContents(f.fav()), backedUp);
    QCOMPARE(folderContents(f.backup()), backedUp);
    QVERIFY(loaded.wait(5000));
    const QString s = platform::separator();
    QCOMPARE(gridRows(w.model()),
             QStringList({"|a|http://a/|||||", s + "Sub|b|http://b/|||||", s + "Sub" + s + "Deep|c|http://c/|||||"}));
    QCOMPARE(watcher.count(), 0);
}

void CommandsTest::unknownKeysDoNothing()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.writeResults({"|a.url|NO|NO|NO|NO"}));
    QVERIFY(writeFile(f.backup() + "/old.url", shortcutBytes("http://old/")));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QMap<QString, QByteArray> disk = folderContents(f.root());
    const QStringList rows = gridRows(w.model());
    QStringList panels;
    for (int p = 1; p <= 7; ++p)
        panels.append(w.panelText(p));

    ModalWatcher watcher;
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    QSignalSpy failed(&w, &ui::MainWindow::commandFailed);
    for (const char* key : {"A", "B", "C", "D", "E", "F", "G", "H", "", "i", "z", "aa", " a", "a ", "c\n", "0"}) {
        w.Toolbar1_ButtonClick(QString::fromLatin1(key));
        QVERIFY2(!w.checker().isRunning(), key);
        QCOMPARE(gridRows(w.model()), rows);
        QCOMPARE(w.panelText(3), panels.at(2));
        QCOMPARE(w.panelText(5), panels.at(4));
    }
    QVERIFY(!w.action("A"));
    QTest::qWait(400);
    QCOMPARE(loaded.count(), 0);
    QVERIFY(!w.busyNotice()->isVisible());
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(gridRows(w.model()), rows);
}

void CommandsTest::refusalsWhenFavoritesFolderUnusable_data()
{
    QTest::addColumn<QString>("favorites"); // relative to the test folder; "-" for an empty value
    QTest::addColumn<QString>("key");
    // "c" too: without a Favorites folder the table is empty and a save would wipe every history.
    for (const char* key : {"c", "d", "e", "f"}) {
        QTest::addRow("empty %s", key) << "-" << key;
        QTest::addRow("missing %s", key) << "NoSuchFolder" << key;
        QTest::addRow("a file %s", key) << "file.url" << key;
    }
}

void CommandsTest::refusalsWhenFavoritesFolderUnusable()
{
    QFETCH(QString, favorites);
    QFETCH(QString, key);
    WindowFixture f;
    QVERIFY(writeFile(f.root() + "/file.url", shortcutBytes("http://file/")));
    QVERIFY(writeFile(f.backup() + "/b.url", shortcutBytes("http://b/")));
    QVERIFY(writeFile(f.backup() + "/Sub/c.url", shortcutBytes("http://c/")));
    QVERIFY(f.writeResults({"|b.url|NO|NO|NO|NO"}));
    const QString value = favorites == "-" ? QString("") : platform::joinPath(f.root(), favorites);
    QVERIFY(f.start(value));
    ui::MainWindow& w = f.window();
    const QMap<QString, QByteArray> disk = folderContents(f.root());

    ModalWatcher watcher;
    QSignalSpy failed(&w, &ui::MainWindow::commandFailed);
    w.Toolbar1_ButtonClick(key);
    QVERIFY(failureToldInChinese(watcher, commandName(key)));
    const QString text = watcher.messageTexts().constFirst();
    if (!value.isEmpty())
        QVERIFY2(text.contains(value), qPrintable(text));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(folderContents(f.root()), disk);
}

void CommandsTest::restoreWithoutBackupDeletesNothing_data()
{
    QTest::addColumn<bool>("fileInTheWay");
    QTest::newRow("no backup folder") << false;
    QTest::newRow("a file named like the backup") << true;
}

void CommandsTest::restoreWithoutBackupDeletesNothing()
{
    QFETCH(bool, fileInTheWay);
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/Deep/b.url", "http://b/"));
    if (fileInTheWay)
        QVERIFY(writeFile(f.backup(), "not a folder"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QMap<QString, QByteArray> disk = folderContents(f.root());
    const QStringList rows = gridRows(w.model());

    ModalWatcher watcher;
    w.Toolbar1_ButtonClick("f");
    QVERIFY(failureToldInChinese(watcher, kRestoreCommand));
    const QString text = watcher.messageTexts().constFirst();
    QVERIFY2(text.contains(f.backup()), qPrintable(text));
    QCOMPARE(folderContents(f.root()), disk);
    // Whatever the command did, the table shows what is on disk.
    QTRY_COMPARE(gridRows(w.model()), rows);
}

void CommandsTest::nestedFoldersAreRefused_data()
{
    QTest::addColumn<QString>("favorites"); // relative to the test folder
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("key");
    for (const char* key : {"e", "f"}) {
        QTest::addRow("favorites inside the backup %s", key) << "prog/data/Fav"
                                                             << "prog" << key;
        QTest::addRow("backup inside the favorites %s", key) << "Fav"
                                                             << "Fav/prog" << key;
        QTest::addRow("favorites are the backup %s", key) << "prog/data"
                                                          << "prog" << key;
        QTest::addRow("backup inside favorites through a link %s", key) << "Link/Fav"
                                                                        << "Real/Fav/prog" << key;
    }
    // The backup is built beside the old one before it takes its place: those folders count too.
    QTest::addRow("favorites are the new backup e") << "prog/data.new"
                                                    << "prog"
                                                    << "e";
    QTest::addRow("favorites inside the old backup e") << "prog/data.old/Fav"
                                                       << "prog"
                                                       << "e";
}

void CommandsTest::nestedFoldersAreRefused()
{
    QFETCH(QString, favorites);
    QFETCH(QString, program);
    QFETCH(QString, key);
    WindowFixture f;
    if (favorites.startsWith("Link/")) {
        QVERIFY(QDir().mkpath(f.root() + "/Real/Fav/prog"));
        QVERIFY(QFile::link(f.root() + "/Real", f.root() + "/Link"));
    }
    const QString fav = platform::joinPath(f.root(), favorites);
    const QString prog = platform::joinPath(f.root(), program);
    QVERIFY(writeFile(fav + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(writeFile(fav + "/Sub/b.url", shortcutBytes("http://b/")));
    QVERIFY(QDir().mkpath(prog));
    QVERIFY(writeFile(favorites::backupFolderPath(prog) + "/old.url", shortcutBytes("http://old/")));
    QVERIFY(f.start(fav, prog));
    const QMap<QString, QByteArray> disk = folderContents(f.root());

    ModalWatcher watcher;
    f.window().Toolbar1_ButtonClick(key);
    QVERIFY(failureToldInChinese(watcher, commandName(key)));
    QCOMPARE(folderContents(f.root()), disk);
}

void CommandsTest::saveFailureIsReportedAndProgramStaysUsable()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    // A folder stands where the results file must be written.
    QVERIFY(writeFile(f.results() + "/keep.txt", "x"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    f.state.table.setRowState(1, "YES");
    const QStringList rows = gridRows(w.model());
    const QMap<QString, QByteArray> disk = folderContents(f.root());

    ModalWatcher watcher;
    QSignalSpy failed(&w, &ui::MainWindow::commandFailed);
    w.Toolbar1_ButtonClick("c");
    QVERIFY(failureToldInChinese(watcher, kSaveCommand));
    const QString text = watcher.messageTexts().constFirst();
    QVERIFY2(text.contains(f.results()), qPrintable(text));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(gridRows(w.model()), rows);
    QCOMPARE(w.panelText(3), QString("地址 2 条"));

    // Once the way is clear the same command works, with the result still there to save.
    QVERIFY(QDir(f.results()).removeRecursively());
    w.Toolbar1_ButtonClick("c");
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(resultLines(f.results()).constFirst(), f.fav() + "|a.url|YES|||");
    QVERIFY(f.waitLoaded());
    QCOMPARE(w.model().cell(1, LinkTableModel::History1Column), QString("YES"));
}

// A favorite deleted by hand since the load is gone as it was to be: the others are deleted all the same.
void CommandsTest::deleteCountsAFavoriteAlreadyGoneAndGoesOn()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a-gone.url", "http://gone/"));
    QVERIFY(f.addFavorite("dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("keep.url", "http://keep/"));
    QVERIFY(f.addFavorite("Sub/keep2.url", "http://keep2/"));
    QVERIFY(f.writeResults({"|a-gone.url|NO|NO|NO|NO", "|dead.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QVERIFY(QFile::remove(f.fav() + "/a-gone.url"));

    ModalWatcher watcher;
    QSignalSpy failed(&w, &ui::MainWindow::commandFailed);
    w.Toolbar1_ButtonClick("d");
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(diskNames(f.fav()), QStringList({"/keep", "/Sub/keep2"}));
    QTRY_COMPARE(gridNames(w.model()), diskNames(f.fav()));
}

void CommandsTest::backupFailureKeepsPreviousBackup_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("program folder through a file") << "through a file";
    QTest::newRow("path too long for the backup") << "too long";
}

void CommandsTest::backupFailureKeepsPreviousBackup()
{
    QFETCH(QString, how);
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QString program = f.program();
    if (how == "through a file") {
        QVERIFY(writeFile(f.root() + "/blocker", "a file"));
        program = f.root() + "/blocker/prog";
    } else {
        // A favorite deep enough that its path just fits under the Favorites folder (4095 bytes at most)
        // but not under the new backup folder, whose path is longer.
        const int longest = 4095;
        QVERIFY(favorites::backupFolderPath(f.program()).size() + 4 > f.fav().size());
        QString folder = f.fav();
        int remaining = longest - f.fav().size() - int(strlen("/x.url"));
        while (remaining > 250) {
            folder += "/" + longComponent('d', 200);
            remaining -= 201;
        }
        folder += "/" + longComponent('e', remaining - 1);
        QCOMPARE((folder + "/x.url").toUtf8().size(), longest);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(folder + "/x.url", shortcutBytes("http://deep/")));
        QVERIFY(writeFile(f.backup() + "/old.url", shortcutBytes("http://old/")));
    }
    QVERIFY(f.start(QString(), program));
    ui::MainWindow& w = f.window();
    const QMap<QString, QByteArray> favBefore = folderContents(f.fav());
    const QMap<QString, QByteArray> backupBefore = folderContents(f.backup());
    const QStringList rows = gridRows(w.model());

    ModalWatcher watcher;
    QSignalSpy failed(&w, &ui::MainWindow::commandFailed);
    w.Toolbar1_ButtonClick("e");
    QVERIFY(failureToldInChinese(watcher, kBackupCommand));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(folderContents(f.fav()), favBefore);
    QCOMPARE(folderContents(f.backup()), backupBefore);
    QCOMPARE(gridRows(w.model()), rows);
    QVERIFY(!QFileInfo::exists(f.backup() + ".new"));
}

// Hidden entries at the top of the Favorites folder stay where they are; the backup's entry of the same name is
// not brought in.
void CommandsTest::restoreKeepsHiddenEntriesAtTheTop()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(writeFile(f.fav() + "/.hidden", "a hidden file"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ModalWatcher watcher;
    w.Toolbar1_ButtonClick("e");
    QCOMPARE(watcher.messageTexts(), QStringList{kBackupDone});
    QMap<QString, QByteArray> expected = folderContents(f.fav());

    QVERIFY(QFile::remove(f.fav() + "/.hidden"));
    QVERIFY(writeFile(f.fav() + "/.hidden/inside", "kept")); // a row named "in": its name minus four characters
    QVERIFY(f.addFavorite("added.url", "http://added/"));
    watcher.clear();
    w.Toolbar1_ButtonClick("f");
    QCOMPARE(watcher.count(), 0);
    expected.remove(".hidden");
    expected.insert(".hidden/", QByteArray());
    expected.insert(".hidden/inside", "kept");
    QCOMPARE(folderContents(f.fav()), expected);
    QTRY_COMPARE(gridNames(w.model()), QStringList({"/a", "/.hidden/in", "/Sub/b"}));
}

void CommandsTest::commandRightAfterAReloadingCommandUsesTheNewRows()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("b.url", "http://b/"));
    QVERIFY(f.addFavorite("c.url", "http://c/"));
    QVERIFY(f.writeResults({"|a.url|NO|NO|NO|NO", "|b.url|YES|YES|YES|YES", "|c.url|NO|NO|NO|"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ModalWatcher watcher;
    // "d" deletes a.url; "c" comes before the table has been reloaded.
    w.Toolbar1_ButtonClick("d");
    w.Toolbar1_ButtonClick("c");
    QCOMPARE(watcher.count(), 0);
    QVERIFY(!QFileInfo::exists(f.fav() + "/a.url"));
    QCOMPARE(resultLines(f.results()), QStringList({f.fav() + "|b.url|YES|YES|YES|", f.fav() + "|c.url|NO|NO|NO|"}));
    QTRY_COMPARE(gridRows(w.model()), QStringList({"|b|http://b/||YES|YES|YES|", "|c|http://c/||NO|NO|NO|"}));
    QVERIFY(QFileInfo::exists(f.fav() + "/c.url"));
}

void CommandsTest::restoreThenDeleteRightAwayDeletesNoLiveFavorite()
{
    WindowFixture f;
    QVERIFY(writeFile(f.backup() + "/a-new.url", shortcutBytes("http://new/")));
    QVERIFY(writeFile(f.backup() + "/keep.url", shortcutBytes("http://keep/")));
    QVERIFY(f.addFavorite("dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("keep.url", "http://keep/"));
    QVERIFY(f.writeResults({"|dead.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ModalWatcher watcher;
    w.Toolbar1_ButtonClick("f");
    w.Toolbar1_ButtonClick("d");
    QCOMPARE(watcher.count(), 0);
    QVERIFY(QFileInfo::exists(f.fav() + "/a-new.url"));
    QVERIFY(QFileInfo::exists(f.fav() + "/keep.url"));
    QTRY_COMPARE(gridNames(w.model()), QStringList({"/a-new", "/keep"}));
}

void CommandsTest::lockedFolderFailures_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("d dead favorite in a folder that cannot be written") << "d";
    QTest::newRow("e a folder that cannot be read") << "e";
    QTest::newRow("f a folder that cannot be emptied") << "f";
    QTest::newRow("c a program folder that cannot be written") << "c";
}

// Folders the user may not change are prepared as root and the command runs as the user "nobody".
void CommandsTest::lockedFolderFailures()
{
    QFETCH(QString, key);
    if (testsupport::isUnprivilegedChild()) {
        const QString root = qEnvironmentVariable("TESSALY_TEST_ROOT");
        qputenv("TESSALY_FAVORITES", (root + "/Favorites").toUtf8());
        table::AppState state;
        state.programFolder = root + "/prog";
        ui::MainWindow w(state);
        QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
        QVERIFY(loaded.wait(5000));
        const QStringList rows = gridRows(w.model());
        ModalWatcher watcher;
        w.Toolbar1_ButtonClick(key);
        // The system refuses the user here: its reason is told in Chinese too.
        QVERIFY(failureToldInChinese(watcher, commandName(key)));
        QTRY_COMPARE(gridNames(w.model()), diskNames(root + "/Favorites"));
        if (key == "c" || key == "e")
            QCOMPARE(gridRows(w.model()), rows);
        return;
    }
    if (!testsupport::isSuperuser())
        QSKIP("The locked folders are prepared as root and the command run as nobody; this run is not root.");
#ifdef Q_OS_UNIX
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Locked/dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("Locked/x.url", "http://x/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.writeResults({"/Locked|dead.url|NO|NO|NO|NO"}));
    QVERIFY(writeFile(f.backup() + "/old.url", shortcutBytes("http://old/")));
    if (key == "f") {
        QVERIFY(QDir(f.backup()).removeRecursively());
        QVERIFY(favorites::backupFavorites(f.fav(), f.backup()));
        QVERIFY(f.addFavorite("added.url", "http://added/"));
    }
    QVERIFY(testsupport::setMode(f.root(), 0755));
    QVERIFY(testsupport::giveToNobody(f.root()));
    const QString locked = key == "c" ? f.program() : f.fav() + "/Locked";
    QVERIFY(::lchown(QFile::encodeName(locked).constData(), 0, 0) == 0);
    QVERIFY(testsupport::setMode(locked, key == "e" ? 0700 : 0755));
    const QMap<QString, QByteArray> favBefore = folderContents(f.fav());
    const QMap<QString, QByteArray> backupBefore = folderContents(f.backup());
    const QByteArray resultsBefore = readFile(f.results());

    QProcessEnvironment env;
    env.insert("TESSALY_TEST_ROOT", f.root());
    env.insert("HOME", f.root());
    QString output;
    QString why;
    const int rc = testsupport::runAsNobody(QStringLiteral("lockedFolderFailures:%1").arg(QTest::currentDataTag()), env,
                                            &output, &why);
    if (rc == -1)
        QSKIP(qPrintable("cannot run as nobody: " + why));
    QVERIFY2(rc == 0, qPrintable(output));
    QVERIFY2(output.contains("PASS   : CommandsTest::lockedFolderFailures"), qPrintable(output));

    QVERIFY(everyFavoriteKept(favBefore, f.fav(), f.backup(), {"added.url"}));
    if (key == "d")
        QCOMPARE(folderContents(f.fav()), favBefore);
    if (key == "e" || key == "c")
        QCOMPARE(folderContents(f.backup()), backupBefore);
    QCOMPARE(readFile(f.results()), resultsBefore);
    testsupport::setMode(locked, 0755);
#endif
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
