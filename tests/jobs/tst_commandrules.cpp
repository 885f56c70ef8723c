// The rules of the commands that change the user's data (save, delete the dead favorites, back up, restore),
// worked on real folders without a window: what each does, when it refuses, and that a refusal or a failure
// changes nothing and loses nothing. What the user sees of them is tests/ui/tst_commands.cpp.

#include <atomic>
#include <memory>
#include <new>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QSignalSpy>
#include <QTest>

#include "checker/LinkChecker.h"
#include "favorites/Backup.h"
#include "favorites/Maintenance.h"
#include "jobs/BackgroundWork.h"
#include "jobs/LoadSequence.h"
#include "platform/Paths.h"
#include "platform/CodePage.h"
#include "support/CheckerRows.h"
#include "support/ChildRun.h"
#include "support/FailingRenames.h"
#include "support/FileModes.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "support/Unprivileged.h"
#include "support/WindowFixture.h"
#include "table/ResultsFile.h"
#include "ui/FailureText.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using jobs::Command;
using platform::FailureKind;
using platform::FileFailure;
using testsupport::CommandFixture;
using testsupport::diskNames;
using testsupport::everyFavoriteKept;
using testsupport::folderContents;
using testsupport::readFile;
using testsupport::resultLines;
using testsupport::shortcutBytes;
using testsupport::tableNames;
using testsupport::writeFile;

namespace
{

// The one report of the run: a failure of this command, of this kind.
bool failedWith(const CommandFixture& f, Command command, FailureKind kind)
{
    if (f.failures.size() != 1 || !f.reports.isEmpty()) {
        qWarning("%d failures and %d reports, not one failure", int(f.failures.size()), int(f.reports.size()));
        return false;
    }
    const auto& [which, failure] = f.failures.constFirst();
    if (which != command || failure.kind != kind) {
        qWarning("failure %d of command %d: %s", failure.kind.code(), int(which), qPrintable(ui::failureText(failure)));
        return false;
    }
    return true;
}

QString s()
{
    return QString(platform::separator());
}

// Two dead favorites (one in a subfolder) and one to keep, and a backup that holds the one to keep and another; and
// moreDead at the top, dead too.
bool addDeadKeptAndBackup(const CommandFixture& f, const QStringList& moreDead = {})
{
    QStringList results{"|dead.url|NO|NO|NO|NO", "/Sub|dead2.url|NO|NO|NO|NO"};
    for (const QString& name : moreDead) {
        if (!f.addFavorite(name, "http://odd/"))
            return false;
        results << "|" + name + "|NO|NO|NO|NO";
    }
    return f.addFavorite("dead.url", "http://dead/") && f.addFavorite("Sub/dead2.url", "http://dead2/") &&
           f.addFavorite("keep.url", "http://keep/") && f.writeResults(results) &&
           writeFile(f.backup() + "/keep.url", shortcutBytes("http://keep/")) &&
           writeFile(f.backup() + "/Old/from-backup.url", shortcutBytes("http://old/"));
}

} // namespace

class CommandRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void saveFoldsResultsIntoHistory();
    void saveOfEmptyFavoritesLeavesEmptyResultsFile();
    void saveAsksFirstWhenNoAddressAnswered_data();
    void saveAsksFirstWhenNoAddressAnswered();
    void saveSaysWhichRowsItCannotStore();
    void saveFailureChangesNothing();
    void addressesNoRequestCanBeMadeOfSurviveChecksAndDelete();
    void saveDuringACheckKeepsTheAnswersInFlight();
    void checkGoesOnWhileWorkRuns_data();
    void checkGoesOnWhileWorkRuns();
    void deleteRemovesOnlyFavoritesWithFourSavedFailures();
    void deleteWithNothingToDeleteStillReloads();
    void deleteCountsAFavoriteAlreadyGoneAndGoesOn();
    void backupTwiceReplacesTheFirst();
    void backupLeavesOutPipesAndSocketsAndSaysSo();
    void backupFailureKeepsPreviousBackup_data();
    void backupFailureKeepsPreviousBackup();
    void restoreBringsBackTheBackupAtAnyDepth();
    void restoreKeepsHiddenEntriesAtTheTop();
    void restoreLeavesOutAPipeInTheBackup();
    void removedFavoritesGoToTheRecycleBin_data();
    void removedFavoritesGoToTheRecycleBin();
    void withoutRecycleBinNothingGoesUnasked_data();
    void withoutRecycleBinNothingGoesUnasked();
    void trashThatCannotBeWrittenIsNoRecycleBin_data();
    void trashThatCannotBeWrittenIsNoRecycleBin();
    void anotherVolumeHasItsOwnTrash();
    void refusalsWhenFavoritesFolderUnusable_data();
    void refusalsWhenFavoritesFolderUnusable();
    void restoreWithoutBackupChangesNothing_data();
    void restoreWithoutBackupChangesNothing();
    void nestedFoldersAreRefused_data();
    void nestedFoldersAreRefused();
    void commandRightAfterAReloadingCommandUsesTheNewRows();
    void restoreThenDeleteRightAwayDeletesNoLiveFavorite();
    void lockedFolderFailures_data();
    void lockedFolderFailures();
    void workEndingInAnExceptionFailsOnlyItsCommand_data();
    void workEndingInAnExceptionFailsOnlyItsCommand();
    void restoreFailingAfterAChangeLoadsTheTableAgain_data();
    void restoreFailingAfterAChangeLoadsTheTableAgain();
};

