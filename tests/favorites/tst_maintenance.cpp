#include <memory>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "favorites/FileOps.h"
#include "favorites/Backup.h"
#include "favorites/DeleteFavorites.h"
#include "favorites/Maintenance.h"
#include "favorites/Recovery.h"
#include "favorites/Restore.h"
#include "favorites/WorkingFolder.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/FileModes.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "ui/FailureText.h"

using testsupport::readFile;
using testsupport::shortcutBytes;
using testsupport::writeFile;

class MaintenanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void backupTwiceReplacesTheFirst();
    void backupOfEmptyFolderIsEmpty();
    void failedBackupLeavesPreviousBackupWhole();
    void backupAfterOneStoppedBetweenItsRenames_data();
    void backupAfterOneStoppedBetweenItsRenames();
    void restoreBringsBackDeletedAndRemovesAdded();
    void restoreWithoutBackupDeletesNothing();
    void refusalsForUnusableFavoritesFolder();
    void refusalsForNestedFolders();
    void deleteStopsOutsideTheFavoritesFolder();
    void restoreStoppedOnceCompleteIsEnded_data();
    void restoreStoppedOnceCompleteIsEnded();
    void restoreStoppedInAnUnknownPhaseIsLeftAlone();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_fav;
    QString m_backup;
    QString m_trash;
};

void MaintenanceTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fav = platform::joinPath(m_dir->path(), "Favorites");
    m_backup = favorites::backupFolderPath(platform::joinPath(m_dir->path(), "program"));
    m_trash = testsupport::emptyTrash();
    QVERIFY(QDir().mkpath(m_fav));
    QVERIFY(QDir().mkpath(platform::joinPath(m_dir->path(), "program")));
}

void MaintenanceTest::backupTwiceReplacesTheFirst()
{
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(writeFile(m_fav + "/Sub/Deep/b.url", shortcutBytes("http://b/")));
    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(m_backup + "/Sub/Deep/b.url"), shortcutBytes("http://b/"));

    QVERIFY(QFile::remove(m_fav + "/a.url"));
    QVERIFY(writeFile(m_fav + "/c.url", shortcutBytes("http://c/")));
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFile::exists(m_backup + "/a.url")); // only in the old backup: gone
    QVERIFY(QFile::exists(m_backup + "/c.url"));
    QVERIFY(QFile::exists(m_backup + "/Sub/Deep/b.url"));
    QVERIFY(!QFile::exists(m_backup + ".new"));
    QVERIFY(!QFile::exists(m_backup + ".old"));
}

