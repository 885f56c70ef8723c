// The commands that change data, killed (SIGKILL) at random points: a helper process runs the command over
// and over through the program's own functions, and is killed after a random time. After every kill, the
// next run starts from whatever was left, as it would for a user, and the test checks that nothing was lost:
// every favorite is whole in the Favorites folder or in the backup, the results file is the old one or the
// new one and never a mix, and a favorite being moved is whole at its old or its new place.

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "favorites/Enumeration.h"
#include "favorites/Backup.h"
#include "favorites/Maintenance.h"
#include "favorites/Recovery.h"
#include "favorites/Restore.h"
#include "favorites/WorkingFolder.h"
#include "jobs/FolderLock.h"
#include "jobs/LoadSequence.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "support/Unprivileged.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
#include "ui/FailureText.h"

#include <signal.h>
#include <sys/stat.h>

using testsupport::readFile;
using testsupport::snapshotTree;
using testsupport::TreeSnapshot;
using testsupport::writeFile;

namespace
{

// Bounds of each killing loop: rounds, and a time after which it stops early on a slow machine.
constexpr int killRounds = 40;
constexpr qint64 loopBudgetMs = 12000;
// The helper is killed this long (at most) after it has started its rounds.
constexpr int maxDelayMicros = 30000;

QByteArray shortcut(const QString& address, int n)
{
    return "[InternetShortcut]\r\nURL=" + address.toUtf8() + "\r\nIconIndex=" + QByteArray::number(n) +
           "\r\n[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n";
}

// A tree of `count` favorites in a few folders; `variant` changes the addresses, so two trees differ in
// content where their names meet.
TreeSnapshot favoritesTree(int count, const QString& variant)
{
    TreeSnapshot tree;
    const QStringList folders{QString(), QStringLiteral("Links"), QStringLiteral("News/Sport"),
                              QStringLiteral("Tools")};
    for (const QString& folder : folders) {
        if (!folder.isEmpty()) {
            tree.folders.insert(folder);
            if (folder.contains(u'/'))
                tree.folders.insert(folder.section(u'/', 0, 0));
        }
    }
    for (int i = 0; i < count; ++i) {
        const QString folder = folders.at(i % folders.size());
        const QString name = QStringLiteral("fav%1.url").arg(i);
        tree.files.insert(folder.isEmpty() ? name : folder + u'/' + name,
                          shortcut(QStringLiteral("http://%1.example/%2").arg(variant).arg(i), i));
    }
    return tree;
}

// The snapshot without the folder (at the top) and everything in it.
TreeSnapshot withoutFolder(TreeSnapshot tree, const QString& folder)
{
    tree.folders.remove(folder);
    for (const QString& name : tree.folders.values()) {
        if (name.startsWith(folder + u'/'))
            tree.folders.remove(name);
    }
    for (const QString& name : tree.files.keys()) {
        if (name.startsWith(folder + u'/'))
            tree.files.remove(name);
    }
    return tree;
}

// A file name that QSaveFile gives a finished copy for the split second before it takes the real name.
bool isLeftoverOf(const QString& relative, const QString& real)
{
    static const QRegularExpression suffix(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    return relative.startsWith(real) && suffix.match(relative.mid(real.size())).hasMatch();
}

} // namespace

class CrashSafetyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void interruptedBackupIsRecovered_data();
    void interruptedBackupIsRecovered();
    void killedSave();
    void killedBackup();
    void killedRestore();
    void killedEdit();
    void workUnderWayIsLeftAlone_data();
    void workUnderWayIsLeftAlone();
    void oneProgramPerFolder_data();
    void oneProgramPerFolder();
    void exitDoesNotWaitForAStuckWorker_data();
    void exitDoesNotWaitForAStuckWorker();

private:
    QString path(const QString& relative) const { return platform::joinPath(m_work, relative); }
    // Starts the helper on the work folder and kills it a random time after it has begun its rounds.
    // Fails the test when it ends by itself (a command failed) or never gets going.
    void runAndKill(const QString& command);
    // Whether more rounds fit in the loop's bounds.
    bool moreRounds(int round) const { return round < killRounds && m_loopClock.elapsed() < loopBudgetMs; }
    void reportRounds(const char* command, int rounds) const;

    QRandomGenerator m_random;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_work;
    QString m_fav;
    QString m_program;
    QString m_results;
    QString m_backup;
    QString m_trash;
    QElapsedTimer m_loopClock;
};

void CrashSafetyTest::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(TESSALY_CRASH_HELPER)).isExecutable(), TESSALY_CRASH_HELPER);
    const quint32 seed = qEnvironmentVariableIsSet("TESSALY_CRASH_SEED")
                             ? quint32(qEnvironmentVariableIntValue("TESSALY_CRASH_SEED"))
                             : QRandomGenerator::system()->generate();
    qInfo("kill times drawn with TESSALY_CRASH_SEED=%u", seed);
    m_random.seed(seed);
}

void CrashSafetyTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_work = m_dir->path();
    m_fav = path(QStringLiteral("Favorites"));
    m_program = path(QStringLiteral("program"));
    m_results = table::resultsFilePath(m_program);
    m_backup = favorites::backupFolderPath(m_program);
    QVERIFY(QDir().mkpath(m_fav));
    QVERIFY(QDir().mkpath(m_program));
    // The helper and the program inherit it: what they put in the Recycle Bin stays in the test.
    m_trash = testsupport::emptyTrash();
    // The session's runtime folder, the user's own (oneProgramPerFolder starts copies from other sessions too).
    const QString runtime = path(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    m_loopClock.start();
}

void CrashSafetyTest::runAndKill(const QString& command)
{
    QProcess helper;
    helper.start(QStringLiteral(TESSALY_CRASH_HELPER), {command, m_work});
    QVERIFY2(helper.waitForStarted(10000), qPrintable(helper.errorString()));
    while (!helper.canReadLine()) {
        if (!helper.waitForReadyRead(30000)) {
            helper.kill();
            helper.waitForFinished(10000);
            QFAIL(qPrintable(QStringLiteral("the helper never started its rounds: %1")
                                 .arg(QString::fromLocal8Bit(helper.readAllStandardError()))));
        }
    }
    QCOMPARE(helper.readLine(), QByteArray("ready\n"));
    QThread::usleep(m_random.bounded(maxDelayMicros));
    helper.kill(); // SIGKILL
    QVERIFY(helper.waitForFinished(10000));
    QVERIFY2(helper.exitStatus() == QProcess::CrashExit,
             qPrintable(QStringLiteral("the helper ended by itself with %1: %2")
                            .arg(helper.exitCode())
                            .arg(QString::fromLocal8Bit(helper.readAllStandardError()))));
}

void CrashSafetyTest::reportRounds(const char* command, int rounds) const
{
    qInfo("%s killed %d times in %lld ms", command, rounds, static_cast<long long>(m_loopClock.elapsed()));
    QVERIFY(rounds >= 5);
}

void CrashSafetyTest::interruptedBackupIsRecovered_data()
{
    QTest::addColumn<QStringList>("present"); // "name:content:phase" of "data", "data.old", "data.new"
    QTest::addColumn<QString>("restored");    // what a restore brings back: "old", "new" or "" (no backup)
    QTest::addColumn<bool>("userFolder");     // a folder of a working name that the program did not make is left

    // Killed while copying: the previous backup is in place, the copy half done.
    QTest::newRow("during the copy") << QStringList{"data", "data.new:half:copying"} << "old" << false;
    // Killed between moving the previous backup aside and putting the new one in its place.
    QTest::newRow("between the renames") << QStringList{"data.old::set aside", "data.new::complete"} << "new" << false;
    // Only the previous backup set aside (putting the new one in place failed and so did putting the old back).
    QTest::newRow("only the previous one set aside") << QStringList{"data.old::set aside"} << "old" << false;
    // Killed while deleting the previous backup after the new one was in place, before its marker went.
    QTest::newRow("while deleting the previous one")
        << QStringList{"data:new:complete", "data.old:half:set aside"} << "new" << false;
    // Killed during the very first backup: there is none yet.
    QTest::newRow("first backup during the copy") << QStringList{"data.new:half:copying"} << QString() << false;
    // Killed between making the new copy's folder and marking it.
    QTest::newRow("folder made, not yet marked") << QStringList{"data", "data.new:empty:"} << "old" << false;
    // A backup the user renamed by hand is no interrupted backup: it is neither restored from nor deleted.
    QTest::newRow("data.old made by the user") << QStringList{"data.old"} << QString() << true;
    QTest::newRow("data.new made by the user") << QStringList{"data", "data.new"} << "old" << true;
}