void CommandRulesTest::saveFoldsResultsIntoHistory()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.addFavorite("Sub/Deep/c.url", "http://c/"));
    QVERIFY(f.writeResults({"|a.url|YES|NO||", "/Sub|b.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    testsupport::setVerdict(f.state.table, 1, table::Verdict::Alive);
    testsupport::setVerdict(f.state.table, 2, table::Verdict::Dead);
    testsupport::setVerdict(f.state.table, 3, table::Verdict::Alive);
    // A favorite added since the load is collected by the reload.
    QVERIFY(f.addFavorite("new.url", "http://new/"));

    QVERIFY(f.run(Command::SaveResults));
    QCOMPARE(resultLines(f.results()),
             QStringList({f.fav() + "|a.url|YES|NO|YES|", f.fav() + s() + "Sub|b.url|NO|NO|NO|NO",
                          f.fav() + s() + "Sub" + s() + "Deep|c.url|YES|||"}));
    QCOMPARE(f.loads, 2);
    QCOMPARE(tableNames(f.state.table),
             QStringList({s() + "a", s() + "new", s() + "Sub" + s() + "b", s() + "Sub" + s() + "Deep" + s() + "c"}));
    QCOMPARE(testsupport::rowStates(f.state.table), QStringList(5, QString()));
    QCOMPARE(f.state.table.history(1), (testsupport::savedChecks({"YES", "NO", "YES", ""})));
    QCOMPARE(f.state.table.history(3), (testsupport::savedChecks({"NO", "NO", "NO", "NO"})));
    QCOMPARE(f.reports.size(), 1);
    QVERIFY(f.reports.constFirst().second.unstoredRows.isEmpty());
    QVERIFY(f.failures.isEmpty());
}

void CommandRulesTest::saveOfEmptyFavoritesLeavesEmptyResultsFile()
{
    CommandFixture f;
    QVERIFY(f.writeResults({"|gone.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    QVERIFY(f.run(Command::SaveResults));
    QVERIFY(QFileInfo::exists(f.results()));
    QCOMPARE(readFile(f.results()), QByteArray());
    QCOMPARE(f.state.table.rowCount(), 0);
    QVERIFY(f.failures.isEmpty());
}

void CommandRulesTest::saveAsksFirstWhenNoAddressAnswered_data()
{
    QTest::addColumn<QStringList>("states"); // the current results of rows 1..n
    QTest::addColumn<int>("answer");         // 1 save anyway, 0 cancel, -1 no question may come
    const QStringList fiveNo{"NO", "NO", "", "NO", "NO", "NO"};
    QTest::newRow("five NO, saved anyway") << fiveNo << 1;
    QTest::newRow("five NO, cancelled") << fiveNo << 0;
    QTest::newRow("four NO saves at once") << QStringList{"NO", "NO", "", "NO", "NO", ""} << -1;
    QTest::newRow("one YES saves at once") << QStringList{"NO", "NO", "YES", "NO", "NO", "NO"} << -1;
}

void CommandRulesTest::saveAsksFirstWhenNoAddressAnswered()
{
    QFETCH(QStringList, states);
    QFETCH(int, answer);
    CommandFixture f;
    for (int i = 1; i <= states.size(); ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i), "http://f.test/"));
    QVERIFY(f.start());
    for (int i = 1; i <= states.size(); ++i)
        testsupport::setVerdict(f.state.table, i, table::SavedCheck::fromText(states.at(i - 1)).verdict());
    const QMap<QString, QByteArray> disk = folderContents(f.root());
    f.saveAnyway = answer == 1;

    QVERIFY(f.run(Command::SaveResults));
    QCOMPARE(f.questions, answer == -1 ? 0 : 1);
    if (answer != 0) {
        QCOMPARE(resultLines(f.results()).size(), states.size());
        QCOMPARE(f.loads, 2);
        return;
    }
    // Declined: no file written, the table neither cleared nor reloaded, the results still there to save.
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(f.loads, 1);
    QCOMPARE(f.cleared, 0);
    QCOMPARE(testsupport::rowStates(f.state.table).mid(1), states);
}

// A name made outside the program with "|", CR or LF cannot be a line of the results file, nor one the code page
// cannot write: the save says which, each under its own reason.
void CommandRulesTest::saveSaysWhichRowsItCannotStore()
{
#ifdef Q_OS_WIN
    QSKIP("such names cannot be made on this platform");
#else
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("bar|in name.url", "http://bar/"));
    QVERIFY(f.addFavorite("Sub/line\nbreak.url", "http://lf/"));
    QVERIFY(f.addFavorite("z.url", "http://z/"));
    QVERIFY(f.start());
    testsupport::setAllStates(f.state.table, table::Verdict::Alive);
    // z.url's row as a favorite whose name the code page lacks a character of: in UTF-8, a lone surrogate.
    int row = 1;
    while (row <= f.state.table.rowCount() && f.state.table.fileName(row) != "z.url")
        ++row;
    QVERIFY(f.state.table.hasRow(row));
    const QString outside = QStringLiteral("z") + QChar(0xDC00) + QStringLiteral(".url");
    f.state.table.setFavorite(row, outside, f.state.table.filePath(row), f.state.table.rowFolder(row), "http://z/");

    QVERIFY(f.run(Command::SaveResults));
    QCOMPARE(resultLines(f.results()), QStringList{f.fav() + "|a.url|YES|||"});
    QCOMPARE(f.reports.size(), 1);
    const table::UnstoredRows& unstored = f.reports.constFirst().second.unstoredRows;
    QStringList breaking = unstored.breakingLine;
    breaking.sort();
    QCOMPARE(breaking, QStringList({f.fav() + "/Sub/line\nbreak.url", f.fav() + "/bar|in name.url"}));
    QCOMPARE(unstored.outsideCodePage, QStringList{f.fav() + "/" + outside});
#endif
}

void CommandRulesTest::saveFailureChangesNothing()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    // A folder stands where the results file must be written.
    QVERIFY(writeFile(f.results() + "/keep.txt", "x"));
    QVERIFY(f.start());
    testsupport::setVerdict(f.state.table, 1, table::Verdict::Alive);
    const QVector<table::LinkRow> rows = f.state.table.rows();
    const QMap<QString, QByteArray> disk = folderContents(f.root());

    QVERIFY(f.run(Command::SaveResults));
    QVERIFY(failedWith(f, Command::SaveResults, FileFailure::NotARegularFile));
    QCOMPARE(f.failures.constFirst().second.path, QDir::toNativeSeparators(f.results()));
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(f.state.table.rows(), rows);
    QCOMPARE(f.cleared, 0);

    // Once the way is clear the same command works, with the result still there to save.
    QVERIFY(QDir(f.results()).removeRecursively());
    f.failures.clear();
    QVERIFY(f.run(Command::SaveResults));
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(resultLines(f.results()).constFirst(), f.fav() + "|a.url|YES|||");
    QCOMPARE(f.state.table.history(1).checks[0].verdict(), table::Verdict::Alive);
}

// A bookmarklet (an address that mentions "http://" but is no URL a request can be made of) and an address
// without a host are never asked: they keep their previous result, so four checks and saves never condemn
// them, while a server that refuses does collect its four "NO" and goes at the delete.
void CommandRulesTest::addressesNoRequestCanBeMadeOfSurviveChecksAndDelete()
{
    const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::LoopbackHttpServer::closedPort());
    CommandFixture f;
    QVERIFY(f.addFavorite("bookmarklet.url", "javascript:void(window.open('http://127.0.0.1/x'))"));
    QVERIFY(f.addFavorite("nohost.url", "http:///path"));
    QVERIFY(f.addFavorite("dead.url", dead));
    QVERIFY(f.start());
    checker::LinkChecker checker(f.state.table);
    checker.setDispatchInterval(5);
    checker.setWatchInterval(60);

    for (int round = 1; round <= 4; ++round) {
        QSignalSpy finished(&checker, &checker::LinkChecker::runFinished);
        checker.start();
        QVERIFY(finished.wait(20000));
        QCOMPARE(testsupport::rowStates(f.state.table), QStringList({"", "", "NO", ""}));
        QVERIFY(f.run(Command::SaveResults));
    }
    QCOMPARE(resultLines(f.results()), QStringList({f.fav() + "|bookmarklet.url||||", f.fav() + "|dead.url|NO|NO|NO|NO",
                                                    f.fav() + "|nohost.url||||"}));
    QVERIFY(f.run(Command::DeleteDead));
    QCOMPARE(diskNames(f.fav()), QStringList({s() + "bookmarklet", s() + "nohost"}));
    QVERIFY(f.failures.isEmpty());
}