void MaintenanceTest::backupOfEmptyFolderIsEmpty()
{
    QVERIFY(favorites::backupFavorites(m_fav, m_backup));
    QVERIFY(QFileInfo(m_backup).isDir());
    QVERIFY(QDir(m_backup).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void MaintenanceTest::failedBackupLeavesPreviousBackupWhole()
{
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(favorites::backupFavorites(m_fav, m_backup));
    // The new copy cannot be built: a file stands where its folder would go.
    QVERIFY(writeFile(m_backup + ".new", "in the way"));
    QVERIFY(QFile::remove(m_fav + "/a.url"));
    QVERIFY(writeFile(m_fav + "/b.url", shortcutBytes("http://b/")));
    platform::Failure error;
    QVERIFY(!favorites::backupFavorites(m_fav, m_backup, &error));
    QVERIFY(error.failed());
    QCOMPARE(readFile(m_backup + "/a.url"), shortcutBytes("http://a/"));
    QVERIFY(!QFile::exists(m_backup + "/b.url"));
}

void MaintenanceTest::backupAfterOneStoppedBetweenItsRenames_data()
{
    QTest::addColumn<bool>("newCopyComplete"); // data.new holds a complete copy beside data.old
    QTest::newRow("the previous backup set aside") << false;
    QTest::newRow("and the new one complete") << true;
}

// A backup stopped between setting the previous backup aside and putting the new one in its place leaves no backup
// folder: the next backup puts the newest complete one back first, then replaces it with its own copy.
void MaintenanceTest::backupAfterOneStoppedBetweenItsRenames()
{
    QFETCH(bool, newCopyComplete);
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(writeFile(m_fav + "/Sub/b.url", shortcutBytes("http://b/")));
    QVERIFY(writeFile(m_backup + ".old/previous.url", shortcutBytes("http://previous/")));
    QVERIFY(testsupport::markWorkingFolder(m_backup + ".old", "set aside"));
    if (newCopyComplete) {
        QVERIFY(writeFile(m_backup + ".new/new.url", shortcutBytes("http://new/")));
        QVERIFY(testsupport::markWorkingFolder(m_backup + ".new", "complete"));
    }
    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::folderContents(m_backup), testsupport::folderContents(m_fav));
    QVERIFY(!QFile::exists(m_backup + ".new"));
    QVERIFY(!QFile::exists(m_backup + ".old"));
}

void MaintenanceTest::restoreBringsBackDeletedAndRemovesAdded()
{
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(writeFile(m_fav + "/Sub/b.url", shortcutBytes("http://b/")));
    QVERIFY(writeFile(m_fav + "/Sub/Deep/c.url", shortcutBytes("http://c/")));
    // Read-only files and folders stay read-only in the backup and after the restore, as the copy on Windows
    // keeps the attribute.
    QVERIFY(writeFile(m_fav + "/Sub/Kept/d.url", shortcutBytes("http://d/")));
    QVERIFY(testsupport::setMode(m_fav + "/Sub/Kept/d.url", 0444));
    QVERIFY(testsupport::setMode(m_fav + "/Sub/Kept", 0555));
    QVERIFY(testsupport::setMode(m_fav + "/Sub/b.url", 0400));
    QVERIFY(favorites::backupFavorites(m_fav, m_backup));
    QCOMPARE(testsupport::modeOf(m_backup + "/Sub/Kept/d.url"), 0444);
    QCOMPARE(testsupport::modeOf(m_backup + "/Sub/Kept"), 0555);
    QCOMPARE(testsupport::modeOf(m_backup + "/Sub/b.url"), 0400);
    QVERIFY(testsupport::setMode(m_fav + "/Sub/b.url", 0644));

    QVERIFY(QFile::remove(m_fav + "/Sub/Deep/c.url"));
    QVERIFY(writeFile(m_fav + "/added.url", shortcutBytes("http://x/")));
    QVERIFY(writeFile(m_fav + "/Sub/Deep/Deeper/added2.url", shortcutBytes("http://y/")));
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://changed/")));

    platform::Failure error;
    QVERIFY2(favorites::restoreFavorites(m_backup, m_fav, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(m_fav + "/Sub/Deep/c.url"), shortcutBytes("http://c/"));
    QCOMPARE(readFile(m_fav + "/a.url"), shortcutBytes("http://a/"));
    QVERIFY(!QFile::exists(m_fav + "/added.url"));
    QVERIFY(!QFile::exists(m_fav + "/Sub/Deep/Deeper"));
    QVERIFY(QFile::exists(m_backup + "/Sub/Deep/c.url")); // the backup itself is untouched
    QCOMPARE(testsupport::modeOf(m_fav + "/Sub/Kept/d.url"), 0444);
    QCOMPARE(testsupport::modeOf(m_fav + "/Sub/Kept"), 0555);
    QCOMPARE(testsupport::modeOf(m_fav + "/Sub/b.url"), 0400);
    // The temporary folder's own clean-up cannot empty read-only folders of a user who is not the superuser.
    QVERIFY(favorites::removeTree(platform::toNativePath(m_fav)) &&
            favorites::removeTree(platform::toNativePath(m_backup)));
}

void MaintenanceTest::restoreWithoutBackupDeletesNothing()
{
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://a/")));
    QVERIFY(writeFile(m_fav + "/Sub/b.url", shortcutBytes("http://b/")));
    platform::Failure error;
    QVERIFY(!favorites::restoreFavorites(m_backup, m_fav, &error));
    QCOMPARE(error.kind, favorites::MaintenanceFailure::NoBackup);
    QCOMPARE(error.path, QDir::toNativeSeparators(m_backup));
    QVERIFY(QFile::exists(m_fav + "/a.url"));
    QVERIFY(QFile::exists(m_fav + "/Sub/b.url"));
}

void MaintenanceTest::refusalsForUnusableFavoritesFolder()
{
    QVERIFY(writeFile(m_dir->filePath("top.url"), shortcutBytes("http://top/")));
    QVERIFY(writeFile(m_dir->filePath("file-not-folder"), "x"));
    QVERIFY(favorites::backupFavorites(m_fav, m_backup));
    for (const QString& bad : {QString(), m_dir->filePath("missing"), m_dir->filePath("file-not-folder")}) {
        platform::Failure error;
        QVERIFY(!favorites::restoreFavorites(m_backup, bad, &error));
        QVERIFY(error.failed());
        QVERIFY(!favorites::backupFavorites(bad, m_backup + "2", &error));
        int deleted = -1;
        QVERIFY(!favorites::deleteFavorites(bad, {m_dir->filePath("top.url")}, favorites::Removal::ForGood, &deleted,
                                            &error));
        QCOMPARE(deleted, 0);
    }
    QVERIFY(QFile::exists(m_dir->filePath("top.url")));
    QVERIFY(!QFile::exists(m_backup + "2"));
}

void MaintenanceTest::refusalsForNestedFolders()
{
    QVERIFY(writeFile(m_fav + "/a.url", shortcutBytes("http://a/")));
    platform::Failure error;
    QVERIFY(!favorites::backupFavorites(m_fav, m_fav + "/data", &error));
    QVERIFY(!QFile::exists(m_fav + "/data"));
    QVERIFY(!favorites::backupFavorites(m_fav, m_fav, &error));
    QVERIFY(!favorites::restoreFavorites(m_dir->path(), m_fav, &error)); // backup holds the Favorites folder
    QVERIFY(QFile::exists(m_fav + "/a.url"));
    QVERIFY(favorites::foldersOverlap(m_fav + "/x/..", m_fav));
    QVERIFY(!favorites::foldersOverlap(m_fav, m_fav + "2"));
}

void MaintenanceTest::deleteStopsOutsideTheFavoritesFolder()
{
    QVERIFY(writeFile(m_fav + "/dead.url", shortcutBytes("http://dead/")));
    QVERIFY(writeFile(m_dir->filePath("outside.url"), shortcutBytes("http://o/")));
    int deleted = 0;
    platform::Failure error;
    QVERIFY(!favorites::deleteFavorites(m_fav, {m_fav + "/dead.url", m_fav + "/../outside.url"},
                                        favorites::Removal::ToRecycleBin, &deleted, &error));
    QCOMPARE(deleted, 1);
    QVERIFY(!QFile::exists(m_fav + "/dead.url"));
    QVERIFY(QFile::exists(m_dir->filePath("outside.url")));
}

void MaintenanceTest::restoreStoppedOnceCompleteIsEnded_data()
{
    QTest::addColumn<QByteArray>("phase"); // as the marker spells it
    QTest::newRow("done: the old favorites go to the Recycle Bin") << QByteArray("done");
    QTest::newRow("delete: the user agreed to lose them") << QByteArray("delete");
    QTest::newRow("named: stopped as the old favorites' folder got its name") << QByteArray("named");
}

// A restore stopped once the new favorites were all in, the old ones waiting in its working folder with the name
// their folder gets in the Recycle Bin: the next start ends it as it would have ended, and leaves nothing of its own.
void MaintenanceTest::restoreStoppedOnceCompleteIsEnded()
{
    QFETCH(QByteArray, phase);
    const QString name = QStringLiteral("收藏夹（还原前 2026-12-08 14.05）");
    // Named: the folder already has its name, but is still hidden and marked as the working folder was.
    const QString old = m_fav + (phase == "named" ? "/" + name : QStringLiteral("/.tessaly-restore-old"));
    const QString fresh = m_fav + "/.tessaly-restore-new";
    QVERIFY(writeFile(m_fav + "/new.url", shortcutBytes("http://new/")));
    QVERIFY(writeFile(old + "/old.url", shortcutBytes("http://old/")));
    QVERIFY(writeFile(old + "/Sub/old2.url", shortcutBytes("http://old2/")));
    QVERIFY(testsupport::markWorkingFolder(old, phase == "named" ? "done" : phase, name));
    QVERIFY(testsupport::markWorkingFolder(fresh, "complete"));

    favorites::InterruptedRestore found = favorites::InterruptedRestore::None;
    platform::Failure error;
    QVERIFY2(favorites::recoverInterruptedRestore(m_fav, &found, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(found, favorites::InterruptedRestore::Finished);
    if (phase == "named") {
        // An ordinary folder beside the new favorites, shown in the table, with the old favorites whole.
        QCOMPARE(QDir(m_fav).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({"new.url", name}));
        QCOMPARE(QDir(old).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({"Sub", "old.url"}));
        QVERIFY(!platform::isHiddenOrSystem(platform::toNativePath(old)));
        return;
    }
    QCOMPARE(QDir(m_fav).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"new.url"});
    const QString inRecycleBin = m_trash + "/files/" + name;
    if (phase == "delete") {
        QVERIFY(!QFileInfo::exists(inRecycleBin));
        return;
    }
    QCOMPARE(QDir(inRecycleBin).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             QStringList({"Sub", "old.url"}));
    QCOMPARE(readFile(inRecycleBin + "/Sub/old2.url"), shortcutBytes("http://old2/"));
}

// A working folder whose marker names a phase this program does not know (a newer version's): where the old
// favorites belong cannot be told, so nothing is finished, undone or deleted, and the next restore waits.
void MaintenanceTest::restoreStoppedInAnUnknownPhaseIsLeftAlone()
{
    const QString old = m_fav + "/.tessaly-restore-old";
    QVERIFY(writeFile(m_fav + "/new.url", shortcutBytes("http://new/")));
    QVERIFY(writeFile(old + "/old.url", shortcutBytes("http://old/")));
    QVERIFY(testsupport::markWorkingFolder(old, "moving", "收藏夹（还原前）"));
    QVERIFY(testsupport::markWorkingFolder(m_fav + "/.tessaly-restore-new", "complete"));
    QVERIFY(writeFile(m_backup + "/backup.url", shortcutBytes("http://backup/")));
    const QMap<QString, QByteArray> before = testsupport::folderContents(m_fav);

    platform::Failure error;
    QVERIFY(!favorites::recoverInterruptedRestore(m_fav, nullptr, &error));
    QCOMPARE(error.kind, favorites::MaintenanceFailure::InterruptedRestoreNotRecovered);
    QCOMPARE(error.path, QDir::toNativeSeparators(old));
    QVERIFY(!favorites::restoreFavorites(m_backup, m_fav, &error));
    QCOMPARE(error.kind, favorites::MaintenanceFailure::InterruptedRestoreNotRecovered);
    QCOMPARE(testsupport::folderContents(m_fav), before);
}

QTEST_GUILESS_MAIN(MaintenanceTest)
#include "tst_maintenance.moc"