// What a kill can leave of a backup at each of its steps: the next restore finds the newest complete backup,
// and the next backup starts cleanly from there. Folders of those names that the program did not make are left
// alone: the backup refuses to run while they are in the way.
void CrashSafetyTest::interruptedBackupIsRecovered()
{
    QFETCH(QStringList, present);
    QFETCH(QString, restored);
    QFETCH(bool, userFolder);

    const TreeSnapshot oldBackup = favoritesTree(12, QStringLiteral("old"));
    const TreeSnapshot newBackup = favoritesTree(16, QStringLiteral("new"));
    TreeSnapshot half = newBackup;
    while (half.files.size() > 5)
        half.files.erase(std::prev(half.files.end()));
    const TreeSnapshot favorites = favoritesTree(9, QStringLiteral("now"));
    QVERIFY(testsupport::writeTree(m_fav, favorites));
    for (const QString& entry : present) {
        const QString name = entry.section(u':', 0, 0);
        const QString what = entry.section(u':', 1, 1);
        const QString phase = entry.section(u':', 2);
        const QString folder = platform::joinPath(m_program, name);
        const TreeSnapshot& tree = what == QLatin1String("half")       ? half
                                   : what == QLatin1String("new")      ? newBackup
                                   : name == QLatin1String("data.new") ? newBackup
                                                                       : oldBackup;
        if (what == QLatin1String("empty"))
            QVERIFY(QDir().mkpath(folder));
        else
            QVERIFY(testsupport::writeTree(folder, tree));
        if (!phase.isEmpty())
            QVERIFY(testsupport::markWorkingFolder(folder, phase.toLatin1()));
    }
    const QString userFolderPath = platform::joinPath(m_program, present.constLast().section(u':', 0, 0));
    const TreeSnapshot userFolderBefore = snapshotTree(userFolderPath);

    const QString target = path(QStringLiteral("Restored"));
    QVERIFY(QDir().mkpath(target));
    platform::Failure error;
    const bool ok = favorites::restoreFavorites(m_backup, target, &error);
    QVERIFY2(ok == !restored.isEmpty(), qPrintable(ui::failureText(error)));
    if (ok) {
        const TreeSnapshot& expected = restored == QLatin1String("new") ? newBackup : oldBackup;
        const TreeSnapshot actual = snapshotTree(target);
        QVERIFY2(actual == expected, qPrintable(testsupport::describeDifference(expected, actual)));
    } else {
        QCOMPARE(error.kind, favorites::MaintenanceFailure::NoBackup);
        QCOMPARE(error.path, QDir::toNativeSeparators(m_backup));
    }

    const bool backedUp = favorites::backupFavorites(m_fav, m_backup, &error);
    QCOMPARE(snapshotTree(m_fav), favorites);
    if (userFolder) {
        QVERIFY(!backedUp);
        QCOMPARE(error.kind, favorites::MaintenanceFailure::WorkingFolderNotOurs);
        QCOMPARE(error.path, QDir::toNativeSeparators(userFolderPath));
        QCOMPARE(snapshotTree(userFolderPath), userFolderBefore);
        return;
    }
    QVERIFY2(backedUp, qPrintable(ui::failureText(error)));
    QCOMPARE(snapshotTree(m_backup), favorites);
    QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral(".new")));
    QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral(".old")));
}

void CrashSafetyTest::killedSave()
{
    const TreeSnapshot favorites = favoritesTree(600, QStringLiteral("save"));
    QVERIFY(testsupport::writeTree(m_fav, favorites));
    favorites::Catalogue catalogue;
    catalogue.favPath = m_fav;
    favorites::collectFiles(catalogue);
    // A history to begin with, so that the saved lines differ from round to round.
    QByteArray lines;
    for (int i = 1; i <= catalogue.fileCount; ++i) {
        lines +=
            (catalogue.filePath.at(i) + u'|' + catalogue.fileName.at(i)).toUtf8() + (i % 3 == 0   ? "|YES|NO|NO|YES\r\n"
                                                                                     : i % 3 == 1 ? "|NO|||\r\n"
                                                                                                  : "||||\r\n");
    }
    QVERIFY(writeFile(m_results, lines));

    const QString scratch = path(QStringLiteral("scratch.txt"));
    int round = 0;
    for (; moreRounds(round); ++round) {
        // The two files a round can write, computed the way the helper computes them.
        const QByteArray old = readFile(m_results);
        QByteArray written[2];
        for (int k = 0; k < 2; ++k) {
            table::LinkTable t;
            table::loadTable(catalogue, t, m_results);
            testsupport::setAllStates(t, k == 0 ? table::Verdict::Alive : table::Verdict::Dead);
            QVERIFY(table::saveResults(scratch, t));
            written[k] = readFile(scratch);
        }

        runAndKill(QStringLiteral("save"));

        const QByteArray now = readFile(m_results);
        QVERIFY2(now == old || now == written[0] || now == written[1],
                 qPrintable(QStringLiteral("round %1: the results file is a mix (%2 bytes; old %3, new %4 or %5)")
                                .arg(round)
                                .arg(now.size())
                                .arg(old.size())
                                .arg(written[0].size())
                                .arg(written[1].size())));
        const QStringList entries = QDir(m_program).entryList(QDir::Files | QDir::Hidden);
        for (const QString& entry : entries) {
            if (entry == QLatin1String("data.txt"))
                continue;
            QVERIFY2(isLeftoverOf(entry, QStringLiteral("data.txt")), qPrintable(entry));
            const QByteArray leftover = readFile(platform::joinPath(m_program, entry));
            QVERIFY(leftover == written[0] || leftover == written[1]);
            QVERIFY(QFile::remove(platform::joinPath(m_program, entry)));
        }
    }
    QCOMPARE(snapshotTree(m_fav), favorites);
    reportRounds("save", round);
}