// A save during a check: the answers that come in while the table is being loaded again reach their favorites in the
// new table, and "检测完毕" comes only when every favorite asked has its verdict, in 结果 or in the saved history.
void CommandRulesTest::saveDuringACheckKeepsTheAnswersInFlight()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    testsupport::LoopbackHttpServer::Route held;
    held.kind = testsupport::LoopbackHttpServer::Route::Hold;
    held.status = 404;
    server.setRoute(QStringLiteral("/held"), held);
    constexpr int kFavorites = 12;
    constexpr int kHeld = 5;
    CommandFixture f;
    for (int i = 1; i <= kFavorites; ++i) {
        const QString path = i == kHeld ? QStringLiteral("/held?row=%1") : QStringLiteral("/slow?ms=30&row=%1");
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i, 2, 10, QLatin1Char('0')), server.url(path.arg(i))));
    }
    QVERIFY(f.start());
    checker::LinkChecker checker(f.state.table);
    checker.setDispatchInterval(5);
    checker.setWatchInterval(60);
    checker.setThreadCount(2);
    QStringList withoutVerdict; // at the end of the run
    QObject::connect(&checker, &checker::LinkChecker::runFinished, [&] {
        for (int r = 1; r <= f.state.table.rowCount(); ++r) {
            if (f.state.table.verdict(r) == table::Verdict::None && f.state.table.history(r).checks[0].isEmpty())
                withoutVerdict << f.state.table.fileName(r);
        }
    });
    QSignalSpy finished(&checker, &checker::LinkChecker::runFinished);
    checker.start();
    QTRY_VERIFY(server.requestCount(QStringLiteral("/held")) == 1 && server.inFlight() == 1);

    // The held answer leaves the server now; the checker reads it only once the save has scheduled the reload.
    server.releaseHeld();
    f.click(Command::SaveResults);
    QVERIFY(f.load().isWorking());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QTRY_VERIFY(!f.load().isWorking());
    QVERIFY(f.failures.isEmpty());

    QCOMPARE(f.state.table.rowCount(), kFavorites);
    QCOMPARE(f.state.table.verdict(kHeld), table::Verdict::Alive);
    QVERIFY2(withoutVerdict.isEmpty(), qPrintable(withoutVerdict.join(QLatin1Char(' '))));
    for (int r = 1; r <= kFavorites; ++r) {
        QCOMPARE(server.requestsWithQueryItem(QStringLiteral("row=%1").arg(r)), 1);
        // Its own verdict, once: in 结果 when it came after the save, in the history when it came before.
        const bool now = f.state.table.verdict(r) != table::Verdict::None;
        const bool saved = !f.state.table.history(r).checks[0].isEmpty();
        QVERIFY2(now != saved, qPrintable(f.state.table.fileName(r)));
    }
}

void CommandRulesTest::checkGoesOnWhileWorkRuns_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("backup") << Command::Backup;
    QTest::newRow("delete, then its reload") << Command::DeleteDead;
}

// The file work of a command runs in a worker, held here at its first entry: meanwhile the check goes on, its answers
// landing in 结果. Those of the favorites a delete leaves are kept across its reload, and every favorite is asked.
void CommandRulesTest::checkGoesOnWhileWorkRuns()
{
    QFETCH(Command, command);
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    constexpr int kFavorites = 60;
    CommandFixture f;
    for (int i = 1; i <= kFavorites; ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i, 2, 10, QLatin1Char('0')),
                              server.url(QStringLiteral("/slow?ms=30&row=%1").arg(i))));
    const QString closed = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::LoopbackHttpServer::closedPort());
    QVERIFY(f.addFavorite("z-dead.url", closed));
    QVERIFY(f.writeResults({"|z-dead.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    checker::LinkChecker checker(f.state.table);
    checker.setDispatchInterval(5);
    checker.setWatchInterval(60);
    testsupport::WorkerGate gate(f.load(), 1);
    QSignalSpy verdicts(&checker, &checker::LinkChecker::verdict);
    QSignalSpy runFinished(&checker, &checker::LinkChecker::runFinished);
    checker.start();
    QTRY_VERIFY(!verdicts.isEmpty());
    f.click(command);
    QTRY_VERIFY_WITH_TIMEOUT(gate.isHeld(), 10000);
    const qsizetype before = verdicts.count();
    QTRY_VERIFY(verdicts.count() >= before + 3);
    QCOMPARE(gate.reached(), 1);

    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(!f.load().isWorking() && runFinished.count() == 1, 30000);
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(f.state.table.rowCount(), command == Command::DeleteDead ? kFavorites : kFavorites + 1);
    for (int r = 1; r <= kFavorites; ++r)
        QCOMPARE(f.state.table.verdict(r), table::Verdict::Alive);
}

void CommandRulesTest::deleteRemovesOnlyFavoritesWithFourSavedFailures()
{
    CommandFixture f;
    for (const char* name : {"dead.url", "three.url", "oneYes.url", "gap.url", "lower.url", "fresh.url",
                             "Sub/Deep/dead2.url", "Sub/keep.url"})
        QVERIFY(f.addFavorite(name, QStringLiteral("http://%1/").arg(QString::fromLatin1(name))));
    QVERIFY(f.writeResults({"|dead.url|NO|NO|NO|NO", "|three.url|NO|NO|NO|", "|oneYes.url|NO|NO|YES|NO",
                            "|gap.url|NO||NO|NO", "|lower.url|no|no|no|no", "/Sub/Deep|dead2.url|NO|NO|NO|NO",
                            "/Sub|keep.url|YES|YES|YES|YES"}));
    QVERIFY(f.start());
    // The result of the current check plays no part.
    testsupport::setAllStates(f.state.table, table::Verdict::Dead);
    for (int i = 1; i <= f.state.table.rowCount(); ++i) {
        if (f.state.table.fileName(i) == QLatin1String("keep.url"))
            testsupport::setVerdict(f.state.table, i, table::Verdict::Alive);
    }
    const QStringList statesLeft = {QString(), "NO", "NO", "NO", "NO", "NO", "YES"};
    const QByteArray savedResults = readFile(f.results());
    QMap<QString, QByteArray> expected = folderContents(f.fav());
    expected.remove("dead.url");
    expected.remove("Sub/Deep/dead2.url");

    QVERIFY(f.run(Command::DeleteDead));
    QCOMPARE(folderContents(f.fav()), expected);
    QCOMPARE(readFile(f.results()), savedResults);
    QCOMPARE(f.loads, 2);
    QCOMPARE(tableNames(f.state.table), diskNames(f.fav()));
    QCOMPARE(f.state.table.rowCount(), 6);
    QVERIFY(f.failures.isEmpty());
    // The favorites left keep the verdicts of the check, which is not saved yet: a save now folds them in.
    QCOMPARE(testsupport::rowStates(f.state.table), statesLeft);
    QVERIFY(f.run(Command::SaveResults));
    QVERIFY(resultLines(f.results()).contains(f.fav() + s() + "Sub|keep.url|YES|YES|YES|YES"));
    QVERIFY(resultLines(f.results()).contains(f.fav() + "|three.url|NO|NO|NO|NO"));
}

void CommandRulesTest::deleteWithNothingToDeleteStillReloads()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.writeResults({"|a.url|NO|NO|NO|", "/Sub|b.url|YES|NO|NO|NO"}));
    QVERIFY(f.start());
    const QVector<table::LinkRow> rows = f.state.table.rows();
    const QMap<QString, QByteArray> before = folderContents(f.root());

    QVERIFY(f.run(Command::DeleteDead));
    QCOMPARE(f.loads, 2);
    QCOMPARE(folderContents(f.root()), before);
    QCOMPARE(f.state.table.rows(), rows);
}