void CrashSafetyTest::killedBackup()
{
    const TreeSnapshot a = favoritesTree(60, QStringLiteral("a"));
    const TreeSnapshot b = favoritesTree(45, QStringLiteral("b"));
    const TreeSnapshot previous = favoritesTree(30, QStringLiteral("previous"));
    QVERIFY(testsupport::writeTree(m_fav, a));
    QVERIFY(testsupport::writeTree(path(QStringLiteral("FavoritesB")), b));
    QVERIFY(testsupport::writeTree(m_backup, previous));
    QVERIFY(writeFile(m_results, "results\r\n"));

    const QString target = path(QStringLiteral("Restored"));
    int round = 0;
    for (; moreRounds(round); ++round) {
        runAndKill(QStringLiteral("backup"));

        // Nothing a backup reads is touched.
        QCOMPARE(snapshotTree(m_fav), a);
        QCOMPARE(snapshotTree(path(QStringLiteral("FavoritesB"))), b);
        QCOMPARE(readFile(m_results), QByteArray("results\r\n"));
        // The backup, as the next restore finds it, is one whole copy: the previous one or a new one.
        QDir(target).removeRecursively();
        QVERIFY(QDir().mkpath(target));
        platform::Failure error;
        QVERIFY2(favorites::restoreFavorites(m_backup, target, &error),
                 qPrintable(QStringLiteral("round %1: %2").arg(round).arg(ui::failureText(error))));
        const TreeSnapshot restored = snapshotTree(target);
        QVERIFY2(restored == a || restored == b || restored == previous,
                 qPrintable(QStringLiteral("round %1: the backup is not whole:\n%2")
                                .arg(round)
                                .arg(testsupport::describeDifference(a, restored))));
    }
    reportRounds("backup", round);
}

void CrashSafetyTest::killedRestore()
{
    const TreeSnapshot backup = favoritesTree(50, QStringLiteral("backup"));
    const TreeSnapshot current = favoritesTree(70, QStringLiteral("current"));
    QVERIFY(testsupport::writeTree(m_backup, backup));
    QVERIFY(writeFile(m_results, "results\r\n"));

    int round = 0;
    int finished = 0;
    int undone = 0;
    int labelled = 0;
    for (; moreRounds(round); ++round) {
        // Every round restores over the folder as it was before any restore.
        QVERIFY(favorites::removeTree(platform::toNativePath(m_fav)));
        QVERIFY(testsupport::writeTree(m_fav, current));
        runAndKill(QStringLiteral("restore"));

        // The backup is never touched.
        QCOMPARE(snapshotTree(m_backup), backup);
        QCOMPARE(readFile(m_results), QByteArray("results\r\n"));
        // The next start finishes or undoes what the kill left: the Favorites folder is then the old one or the
        // restored one, whole, and nothing of the program's is left in it.
        favorites::InterruptedRestore found = favorites::InterruptedRestore::None;
        platform::Failure error;
        QVERIFY2(favorites::recoverInterruptedRestore(m_fav, &found, &error),
                 qPrintable(QStringLiteral("round %1: %2").arg(round).arg(ui::failureText(error))));
        TreeSnapshot now = snapshotTree(m_fav);
        // Caught between giving the old favorites' folder its name and putting it into the Recycle Bin: it is there,
        // whole, beside the restored favorites (the old folder, or the backup when the helper had already completed
        // a restore in this round).
        if (const QStringList named = QDir(m_fav).entryList({QStringLiteral("Favorites before restore*")}, QDir::Dirs);
            !named.isEmpty()) {
            QCOMPARE(named.size(), 1);
            const TreeSnapshot aside = snapshotTree(platform::joinPath(m_fav, named.constFirst()));
            QVERIFY2(aside == current || aside == backup,
                     qPrintable(QStringLiteral("round %1: the old favorites' folder is not whole:\n%2")
                                    .arg(round)
                                    .arg(testsupport::describeDifference(current, aside))));
            now = withoutFolder(now, named.constFirst());
            ++labelled;
        }
        QVERIFY2(now == backup || now == current,
                 qPrintable(QStringLiteral("round %1: a mixture; against the old folder:\n%2")
                                .arg(round)
                                .arg(testsupport::describeDifference(current, now))));
        // Finished is the restored folder; undone the folder as that restore found it (the old one, or the backup
        // when the helper had already completed a restore in this round).
        if (found == favorites::InterruptedRestore::Finished) {
            QCOMPARE(now, backup);
            ++finished;
        } else if (found == favorites::InterruptedRestore::Undone) {
            ++undone;
        }
    }
    qInfo("restores caught half-way: %d finished, %d undone, %d with the old favorites named but not yet in the "
          "Recycle Bin",
          finished, undone, labelled);
    reportRounds("restore", round);
}

void CrashSafetyTest::killedEdit()
{
    const TreeSnapshot others = favoritesTree(40, QStringLiteral("other"));
    QVERIFY(testsupport::writeTree(m_fav, others));
    const QString one = QStringLiteral("One/moving.url");
    const QString two = QStringLiteral("Two/moved.url");
    const QByteArray atOne = shortcut(QStringLiteral("http://one.example/moving"), 7);
    const QByteArray atTwo = shortcut(QStringLiteral("http://two.example/moved"), 7);
    QVERIFY(writeFile(path(QStringLiteral("Favorites/")) + one, atOne));
    QVERIFY(QDir(m_fav).mkpath(QStringLiteral("Two")));
    QVERIFY(writeFile(m_results, "results\r\n"));

    int round = 0;
    int both = 0;
    for (; moreRounds(round); ++round) {
        runAndKill(QStringLiteral("edit"));

        QCOMPARE(readFile(m_results), QByteArray("results\r\n"));
        TreeSnapshot now = snapshotTree(m_fav);
        // The favorite is whole at its old place, its new place, or both (copied, not yet deleted), with the
        // old address or the new one.
        const bool hasOne = now.files.contains(one);
        const bool hasTwo = now.files.contains(two);
        QVERIFY2(hasOne || hasTwo, qPrintable(QStringLiteral("round %1: the favorite is lost").arg(round)));
        for (const QString& place : {one, two}) {
            if (now.files.contains(place)) {
                const QByteArray bytes = now.files.take(place);
                QVERIFY2(bytes == atOne || bytes == atTwo,
                         qPrintable(QStringLiteral("round %1: %2 is not whole").arg(round).arg(place)));
            }
        }
        // A finished copy that had not yet taken its name is the only other file allowed.
        for (const QString& name : now.files.keys()) {
            if (isLeftoverOf(name, one) || isLeftoverOf(name, two)) {
                const QByteArray bytes = now.files.take(name);
                QVERIFY(bytes == atOne || bytes == atTwo);
                QVERIFY(QFile::remove(path(QStringLiteral("Favorites/")) + name));
            }
        }
        now.folders.remove(QStringLiteral("One"));
        now.folders.remove(QStringLiteral("Two"));
        QVERIFY2(now == others, qPrintable(testsupport::describeDifference(others, now)));
        // Caught between the copy and the delete: the user removes the second copy before going on.
        if (hasOne && hasTwo) {
            ++both;
            QVERIFY(QFile::remove(path(QStringLiteral("Favorites/")) + two));
        }
    }
    qInfo("the favorite was at both places after %d kills", both);
    reportRounds("edit", round);
}

void CrashSafetyTest::workUnderWayIsLeftAlone_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("restore") << QStringLiteral("restore");
    QTest::newRow("backup") << QStringLiteral("backup");
}

// A restore or backup at work in another process (here the helper, stopped while it copies) is not one that was
// stopped: a start-up in between, which finishes or undoes those, leaves its working folders alone, and the work then
// ends as it would have.
void CrashSafetyTest::workUnderWayIsLeftAlone()
{
    QFETCH(QString, command);
    const bool restore = command == QLatin1String("restore");
    // Large enough that the copy takes a while.
    const TreeSnapshot backup = favoritesTree(3000, QStringLiteral("backup"));
    const TreeSnapshot current = favoritesTree(40, QStringLiteral("current"));
    QVERIFY(testsupport::writeTree(m_backup, backup));
    QVERIFY(testsupport::writeTree(m_fav, restore ? current : backup));
    const QString working =
        restore ? platform::joinPath(m_fav, QStringLiteral(".tessaly-restore-new")) : m_backup + QStringLiteral(".new");

    QProcess helper;
    helper.start(QStringLiteral(TESSALY_CRASH_HELPER), {command, m_work, QStringLiteral("1")});
    QVERIFY2(helper.waitForStarted(10000), qPrintable(helper.errorString()));
    QElapsedTimer clock;
    clock.start();
    while (favorites::WorkingFolder(working).phase() != favorites::Phase::Copying && clock.elapsed() < 60000 &&
           helper.state() == QProcess::Running)
        QThread::usleep(200);
    QCOMPARE(::kill(pid_t(helper.processId()), SIGSTOP), 0);
    const auto goOn = [&helper] { ::kill(pid_t(helper.processId()), SIGCONT); };
    QVERIFY2(favorites::WorkingFolder(working).isOurs(),
             qPrintable(QStringLiteral("the helper's copy was not caught: %1")
                            .arg(QString::fromLocal8Bit(helper.readAllStandardError()))));
    const TreeSnapshot underWay = snapshotTree(m_work);

    // Another copy of the program starts on the same folders.
    qputenv("TESSALY_FAVORITES", QFile::encodeName(m_fav));
    jobs::AppState state;
    state.programFolder = m_program;
    jobs::LoadSequence load(state);
    QSignalSpy told(&load, &jobs::LoadSequence::interruptedRestoreHandled);
    QSignalSpy loaded(&load, &jobs::LoadSequence::finished);
    load.startUp();
    QVERIFY(loaded.wait(30000));
    QCoreApplication::processEvents();
    const TreeSnapshot afterStartUp = snapshotTree(m_work);
    goOn();
    QVERIFY2(afterStartUp == underWay, qPrintable(testsupport::describeDifference(underWay, afterStartUp)));
    QVERIFY(told.isEmpty());

    QVERIFY(helper.waitForFinished(60000));
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QVERIFY2(helper.exitCode() == 0, helper.readAllStandardError().constData());
    QCOMPARE(snapshotTree(restore ? m_fav : m_backup), backup);
    QVERIFY(!QFileInfo::exists(working));
}