// A favorite deleted by hand since the load is gone as it was to be: the others are deleted all the same.
void CommandRulesTest::deleteCountsAFavoriteAlreadyGoneAndGoesOn()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a-gone.url", "http://gone/"));
    QVERIFY(f.addFavorite("dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("keep.url", "http://keep/"));
    QVERIFY(f.addFavorite("Sub/keep2.url", "http://keep2/"));
    QVERIFY(f.writeResults({"|a-gone.url|NO|NO|NO|NO", "|dead.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    QVERIFY(QFile::remove(f.fav() + "/a-gone.url"));

    QVERIFY(f.run(Command::DeleteDead));
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(diskNames(f.fav()), QStringList({s() + "keep", s() + "Sub" + s() + "keep2"}));
    QCOMPARE(tableNames(f.state.table), diskNames(f.fav()));
}

void CommandRulesTest::backupTwiceReplacesTheFirst()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.start());
    const QVector<table::LinkRow> rows = f.state.table.rows();

    QVERIFY(f.run(Command::Backup));
    QCOMPARE(folderContents(f.backup()), folderContents(f.fav()));
    QVERIFY(QFile::remove(f.fav() + "/a.url"));
    QVERIFY(f.addFavorite("Sub/Deep/c.url", "http://c/"));
    QVERIFY(f.run(Command::Backup));
    QCOMPARE(folderContents(f.backup()), folderContents(f.fav()));
    QVERIFY(!QFileInfo::exists(f.backup() + "/a.url"));
    // Nothing but the backup is left in the program folder, and the table is untouched.
    QCOMPARE(QDir(f.program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"data"});
    QCOMPARE(f.loads, 1);
    QCOMPARE(f.state.table.rows(), rows);
    QCOMPARE(f.reports.size(), 2);
    QVERIFY(f.reports.constLast().second.leftOut.isEmpty());
}

// Named pipes and sockets are never opened (a pipe would wait for a writer for good): the backup completes
// without them, and says which they were.
void CommandRulesTest::backupLeavesOutPipesAndSocketsAndSaysSo()
{
#ifndef Q_OS_UNIX
    QSKIP("named pipes and sockets are made with the Unix calls here");
#else
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QCOMPARE(::mkfifo(QFile::encodeName(f.fav() + "/Sub/pipe").constData(), 0644), 0);
    QVERIFY(testsupport::makeSocketFile(f.fav() + "/socket"));
    QVERIFY(f.start());

    QVERIFY(f.run(Command::Backup));
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(f.reports.size(), 1);
    const favorites::LeftOut& leftOut = f.reports.constFirst().second.leftOut;
    QCOMPARE(leftOut.pipes, QStringList{f.fav() + "/Sub/pipe"});
    QCOMPARE(leftOut.sockets, QStringList{f.fav() + "/socket"});
    QMap<QString, QByteArray> expected = folderContents(f.fav());
    expected.remove("Sub/pipe");
    expected.remove("socket");
    QCOMPARE(folderContents(f.backup()), expected);
#endif
}

void CommandRulesTest::backupFailureKeepsPreviousBackup_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("program folder through a file") << "through a file";
    QTest::newRow("path too long for the backup") << "too long";
    QTest::newRow("a file named like the backup") << "file in the way";
}

void CommandRulesTest::backupFailureKeepsPreviousBackup()
{
    QFETCH(QString, how);
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QString program = f.program();
    FailureKind kind = platform::FailureKind();
    if (how == "through a file") {
        QVERIFY(writeFile(f.root() + "/blocker", "a file"));
        program = f.root() + "/blocker/prog";
        kind = FileFailure::FolderNotCreated;
    } else if (how == "file in the way") {
        QVERIFY(writeFile(f.backup(), "not a folder"));
        kind = FileFailure::FileInTheWay;
    } else {
        // A favorite deep enough that its path just fits under the Favorites folder (4095 bytes at most)
        // but not under the new backup folder, whose path is longer.
        const int longest = 4095;
        QVERIFY(favorites::backupFolderPath(f.program()).size() + 4 > f.fav().size());
        QString folder = f.fav();
        int remaining = longest - f.fav().size() - int(strlen("/x.url"));
        while (remaining > 250) {
            folder += "/" + QString(200, u'd');
            remaining -= 201;
        }
        folder += "/" + QString(remaining - 1, u'e');
        QCOMPARE((folder + "/x.url").toUtf8().size(), longest);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(folder + "/x.url", shortcutBytes("http://deep/")));
        QVERIFY(writeFile(f.backup() + "/old.url", shortcutBytes("http://old/")));
    }
    QVERIFY(f.start(QString(), program));
    const QMap<QString, QByteArray> favBefore = folderContents(f.fav());
    const QMap<QString, QByteArray> backupBefore = folderContents(f.backup());
    const QByteArray backupFile = readFile(f.backup());

    QVERIFY(f.run(Command::Backup));
    QCOMPARE(f.failures.size(), 1);
    if (kind != platform::FailureKind())
        QVERIFY(failedWith(f, Command::Backup, kind));
    QCOMPARE(folderContents(f.fav()), favBefore);
    QCOMPARE(folderContents(f.backup()), backupBefore);
    QCOMPARE(readFile(f.backup()), backupFile);
    QVERIFY(!QFileInfo::exists(f.backup() + ".new"));
}

void CommandRulesTest::restoreBringsBackTheBackupAtAnyDepth()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.addFavorite("Sub/Deep/c.url", "http://c/"));
    QVERIFY(f.start());
    QVERIFY(f.run(Command::Backup));
    const QMap<QString, QByteArray> backedUp = folderContents(f.fav());

    QVERIFY(QFile::remove(f.fav() + "/a.url"));
    QVERIFY(QFile::remove(f.fav() + "/Sub/Deep/c.url"));
    QVERIFY(f.addFavorite("added.url", "http://x/"));
    QVERIFY(f.addFavorite("Sub/Deep/Deeper/added2.url", "http://y/"));
    QVERIFY(f.addFavorite("New/added3.url", "http://z/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://changed/"));

    QVERIFY(f.run(Command::Restore));
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(folderContents(f.fav()), backedUp);
    QCOMPARE(folderContents(f.backup()), backedUp);
    QCOMPARE(f.loads, 2);
    QCOMPARE(tableNames(f.state.table),
             QStringList({s() + "a", s() + "Sub" + s() + "b", s() + "Sub" + s() + "Deep" + s() + "c"}));
    QCOMPARE(f.state.table.rowUrl(2), QString("http://b/"));
}

// Hidden entries at the top of the Favorites folder stay where they are; the backup's entry of the same name is
// not brought in.
void CommandRulesTest::restoreKeepsHiddenEntriesAtTheTop()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(writeFile(f.fav() + "/.hidden", "a hidden file"));
    QVERIFY(f.start());
    QVERIFY(f.run(Command::Backup));
    QMap<QString, QByteArray> expected = folderContents(f.fav());

    QVERIFY(QFile::remove(f.fav() + "/.hidden"));
    QVERIFY(writeFile(f.fav() + "/.hidden/inside.url", "kept"));
    QVERIFY(f.addFavorite("added.url", "http://added/"));
    QVERIFY(f.run(Command::Restore));
    QVERIFY(f.failures.isEmpty());
    expected.remove(".hidden");
    expected.insert(".hidden/", QByteArray());
    expected.insert(".hidden/inside.url", "kept");
    QCOMPARE(folderContents(f.fav()), expected);
}

void CommandRulesTest::restoreLeavesOutAPipeInTheBackup()
{
#ifndef Q_OS_UNIX
    QSKIP("named pipes are made with the Unix calls here");
#else
    CommandFixture f;
    QVERIFY(f.addFavorite("added.url", "http://added/"));
    QVERIFY(writeFile(f.backup() + "/a.url", shortcutBytes("http://a/")));
    QCOMPARE(::mkfifo(QFile::encodeName(f.backup() + "/pipe").constData(), 0644), 0);
    QVERIFY(f.start());
    QVERIFY(f.run(Command::Restore));
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(folderContents(f.fav()), (QMap<QString, QByteArray>{{"a.url", shortcutBytes("http://a/")}}));
    QCOMPARE(f.reports.size(), 1);
    QCOMPARE(f.reports.constFirst().second.leftOut.pipes, QStringList{f.backup() + "/pipe"});
#endif
}