void CrashSafetyTest::oneProgramPerFolder_data()
{
    QTest::addColumn<bool>("oneDataFolder");
    QTest::newRow("one data folder") << true;
    // Two copies in folders of their own (or an installed one beside an unzipped one) read the same registry value;
    // here the second reaches the Favorites folder through a link.
    QTest::newRow("one Favorites folder, two data folders") << false;
}

// Two copies of the program on one data folder would overwrite each other's histories and, one restoring while the
// other backs up, destroy both the Favorites folder and the backup; two on one Favorites folder mix two restores into
// neither, and one's start-up takes the other's restore at work for a stopped one. The second start ends with its
// message and touches nothing, whatever session it comes from: another runtime folder or none (a shell from su, sudo
// or ssh), another temporary or home folder, another user who may write the folder. The first goes on. Once a copy
// has crashed, the next start gets in at once, however often.
void CrashSafetyTest::oneProgramPerFolder()
{
    QFETCH(bool, oneDataFolder);
    const QString linked = path(QStringLiteral("FavoritesLink"));
    QVERIFY(QFile::link(m_fav, linked));
    const QString firstData = path(QStringLiteral("portable"));
    QVERIFY(QDir().mkpath(firstData));
    const auto lockOf = [&](const QString& folder) {
        return oneDataFolder ? jobs::FolderLock::onDataFolder(folder) : jobs::FolderLock::onFavorites(folder);
    };
    const QString firstFolder = oneDataFolder ? firstData : m_fav;
    const QString secondFolder = oneDataFolder ? firstData : linked;

    // How another session looks: the variables that differ (an empty value: not set at all).
    struct Session
    {
        const char* name;
        QList<std::pair<QString, QString>> variables;
        bool otherUser;
    };
    const QString otherRuntime = path(QStringLiteral("runtime2"));
    const QString otherTemp = path(QStringLiteral("tmp2"));
    const QString otherHome = path(QStringLiteral("home2"));
    for (const QString& folder : {otherRuntime, otherTemp, otherHome})
        QVERIFY(QDir().mkpath(folder));
    QVERIFY(
        QFile::setPermissions(otherRuntime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QList<Session> sessions{
        {"the same session", {}, false},
        {"another runtime folder", {{"XDG_RUNTIME_DIR", otherRuntime}}, false},
        {"no runtime folder", {{"XDG_RUNTIME_DIR", QString()}, {"TMPDIR", otherTemp}}, false},
        {"another temporary folder", {{"TMPDIR", otherTemp}}, false},
        {"another home", {{"HOME", otherHome}, {"XDG_DATA_HOME", otherHome + "/.local/share"}}, false},
        {"another user", {{"XDG_RUNTIME_DIR", QString()}, {"TMPDIR", otherTemp}, {"HOME", otherHome}}, true},
    };

    // The lock itself, in this process: a second lock is refused, and the holder hears a second start's request, from
    // whatever environment the second comes.
    {
        const std::unique_ptr<jobs::FolderLock> holder = lockOf(firstFolder);
        QVERIFY(holder->tryLock() && holder->isLocked());
        QSignalSpy shown(holder.get(), &jobs::FolderLock::showRequested);
        for (const Session& session : sessions) {
            if (session.otherUser)
                continue;
            QMap<QByteArray, QByteArray> before;
            for (const auto& [name, value] : session.variables) {
                before.insert(name.toLatin1(), qgetenv(name.toLatin1()));
                if (value.isEmpty())
                    qunsetenv(name.toLatin1());
                else
                    qputenv(name.toLatin1(), QFile::encodeName(value));
            }
            const std::unique_ptr<jobs::FolderLock> second = lockOf(secondFolder);
            const bool asked = second->askHolderToShow();
            const bool refused = !second->tryLock();
            for (auto it = before.begin(); it != before.end(); ++it) {
                if (it.value().isEmpty())
                    qunsetenv(it.key());
                else
                    qputenv(it.key(), it.value());
            }
            QVERIFY2(asked && (!shown.isEmpty() || shown.wait(5000)), session.name);
            QVERIFY2(refused, session.name);
            shown.clear();
        }
        // A restore works inside the Favorites folder and never replaces the folder itself, which the lock is on.
        if (!oneDataFolder) {
            QVERIFY(testsupport::writeTree(m_backup, favoritesTree(6, QStringLiteral("restored"))));
            platform::Failure error;
            favorites::ReplacedFavorites replaced;
            replaced.name = QStringLiteral("before the restore");
            QVERIFY2(favorites::restoreFavorites(m_backup, m_fav, &error, nullptr, &replaced),
                     qPrintable(ui::failureText(error)));
            QVERIFY(replaced.inRecycleBin);
            QVERIFY(!lockOf(linked)->tryLock());
            QVERIFY(QDir(m_backup).removeRecursively());
            QVERIFY(QDir(m_fav).removeRecursively() && QDir().mkpath(m_fav));
        }
    }

    // The real program: copies of it, each with its data folder the folder it stands in.
    const auto copyProgram = [this](const QString& name) {
        const QString binary = platform::joinPath(path(name), QStringLiteral("tessaly"));
        return QDir().mkpath(path(name)) && QFile::copy(QStringLiteral(TESSALY_PROGRAM), binary) &&
                       QFile::setPermissions(binary, QFile::permissions(binary) | QFileDevice::ExeOwner |
                                                         QFileDevice::ExeOther | QFileDevice::ReadOther)
                   ? binary
                   : QString();
    };
    const QString firstBinary = copyProgram(QStringLiteral("portable"));
    const QString secondBinary = oneDataFolder ? firstBinary : copyProgram(QStringLiteral("portable2"));
    QVERIFY(!firstBinary.isEmpty() && !secondBinary.isEmpty());
    const QString secondData = QFileInfo(secondBinary).absolutePath();
    QVERIFY(testsupport::writeTree(m_fav, favoritesTree(5, QStringLiteral("running"))));
    const QStringList nobody = testsupport::isSuperuser() ? testsupport::asNobody() : QStringList();
    if (!nobody.isEmpty()) {
        // Another user who may write both folders (and reach them).
        const auto openToAll = [](const QString& folder) {
            return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                     QFileDevice::WriteOther | QFileDevice::ExeOther);
        };
        QVERIFY(openToAll(m_work) && openToAll(m_fav) && openToAll(secondData) && openToAll(otherTemp) &&
                openToAll(otherHome));
        for (const QString& folder : snapshotTree(m_fav).folders)
            QVERIFY(openToAll(platform::joinPath(m_fav, folder)));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("TESSALY_EXIT_AFTER_MS"));
    const auto start = [&](QProcess& process, const QString& binary, const QString& favorites, int exitAfterMs,
                           const Session* session = nullptr) {
        QProcessEnvironment e = env;
        e.insert(QStringLiteral("TESSALY_FAVORITES"), favorites);
        if (exitAfterMs >= 0)
            e.insert(QStringLiteral("TESSALY_EXIT_AFTER_MS"), QString::number(exitAfterMs));
        QStringList command{binary};
        if (session) {
            for (const auto& [name, value] : session->variables) {
                if (value.isEmpty())
                    e.remove(name);
                else
                    e.insert(name, value);
            }
            if (session->otherUser)
                command = nobody + command;
        }
        process.setProcessEnvironment(e);
        process.start(command.takeFirst(), command);
        return process.waitForStarted(10000);
    };
    // A running copy holds both locks once it answers on both.
    const auto holdsBoth = [&] {
        return jobs::FolderLock::onDataFolder(firstData)->askHolderToShow() &&
               jobs::FolderLock::onFavorites(m_fav)->askHolderToShow();
    };
    const auto everything = [this, &secondData] {
        QMap<QString, QByteArray> all = testsupport::folderContents(m_work);
        // Of what else is in the test's folder (the user's data folder, where Qt may keep caches of its own, the
        // sessions' folders), the program's copies. The second copy's own lock file, in a data folder of its own, is
        // where its lock on that folder is held.
        const QString ownLock = QFileInfo(secondData).fileName() + u'/' + jobs::FolderLock::kDataFolderFileName;
        for (const QString& key : all.keys()) {
            if ((!key.startsWith(QStringLiteral("Favorites/")) && !key.startsWith(QStringLiteral("portable"))) ||
                key == ownLock)
                all.remove(key);
        }
        return all;
    };

    QProcess first;
    QVERIFY(start(first, firstBinary, m_fav, -1));
    QTRY_VERIFY_WITH_TIMEOUT(holdsBoth(), 20000);
    const QMap<QString, QByteArray> before = everything();

    for (const Session& session : sessions) {
        if (session.otherUser && nobody.isEmpty()) {
            qInfo("%s: not tried (it takes running as the superuser, and setpriv)", session.name);
            continue;
        }
        // Its message box closes when the program's own exit hook fires.
        QProcess second;
        QVERIFY2(start(second, secondBinary, oneDataFolder ? m_fav : secondFolder, 100, &session), session.name);
        QVERIFY2(second.state() == QProcess::NotRunning || second.waitForFinished(30000), session.name);
        const QString told = QString::fromUtf8(second.readAllStandardError());
        QVERIFY2(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 2,
                 qPrintable(QStringLiteral("%1: status %2: %3").arg(session.name).arg(second.exitCode()).arg(told)));
        QVERIFY2(told.contains(oneDataFolder ? QStringLiteral("正在使用数据文件夹") : QStringLiteral("正在处理收藏夹")),
                 qPrintable(QStringLiteral("%1: %2").arg(session.name, told)));
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(everything(), before);
    }

    // Killed, three times over: each next start gets in at once.
    QProcess running[3];
    QProcess* killed = &first;
    for (QProcess& next : running) {
        killed->kill(); // SIGKILL
        QVERIFY(killed->waitForFinished(10000));
        QVERIFY(start(next, firstBinary, m_fav, -1));
        QTRY_VERIFY_WITH_TIMEOUT(holdsBoth() || next.state() != QProcess::Running, 20000);
        QVERIFY2(next.state() == QProcess::Running, next.readAllStandardError().constData());
        killed = &next;
    }
    killed->kill();
    QVERIFY(killed->waitForFinished(10000));
}

void CrashSafetyTest::exitDoesNotWaitForAStuckWorker_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("退出程序") << QStringLiteral("exit");
    QTest::newRow("closing the window") << QStringLiteral("close");
}

// 退出程序, or closing the window, while the worker is stuck in one long system call (the program's own test hook
// holds it in the opening of a named pipe that nobody writes, as a hung network drive would): the program ends all the
// same, with status 0, without waiting for it, and the next start gets in.
void CrashSafetyTest::exitDoesNotWaitForAStuckWorker()
{
    QFETCH(QString, how);
    const QString pipe = path(QStringLiteral("stall"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(testsupport::writeTree(m_fav, favoritesTree(5, QStringLiteral("stall"))));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TESSALY_FAVORITES"), m_fav);
    env.remove(QStringLiteral("TESSALY_EXIT_AFTER_MS"));
    const QString binary = platform::joinPath(m_program, QStringLiteral("tessaly"));
    QVERIFY(QFile::copy(QStringLiteral(TESSALY_PROGRAM), binary));

    QProcess stuck;
    QProcessEnvironment stalling = env;
    stalling.insert(QStringLiteral("TESSALY_STALL_WORK"), how + u':' + pipe);
    stuck.setProcessEnvironment(stalling);
    stuck.start(binary, {});
    QVERIFY(stuck.waitForStarted(10000));
    QByteArray told;
    while (!told.contains("the worker is stalled") && stuck.state() == QProcess::Running) {
        stuck.waitForReadyRead(1000);
        told += stuck.readAllStandardError();
    }
    QVERIFY2(told.contains("the worker is stalled"), told.constData());
    QElapsedTimer clock;
    clock.start();
    // A bound only a hang exceeds. It may have ended while its words were read.
    const bool ended = stuck.state() == QProcess::NotRunning || stuck.waitForFinished(30000);
    if (!ended) {
        stuck.kill();
        stuck.waitForFinished(10000);
    }
    QVERIFY2(ended, "the program did not end while its worker was stuck");
    qInfo("ended %lld ms after this test saw the worker stuck", static_cast<long long>(clock.elapsed()));
    QCOMPARE(stuck.exitStatus(), QProcess::NormalExit);
    QCOMPARE(stuck.exitCode(), 0);

    QProcess next;
    env.insert(QStringLiteral("TESSALY_EXIT_AFTER_MS"), QStringLiteral("300"));
    next.setProcessEnvironment(env);
    next.start(binary, {});
    QVERIFY(next.waitForFinished(30000));
    QCOMPARE(next.exitCode(), 0);
    QCOMPARE(snapshotTree(m_fav), favoritesTree(5, QStringLiteral("stall")));
}

QTEST_GUILESS_MAIN(CrashSafetyTest)
#include "tst_crashsafety.moc"