void CommandRulesTest::removedFavoritesGoToTheRecycleBin_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("delete the dead favorites, each on its own") << Command::DeleteDead;
    QTest::newRow("restore the favorites the backup replaces, in one folder") << Command::Restore;
}

// What the delete and the restore remove is in the Recycle Bin (the freedesktop Trash here), byte for byte, with where
// it came from as file managers read it (escaped as in a URL, as GLib writes it) and when; nothing is asked or told.
void CommandRulesTest::removedFavoritesGoToTheRecycleBin()
{
    QFETCH(Command, command);
    CommandFixture f;
    // Names that an unescaped path would lose or change: "%" not followed by two hex digits, an escape of its own.
    const QStringList odd{"100%.url", "a%20b.url", "甲 b.url"};
    QVERIFY(addDeadKeptAndBackup(f, odd));
    QVERIFY(f.start());
    const QMap<QString, QByteArray> before = folderContents(f.fav());

    QVERIFY(f.run(command));
    QVERIFY(f.failures.isEmpty());
    QVERIFY(f.deleteQuestions.isEmpty());
    QVERIFY(command == Command::Restore || f.reports.constFirst().second.leftOut.isEmpty());
    const QString files = f.trash() + "/files/";
    const QString info = f.trash() + "/info/";
    // The temporary folder's path has nothing to escape.
    const QByteArray fav = QFile::encodeName(f.fav());
    QVERIFY(QUrl::toPercentEncoding(QString::fromUtf8(fav), "/") == fav);
    const QRegularExpression trashInfo(
        "^\\[Trash Info\\]\nPath=(.*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$");
    const auto pathIn = [&](const QString& name) {
        const QRegularExpressionMatch match = trashInfo.match(QString::fromUtf8(readFile(info + name + ".trashinfo")));
        return match.hasMatch() ? match.captured(1).toUtf8() : QByteArray("(no trash info)");
    };
    if (command == Command::DeleteDead) {
        QMap<QString, QByteArray> expected{{"dead.url", shortcutBytes("http://dead/")},
                                           {"dead2.url", shortcutBytes("http://dead2/")}};
        for (const QString& name : odd)
            expected.insert(name, shortcutBytes("http://odd/"));
        QCOMPARE(folderContents(files), expected);
        QCOMPARE(pathIn("dead.url"), fav + "/dead.url");
        QCOMPARE(pathIn("dead2.url"), fav + "/Sub/dead2.url");
        QCOMPARE(pathIn("100%.url"), fav + "/100%25.url");
        QCOMPARE(pathIn("a%20b.url"), fav + "/a%2520b.url");
        QCOMPARE(pathIn("甲 b.url"), fav + "/%E7%94%B2%20b.url");
        QCOMPARE(tableNames(f.state.table), QStringList{s() + "keep"});
    } else {
        const QString name = QStringLiteral("Favorites before the restore");
        QCOMPARE(folderContents(f.fav()), folderContents(f.backup()));
        QCOMPARE(QDir(files).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{name});
        QCOMPARE(folderContents(files + name), before);
        QCOMPARE(pathIn(name), fav + "/Favorites%20before%20the%20restore");
    }
    QCOMPARE(tableNames(f.state.table), diskNames(f.fav()));
}

void CommandRulesTest::withoutRecycleBinNothingGoesUnasked_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<bool>("deleteForGood");
    QTest::newRow("delete cancelled") << Command::DeleteDead << false;
    QTest::newRow("delete deleted for good") << Command::DeleteDead << true;
    QTest::newRow("restore cancelled") << Command::Restore << false;
    QTest::newRow("restore deleted for good") << Command::Restore << true;
}

// A Favorites folder on a volume without a Recycle Bin, as a network drive is: here a tmpfs of its own, at whose top
// no Trash can be made, while the user's Trash is on another volume. The question comes, once; 取消 changes nothing
// (the restore is undone); 确定 deletes for good, and nothing is left in any Trash.
void CommandRulesTest::withoutRecycleBinNothingGoesUnasked()
{
    if (!testsupport::isChildRun())
        return testsupport::rerunOnOwnTmpfs(QStringLiteral("size=16m"));
#ifdef Q_OS_UNIX
    QFETCH(Command, command);
    QFETCH(bool, deleteForGood);
    const QString volume = testsupport::volumeWithoutRecycleBin();
    CommandFixture f;
    const QString fav = volume + "/Favorites";
    QVERIFY(writeFile(fav + "/dead.url", shortcutBytes("http://dead/")));
    QVERIFY(writeFile(fav + "/Sub/dead2.url", shortcutBytes("http://dead2/")));
    QVERIFY(writeFile(fav + "/keep.url", shortcutBytes("http://keep/")));
    QVERIFY(writeFile(f.results(), platform::encodeSystem(fav + "|dead.url|NO|NO|NO|NO\r\n" + fav +
                                                          "/Sub|dead2.url|NO|NO|NO|NO\r\n")));
    QVERIFY(writeFile(f.backup() + "/keep.url", shortcutBytes("http://keep/")));
    QVERIFY(writeFile(f.backup() + "/Old/from-backup.url", shortcutBytes("http://old/")));
    QVERIFY(f.start(fav));
    f.deleteForGood = deleteForGood;
    const QMap<QString, QByteArray> before = folderContents(fav);
    const QMap<QString, QByteArray> backup = folderContents(f.backup());

    QVERIFY(f.run(command));
    QCOMPARE(f.deleteQuestions.size(), 1);
    QCOMPARE(f.deleteQuestions.constFirst().first, command);
    QStringList asked = f.deleteQuestions.constFirst().second;
    asked.sort();
    QCOMPARE(asked, command == Command::DeleteDead ? QStringList({fav + "/Sub/dead2.url", fav + "/dead.url"})
                                                   : QStringList{fav});
    QVERIFY(f.failures.isEmpty());
    QVERIFY(QDir(f.trash() + "/files").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QCOMPARE(folderContents(f.backup()), backup);
    QMap<QString, QByteArray> expected = before;
    if (deleteForGood && command == Command::DeleteDead) {
        expected.remove("dead.url");
        expected.remove("Sub/dead2.url");
    }
    QCOMPARE(folderContents(fav), deleteForGood && command == Command::Restore ? backup : expected);
    QCOMPARE(tableNames(f.state.table), diskNames(fav));
#endif
}

void CommandRulesTest::trashThatCannotBeWrittenIsNoRecycleBin_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("locked"); // the part of the Trash that may not be written
    QTest::newRow("delete, its info folder") << Command::DeleteDead << "info";
    QTest::newRow("delete, its files folder") << Command::DeleteDead << "files";
    QTest::newRow("restore, its info folder") << Command::Restore << "info";
}

// A Trash that the user may not write (here its info or files folder) is no Recycle Bin: the question before deleting
// for good comes, once, and 取消 changes nothing; the command never waits for a Trash that cannot take anything.
// Run as the user "nobody" when this run is root, whom permissions do not stop.
void CommandRulesTest::trashThatCannotBeWrittenIsNoRecycleBin()
{
    QFETCH(Command, command);
    QFETCH(QString, locked);
    if (testsupport::isSuperuser() && !testsupport::isUnprivilegedChild()) {
        QTemporaryDir home;
        QVERIFY(home.isValid() && testsupport::setMode(home.path(), 0777));
        const testsupport::NobodyRun run = testsupport::runCurrentRowAsNobody(home.path());
        QVERIFY2(run.made, qPrintable("cannot run as nobody: " + run.why));
        QVERIFY2(run.passed, qPrintable(run.output));
        return;
    }
#ifdef Q_OS_UNIX
    CommandFixture f;
    QVERIFY(f.addFavorite("dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("keep.url", "http://keep/"));
    QVERIFY(f.writeResults({"|dead.url|NO|NO|NO|NO"}));
    QVERIFY(writeFile(f.backup() + "/keep.url", shortcutBytes("http://keep/")));
    QVERIFY(QDir().mkpath(f.trash() + "/info") && QDir().mkpath(f.trash() + "/files"));
    QVERIFY(testsupport::setMode(f.trash() + '/' + locked, 0555));
    QVERIFY(f.start());
    const QMap<QString, QByteArray> before = folderContents(f.fav());

    QVERIFY(f.run(command));
    testsupport::setMode(f.trash() + '/' + locked, 0755);
    QCOMPARE(f.deleteQuestions.size(), 1);
    QCOMPARE(f.deleteQuestions.constFirst().second,
             command == Command::DeleteDead ? QStringList{f.fav() + "/dead.url"} : QStringList{f.fav()});
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(folderContents(f.fav()), before);
    QCOMPARE(folderContents(f.trash()), (QMap<QString, QByteArray>{{"files/", {}}, {"info/", {}}}));
#endif
}

// A Favorites folder on another volume than the user's home, on which the desktops keep a Trash (here a ramfs of its
// own): what the delete removes goes to the Trash at the top of that volume, .Trash-<uid>, with its path from there,
// as file managers look for it; nothing goes to the user's Trash, and nothing is asked.
void CommandRulesTest::anotherVolumeHasItsOwnTrash()
{
    if (!testsupport::isChildRun())
        return testsupport::rerunOnOwnTmpfs(QStringLiteral("mode=0755"), QStringLiteral("ramfs"));
#ifdef Q_OS_UNIX
    const QString volume = testsupport::childRunValue();
    CommandFixture f;
    const QString fav = volume + "/Favorites";
    QVERIFY(writeFile(fav + "/Sub/dead one.url", shortcutBytes("http://dead/")));
    QVERIFY(writeFile(fav + "/keep.url", shortcutBytes("http://keep/")));
    QVERIFY(writeFile(f.results(), platform::encodeSystem(fav + "/Sub|dead one.url|NO|NO|NO|NO\r\n")));
    QVERIFY(f.start(fav));

    QVERIFY(f.run(Command::DeleteDead));
    QVERIFY(f.deleteQuestions.isEmpty() && f.failures.isEmpty());
    const QString trash = volume + QStringLiteral("/.Trash-%1").arg(::getuid());
    QCOMPARE(folderContents(trash + "/files"),
             (QMap<QString, QByteArray>{{"dead one.url", shortcutBytes("http://dead/")}}));
    QVERIFY2(readFile(trash + "/info/dead one.url.trashinfo").contains("\nPath=Favorites/Sub/dead%20one.url\n"),
             readFile(trash + "/info/dead one.url.trashinfo").constData());
    QVERIFY(!QFileInfo::exists(f.trash()));
    QCOMPARE(tableNames(f.state.table), diskNames(fav));
#endif
}

void CommandRulesTest::refusalsWhenFavoritesFolderUnusable_data()
{
    QTest::addColumn<QString>("favorites"); // relative to the test folder; "-" for an empty value
    QTest::addColumn<Command>("command");
    QTest::addColumn<platform::FailureKind>("kind");
    // The save too: without a Favorites folder the table is empty and a save would wipe every history.
    const std::pair<Command, const char*> commands[] = {{Command::SaveResults, "save"},
                                                        {Command::DeleteDead, "delete"},
                                                        {Command::Backup, "backup"},
                                                        {Command::Restore, "restore"}};
    for (const auto& [command, name] : commands) {
        QTest::addRow("empty %s", name) << "-" << command
                                        << platform::FailureKind(favorites::MaintenanceFailure::NoFavoritesFolder);
        QTest::addRow("missing %s", name)
            << "NoSuchFolder" << command
            << platform::FailureKind(favorites::MaintenanceFailure::FavoritesFolderMissing);
        QTest::addRow("a file %s", name) << "file.url" << command
                                         << platform::FailureKind(favorites::MaintenanceFailure::FavoritesNotAFolder);
    }
}

void CommandRulesTest::refusalsWhenFavoritesFolderUnusable()
{
    QFETCH(QString, favorites);
    QFETCH(Command, command);
    QFETCH(platform::FailureKind, kind);
    CommandFixture f;
    QVERIFY(writeFile(f.root() + "/file.url", shortcutBytes("http://file/")));
    QVERIFY(writeFile(f.backup() + "/b.url", shortcutBytes("http://b/")));
    QVERIFY(writeFile(f.backup() + "/Sub/c.url", shortcutBytes("http://c/")));
    QVERIFY(f.writeResults({"|b.url|NO|NO|NO|NO"}));
    const QString value = favorites == "-" ? QString("") : platform::joinPath(f.root(), favorites);
    QVERIFY(f.start(value));
    const QMap<QString, QByteArray> disk = folderContents(f.root());

    QVERIFY(f.run(command));
    QVERIFY(failedWith(f, command, kind));
    QCOMPARE(f.failures.constFirst().second.path, QDir::toNativeSeparators(value));
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(f.loads, 1);
}

void CommandRulesTest::restoreWithoutBackupChangesNothing_data()
{
    QTest::addColumn<bool>("fileInTheWay");
    QTest::newRow("no backup folder") << false;
    QTest::newRow("a file named like the backup") << true;
}

// Refused: nothing on disk changes, and the table keeps its rows and the verdicts of the check not yet saved.
void CommandRulesTest::restoreWithoutBackupChangesNothing()
{
    QFETCH(bool, fileInTheWay);
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Sub/Deep/b.url", "http://b/"));
    if (fileInTheWay)
        QVERIFY(writeFile(f.backup(), "not a folder"));
    QVERIFY(f.start());
    testsupport::setVerdict(f.state.table, 1, table::Verdict::Alive);
    const QMap<QString, QByteArray> disk = folderContents(f.root());
    const QVector<table::LinkRow> rows = f.state.table.rows();

    QVERIFY(f.run(Command::Restore));
    QVERIFY(failedWith(f, Command::Restore,
                       fileInTheWay ? platform::FailureKind(FileFailure::FileInTheWay)
                                    : platform::FailureKind(favorites::MaintenanceFailure::NoBackup)));
    QCOMPARE(f.failures.constFirst().second.path, QDir::toNativeSeparators(f.backup()));
    QCOMPARE(folderContents(f.root()), disk);
    QCOMPARE(f.state.table.rows(), rows);
    QCOMPARE(f.loads, 1);
    QCOMPARE(f.cleared, 0);
}

void CommandRulesTest::nestedFoldersAreRefused_data()
{
    QTest::addColumn<QString>("favorites"); // relative to the test folder
    QTest::addColumn<QString>("program");
    QTest::addColumn<Command>("command");
    const std::pair<Command, const char*> commands[] = {{Command::Backup, "backup"}, {Command::Restore, "restore"}};
    for (const auto& [command, name] : commands) {
        QTest::addRow("favorites inside the backup, %s", name) << "prog/data/Fav"
                                                               << "prog" << command;
        QTest::addRow("backup inside the favorites, %s", name) << "Fav"
                                                               << "Fav/prog" << command;
        QTest::addRow("favorites are the backup, %s", name) << "prog/data"
                                                            << "prog" << command;
        QTest::addRow("backup inside favorites through a link, %s", name) << "Link/Fav"
                                                                          << "Real/Fav/prog" << command;
    }
    // The backup is built beside the old one before it takes its place: those folders count too.
    QTest::addRow("favorites are the new backup") << "prog/data.new"
                                                  << "prog" << Command::Backup;
    QTest::addRow("favorites inside the old backup") << "prog/data.old/Fav"
                                                     << "prog" << Command::Backup;
}

void CommandRulesTest::nestedFoldersAreRefused()
{
    QFETCH(QString, favorites);
    QFETCH(QString, program);
    QFETCH(Command, command);
    CommandFixture f;
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

    QVERIFY(f.run(command));
    QCOMPARE(f.failures.size(), 1);
    QCOMPARE(folderContents(f.root()), disk);
}

// A command while another one's work or reload runs is refused and changes nothing: the rows may still be those of
// before. Once that is over, it works on the favorites as they are now.
void CommandRulesTest::commandRightAfterAReloadingCommandUsesTheNewRows()
{
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("b.url", "http://b/"));
    QVERIFY(f.addFavorite("c.url", "http://c/"));
    QVERIFY(f.writeResults({"|a.url|NO|NO|NO|NO", "|b.url|YES|YES|YES|YES", "|c.url|NO|NO|NO|"}));
    QVERIFY(f.start());
    const QByteArray results = readFile(f.results());
    // The delete takes a.url; a save that comes before the table has been reloaded, or the deletion has even run,
    // does nothing, and one after it saves what is left.
    f.click(Command::DeleteDead);
    QVERIFY(f.run(Command::SaveResults));
    QCOMPARE(readFile(f.results()), results);
    QVERIFY(f.run(Command::SaveResults));
    QVERIFY(f.failures.isEmpty());
    QVERIFY(!QFileInfo::exists(f.fav() + "/a.url"));
    QCOMPARE(resultLines(f.results()), QStringList({f.fav() + "|b.url|YES|YES|YES|", f.fav() + "|c.url|NO|NO|NO|"}));
    QCOMPARE(tableNames(f.state.table), QStringList({s() + "b", s() + "c"}));
    QVERIFY(QFileInfo::exists(f.fav() + "/c.url"));
}

void CommandRulesTest::restoreThenDeleteRightAwayDeletesNoLiveFavorite()
{
    CommandFixture f;
    QVERIFY(writeFile(f.backup() + "/a-new.url", shortcutBytes("http://new/")));
    QVERIFY(writeFile(f.backup() + "/keep.url", shortcutBytes("http://keep/")));
    QVERIFY(f.addFavorite("dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("keep.url", "http://keep/"));
    QVERIFY(f.writeResults({"|dead.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    // Refused while the restore runs; then on the restored favorites, of which none is dead.
    f.click(Command::Restore);
    QVERIFY(f.run(Command::DeleteDead));
    QVERIFY(f.run(Command::DeleteDead));
    QVERIFY(f.failures.isEmpty());
    QVERIFY(QFileInfo::exists(f.fav() + "/a-new.url"));
    QVERIFY(QFileInfo::exists(f.fav() + "/keep.url"));
    QCOMPARE(tableNames(f.state.table), QStringList({s() + "a-new", s() + "keep"}));
}

void CommandRulesTest::lockedFolderFailures_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("what");
    QTest::newRow("delete dead favorite in a folder that cannot be written") << Command::DeleteDead << "";
    QTest::newRow("backup a folder that cannot be read") << Command::Backup << "";
    QTest::newRow("restore a folder that cannot be moved") << Command::Restore << "";
    QTest::newRow("restore a file in the backup that cannot be read") << Command::Restore << "unreadable backup";
    QTest::newRow("save a program folder that cannot be written") << Command::SaveResults << "";
}

// Folders and files the user may not change are prepared as root and the command runs as the user "nobody". The
// system refuses the user; the command says why and nothing of the user's is lost: a restore that fails leaves
// the Favorites folder byte for byte as it was.
void CommandRulesTest::lockedFolderFailures()
{
    QFETCH(Command, command);
    QFETCH(QString, what);
    if (testsupport::isUnprivilegedChild()) {
        const QString root = qEnvironmentVariable("TESSALY_TEST_ROOT");
        CommandFixture f;
        QVERIFY(f.start(root + "/Favorites", root + "/prog"));
        const QVector<table::LinkRow> rows = f.state.table.rows();
        QVERIFY(f.run(command));
        QCOMPARE(f.failures.size(), 1);
        const platform::Failure& failure = f.failures.constFirst().second;
        QVERIFY2(failure.system.reason == platform::SystemReason::AccessDenied, qPrintable(ui::failureText(failure)));
        QCOMPARE(tableNames(f.state.table), diskNames(root + "/Favorites"));
        if (command != Command::DeleteDead)
            QCOMPARE(f.state.table.rows(), rows);
        return;
    }
    if (!testsupport::isSuperuser())
        QSKIP("The locked folders are prepared as root and the command run as nobody; this run is not root.");
#ifdef Q_OS_UNIX
    CommandFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a/"));
    QVERIFY(f.addFavorite("Locked/dead.url", "http://dead/"));
    QVERIFY(f.addFavorite("Locked/x.url", "http://x/"));
    QVERIFY(f.addFavorite("Sub/b.url", "http://b/"));
    QVERIFY(f.addFavorite("z.url", "http://z/"));
    QVERIFY(f.writeResults({"/Locked|dead.url|NO|NO|NO|NO"}));
    QVERIFY(writeFile(f.backup() + "/old.url", shortcutBytes("http://old/")));
    if (command == Command::Restore) {
        QVERIFY(QDir(f.backup()).removeRecursively());
        QVERIFY(favorites::backupFavorites(f.fav(), f.backup()));
        QVERIFY(f.addFavorite("added.url", "http://added/"));
    }
    QVERIFY(testsupport::setMode(f.root(), 0755));
    QVERIFY(testsupport::giveToNobody(f.root()));
    QString locked = command == Command::SaveResults ? f.program() : f.fav() + "/Locked";
    if (what == "unreadable backup") {
        locked = f.backup() + "/Sub/b.url";
        QVERIFY(testsupport::setMode(f.fav() + "/Locked", 0755));
    }
    QVERIFY(::lchown(QFile::encodeName(locked).constData(), 0, 0) == 0);
    QVERIFY(testsupport::setMode(locked, command == Command::Backup || what == "unreadable backup" ? 0700 : 0755));
    const QMap<QString, QByteArray> favBefore = folderContents(f.fav());
    const QMap<QString, QByteArray> backupBefore = folderContents(f.backup());
    const QByteArray resultsBefore = readFile(f.results());

    const testsupport::NobodyRun run = testsupport::runCurrentRowAsNobody(f.root());
    if (!run.made)
        QSKIP(qPrintable("cannot run as nobody: " + run.why));
    QVERIFY2(run.passed, qPrintable(run.output));

    QVERIFY(everyFavoriteKept(favBefore, f.fav(), f.backup()));
    if (command == Command::DeleteDead || command == Command::Restore)
        QCOMPARE(folderContents(f.fav()), favBefore);
    QCOMPARE(folderContents(f.backup()), backupBefore);
    QCOMPARE(readFile(f.results()), resultsBefore);
    testsupport::setMode(locked, 0755);
#endif
}

void CommandRulesTest::workEndingInAnExceptionFailsOnlyItsCommand_data()
{
    QTest::addColumn<Command>("command"); // the command whose work throws; SaveResults: its reload; About: start-up
    QTest::newRow("delete") << Command::DeleteDead;
    QTest::newRow("backup") << Command::Backup;
    QTest::newRow("restore") << Command::Restore;
    QTest::newRow("the reload after a save") << Command::SaveResults;
    QTest::newRow("the load at start-up") << Command::About;
}

// The worker's code throws at the first entry of a piece of work, as an allocation that fails would. The work ends
// there, its command fails with what the exception said, and the program goes on: nothing of the user's is lost, the
// table shows what is on disk (after a load that threw, nothing, and a save is refused rather than wipe every history),
// and the same command works the next time.
void CommandRulesTest::workEndingInAnExceptionFailsOnlyItsCommand()
{
    QFETCH(Command, command);
    CommandFixture f;
    QVERIFY(addDeadKeptAndBackup(f));
    const QMap<QString, QByteArray> favBefore = folderContents(f.fav());
    const QMap<QString, QByteArray> backupBefore = folderContents(f.backup());
    auto throws = std::make_shared<std::atomic<bool>>(true);
    const auto throwOnce = [throws](int done, int) {
        if (done == 1 && throws->exchange(false))
            throw std::bad_alloc();
    };
    QSignalSpy loadFailed(&f.load(), &jobs::LoadSequence::loadFailed);
    if (command == Command::About)
        f.load().setStepHook(throwOnce);
    QVERIFY(f.start());
    f.load().setStepHook(throwOnce);
    if (command != Command::About)
        QVERIFY(f.run(command));
    QVERIFY(!*throws);

    platform::Failure unexpected;
    if (command == Command::SaveResults || command == Command::About) {
        QCOMPARE(loadFailed.count(), 1);
        QCOMPARE(f.state.table.rowCount(), 0);
        unexpected = f.load().loadFailure();
        QCOMPARE(unexpected.kind, FailureKind(jobs::WorkFailure::UnexpectedWhileLoading));
        const QByteArray results = readFile(f.results());
        // The save itself was done; it is the table that could not be read again.
        QVERIFY(f.failures.isEmpty());
        QCOMPARE(f.reports.size(), command == Command::SaveResults ? 1 : 0);
        f.reports.clear();
        QVERIFY(f.run(Command::SaveResults));
        QVERIFY(failedWith(f, Command::SaveResults, jobs::WorkFailure::UnexpectedWhileLoading));
        QCOMPARE(readFile(f.results()), results);
        // A command that loads the table again brings it back, and then a save works.
        QVERIFY(f.run(Command::DeleteDead));
        QVERIFY(!f.load().loadFailure().failed());
        command = Command::SaveResults;
    } else {
        QVERIFY(failedWith(f, command, jobs::WorkFailure::Unexpected));
        unexpected = f.failures.constFirst().second;
        QCOMPARE(folderContents(f.fav()), favBefore);
        QCOMPARE(folderContents(f.backup()), backupBefore);
    }
    QCOMPARE(unexpected.path, QString("std::bad_alloc"));
    QCOMPARE(unexpected.system.reason, platform::SystemReason::OutOfMemory);
    QCOMPARE(tableNames(f.state.table), diskNames(f.fav()));

    f.failures.clear();
    QVERIFY(f.run(command));
    QVERIFY(f.failures.isEmpty());
    QCOMPARE(tableNames(f.state.table), diskNames(f.fav()));
    if (command == Command::DeleteDead)
        QVERIFY(!QFileInfo::exists(f.fav() + "/dead.url"));
    else if (command == Command::SaveResults)
        QCOMPARE(resultLines(f.results()).size(), f.state.table.rowCount());
    else
        QCOMPARE(folderContents(f.fav()), folderContents(f.backup()));
}

void CommandRulesTest::restoreFailingAfterAChangeLoadsTheTableAgain_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<platform::FailureKind>("kind");
    QTest::newRow("undone: nothing changed") << "undone" << FailureKind(FileFailure::MoveFailed);
    QTest::newRow("the old favorites cannot be moved back")
        << "not undone" << FailureKind(favorites::MaintenanceFailure::RestoreNotUndone);
    QTest::newRow("the working folder taken away")
        << "taken away" << FailureKind(favorites::MaintenanceFailure::WorkingFolderGone);
    QTest::newRow("the phase not recorded, the old favorites not moved back")
        << "phase" << FailureKind(favorites::MaintenanceFailure::RestoreNotUndone);
}

// The second favorite the restore sets aside cannot be moved (the system refuses, or the working folder it goes to has
// been taken away), or, once they are all aside, the working folder's marker cannot record it. Moved back, the
// favorites are as they were, and so is the table, with the verdicts of the check; when they cannot be moved back
// either, they are where the failure says, and the table is loaded again so as to show what is in the Favorites folder
// now.
void CommandRulesTest::restoreFailingAfterAChangeLoadsTheTableAgain()
{
    QFETCH(QString, how);
    QFETCH(platform::FailureKind, kind);
    if (!testsupport::FailingRenames::isAvailable())
        QSKIP("renames are made to fail on Linux only");
    CommandFixture f;
    for (const char* name : {"a.url", "b.url", "c.url", "Sub/d.url"})
        QVERIFY(f.addFavorite(name, QStringLiteral("http://%1/").arg(QString::fromLatin1(name))));
    QVERIFY(writeFile(f.backup() + "/from-backup.url", shortcutBytes("http://backup/")));
    QVERIFY(f.start());
    testsupport::setAllStates(f.state.table, table::Verdict::Alive);
    const QVector<table::LinkRow> rows = f.state.table.rows();
    const QByteArray aside = QFile::encodeName(f.fav() + "/.tessaly-restore-old/");
    const QByteArray takenAway = QFile::encodeName(f.root() + "/taken-away");
    auto setAside = std::make_shared<std::atomic<int>>(0); // favorites moved into the working folder
    const testsupport::FailingRenames renames([=](const QByteArray& from, const QByteArray& to) {
        const auto isFavorite = [](const QByteArray& path) { return !path.contains("/.tessaly-working-folder"); };
        // The marker is saved whole, a new copy taking the old one's place: the one that records them all aside.
        if (how == "phase" && to == aside + ".tessaly-working-folder" && readFile(from).contains("phase=in\r\n"))
            return EIO;
        if (how != "phase" && to.startsWith(aside) && isFavorite(to) && ++*setAside == 2) {
            if (how != "taken away")
                return EIO;
            testsupport::renameForReal(aside.chopped(1), takenAway);
        }
        const bool movedBack = from.startsWith(aside) && isFavorite(from);
        return movedBack && (how == "not undone" || how == "phase") ? EACCES : 0;
    });

    QVERIFY(f.run(Command::Restore));
    QVERIFY(failedWith(f, Command::Restore, kind));
    QCOMPARE(tableNames(f.state.table), diskNames(f.fav()));
    if (how == "undone") {
        QCOMPARE(f.loads, 1);
        QCOMPARE(f.state.table.rows(), rows);
        return;
    }
    QCOMPARE(f.loads, 2);
    QCOMPARE(f.failures[0].second.path, how == "taken away" ? f.fav() : QString::fromLocal8Bit(aside.chopped(1)));
    const QString where = how == "taken away" ? QString::fromLocal8Bit(takenAway) : f.failures[0].second.path;
    QCOMPARE(diskNames(where).size(), how == "phase" ? 4 : 1);
    QCOMPARE(f.state.table.rowCount(), 4 - diskNames(where).size());
}

QTEST_GUILESS_MAIN(CommandRulesTest)
#include "tst_commandrules.moc"
