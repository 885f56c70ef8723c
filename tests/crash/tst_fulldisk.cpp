// Saving, backing up and editing on a disk that is full: each reports a clear reason and loses nothing.
// Each test runs again in a child process with a small file system of its own: a tmpfs mounted in a private
// mount namespace (unshare), which disappears with the child. Where the machine does not allow that, the
// tests are skipped with the reason.

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "favorites/Enumeration.h"
#include "favorites/Backup.h"
#include "favorites/Maintenance.h"
#include "favorites/Restore.h"
#include "favorites/ShortcutFile.h"
#include "jobs/AppState.h"
#include "jobs/FavoriteEdit.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/ChildRun.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "ui/LinkTableModel.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
#include "ui/FailureText.h"

using testsupport::readFile;
using testsupport::snapshotTree;
using testsupport::TreeSnapshot;
using testsupport::writeFile;

namespace
{

const char smallFilesystemSize[] = "size=4m";

TreeSnapshot favoritesTree(int count, const QString& variant)
{
    TreeSnapshot tree;
    tree.folders = {QStringLiteral("Links"), QStringLiteral("Other")};
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1/fav%2.url").arg(i % 2 ? QStringLiteral("Links") : QString()).arg(i);
        tree.files.insert(QDir::cleanPath(name.startsWith(u'/') ? name.mid(1) : name),
                          testsupport::shortcutBytes(QStringLiteral("http://%1.example/%2").arg(variant).arg(i)));
    }
    return tree;
}

bool mentionsFullDisk(const platform::Failure& failure)
{
    return failure.system.reason == platform::SystemReason::DiskFull;
}

} // namespace

class FullDiskTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveOnFullDisk_data();
    void saveOnFullDisk();
    void backupOnFullDisk_data();
    void backupOnFullDisk();
    void restoreOnFullDisk_data();
    void restoreOnFullDisk();
    void editOnFullDisk_data();
    void editOnFullDisk();

private:
    // Runs the current test function again in a child on a small file system (or skips): the parent's part
    // of every test, whose own part runs in the child.
    void runInSmallFilesystem();
    // Fills the file system with a filler file until nothing is left, then frees `leave` bytes of it.
    void fillUp(qint64 leave);
    void emptyFiller();
    void load();

    QStringList m_wrapper; // the command that gives a child its own small file system
    QString m_skipReason;
    QString m_root;
    QString m_fav;
    QString m_program;
    QString m_results;
    QString m_backup;
    jobs::AppState m_state;
    std::unique_ptr<ui::LinkTableModel> m_model;
};

void FullDiskTest::initTestCase()
{
    if (!testsupport::isChildRun())
        m_wrapper = testsupport::ownTmpfsWrapper(QLatin1String(smallFilesystemSize), &m_skipReason);
}

void FullDiskTest::runInSmallFilesystem()
{
    if (!m_skipReason.isEmpty())
        QSKIP(qPrintable(m_skipReason));
    QByteArray output;
    QVERIFY2(testsupport::runCurrentRowOnOwnTmpfs(m_wrapper, &output), output.constData());
}

void FullDiskTest::init()
{
    if (!testsupport::isChildRun())
        return;
    m_root = testsupport::childRunValue();
    QVERIFY(!m_root.isEmpty());
    m_fav = platform::joinPath(m_root, QStringLiteral("Favorites"));
    m_program = platform::joinPath(m_root, QStringLiteral("program"));
    m_results = table::resultsFilePath(m_program);
    m_backup = favorites::backupFolderPath(m_program);
    QVERIFY(QDir().mkpath(m_fav));
    QVERIFY(QDir().mkpath(m_program));
    // The small file system is the user's home volume, which holds the user's Trash: what a restore replaces goes
    // there (the Trash GIO finds for a folder on the home volume; it keeps none on a tmpfs of its own).
    qputenv("HOME", QFile::encodeName(m_root));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root + QStringLiteral("/.local/share")));
    m_state.catalogue = favorites::Catalogue();
    m_state.table.load({});
    m_state.catalogue.favPath = m_fav;
    m_state.programFolder = m_program;
    m_model = std::make_unique<ui::LinkTableModel>(m_state.table);
}

void FullDiskTest::cleanup()
{
    if (testsupport::isChildRun())
        emptyFiller();
}

void FullDiskTest::fillUp(qint64 leave)
{
    QFile filler(platform::joinPath(m_root, QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray chunk(64 * 1024, 'f');
    qint64 written;
    while ((written = filler.write(chunk)) == chunk.size()) {
    }
    for (const QByteArray& small : {QByteArray(4096, 'f'), QByteArray(1, 'f')}) {
        while (filler.write(small) == small.size()) {
        }
    }
    filler.close();
    QVERIFY(filler.size() > 0);
    if (leave > 0)
        QVERIFY(filler.resize(qMax<qint64>(0, filler.size() - leave)));
}

void FullDiskTest::emptyFiller()
{
    QFile::remove(platform::joinPath(m_root, QStringLiteral("filler")));
}

void FullDiskTest::load()
{
    favorites::collectFiles(m_state.catalogue);
    table::loadTable(m_state.catalogue, m_state.table, m_results);
}

void FullDiskTest::saveOnFullDisk_data()
{
    QTest::addColumn<int>("favorites");
    QTest::addColumn<qint64>("leave"); // bytes left free: none, or less than the new file needs
    QTest::newRow("nothing free") << 400 << qint64(0);
    QTest::newRow("room for a part") << 400 << qint64(8192);
    // A file smaller than the write buffer is only written when it is committed.
    QTest::newRow("small file, nothing free") << 12 << qint64(0);
}

void FullDiskTest::saveOnFullDisk()
{
    if (!testsupport::isChildRun())
        return runInSmallFilesystem();
    QFETCH(int, favorites);
    QFETCH(qint64, leave);
    QVERIFY(testsupport::writeTree(m_fav, favoritesTree(favorites, QStringLiteral("save"))));
    load();
    // An old results file with one verdict per row; the new one is larger.
    testsupport::setAllStates(m_state.table, table::Verdict::Alive);
    QVERIFY(table::saveResults(m_results, m_state.table));
    load();
    const QByteArray old = readFile(m_results);
    testsupport::setAllStates(m_state.table, table::Verdict::Dead);
    const QVector<table::LinkRow> rows = m_state.table.rows();

    fillUp(leave);
    platform::Failure error;
    QVERIFY(!table::saveResults(m_results, m_state.table, &error));
    qInfo("saving on a full disk: %s", qPrintable(ui::failureText(error)));
    QVERIFY2(mentionsFullDisk(error), qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(m_results), old);
    QCOMPARE(m_state.table.rows(), rows);
    QCOMPARE(QDir(m_program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("data.txt")});

    // With room again, the same save goes through.
    emptyFiller();
    QVERIFY2(table::saveResults(m_results, m_state.table, &error), qPrintable(ui::failureText(error)));
    load();
    QCOMPARE(m_state.table.history(1), (testsupport::savedChecks({"YES", "NO", "", ""})));
}

void FullDiskTest::backupOnFullDisk_data()
{
    QTest::addColumn<qint64>("leave");
    QTest::newRow("nothing free") << qint64(0);
    QTest::newRow("room for a part") << qint64(64 * 1024);
}

void FullDiskTest::backupOnFullDisk()
{
    if (!testsupport::isChildRun())
        return runInSmallFilesystem();
    QFETCH(qint64, leave);
    const TreeSnapshot previous = favoritesTree(40, QStringLiteral("previous"));
    const TreeSnapshot favorites = favoritesTree(120, QStringLiteral("now"));
    QVERIFY(testsupport::writeTree(m_fav, previous));
    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QVERIFY(QDir(m_fav).removeRecursively());
    QVERIFY(testsupport::writeTree(m_fav, favorites));
    QVERIFY(writeFile(m_results, "results\r\n"));

    fillUp(leave);
    QVERIFY(!favorites::backupFavorites(m_fav, m_backup, &error));
    qInfo("backing up on a full disk: %s", qPrintable(ui::failureText(error)));
    QVERIFY2(mentionsFullDisk(error), qPrintable(ui::failureText(error)));
    QCOMPARE(snapshotTree(m_backup), previous);
    QCOMPARE(snapshotTree(m_fav), favorites);
    QCOMPARE(readFile(m_results), QByteArray("results\r\n"));
    QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral(".new")));
    QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral(".old")));

    emptyFiller();
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(snapshotTree(m_backup), favorites);
}

void FullDiskTest::restoreOnFullDisk_data()
{
    backupOnFullDisk_data();
}

// The backup is copied in whole before any favorite is touched: a disk too full for the copy changes nothing.
void FullDiskTest::restoreOnFullDisk()
{
    if (!testsupport::isChildRun())
        return runInSmallFilesystem();
    QFETCH(qint64, leave);
    const TreeSnapshot backup = favoritesTree(120, QStringLiteral("backup"));
    const TreeSnapshot favorites = favoritesTree(40, QStringLiteral("now"));
    QVERIFY(testsupport::writeTree(m_fav, backup));
    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QVERIFY(QDir(m_fav).removeRecursively());
    QVERIFY(testsupport::writeTree(m_fav, favorites));

    fillUp(leave);
    QVERIFY(!favorites::restoreFavorites(m_backup, m_fav, &error));
    qInfo("restoring on a full disk: %s", qPrintable(ui::failureText(error)));
    QVERIFY2(mentionsFullDisk(error), qPrintable(ui::failureText(error)));
    QCOMPARE(snapshotTree(m_fav), favorites);
    QCOMPARE(snapshotTree(m_backup), backup);

    emptyFiller();
    QVERIFY2(favorites::restoreFavorites(m_backup, m_fav, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(snapshotTree(m_fav), backup);
}

void FullDiskTest::editOnFullDisk_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    const QString address = QStringLiteral("http://now.example/1");
    QTest::newRow("new address") << QStringLiteral("/Links") << QStringLiteral("fav1")
                                 << QStringLiteral("http://changed.example/");
    QTest::newRow("moved") << QStringLiteral("/Other") << QStringLiteral("fav1") << address;
    QTest::newRow("renamed") << QStringLiteral("/Links") << QStringLiteral("renamed") << address;
    QTest::newRow("all three") << QStringLiteral("/Other") << QStringLiteral("renamed")
                               << QStringLiteral("http://changed.example/");
}

void FullDiskTest::editOnFullDisk()
{
    if (!testsupport::isChildRun())
        return runInSmallFilesystem();
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, address);
    const TreeSnapshot favorites = favoritesTree(10, QStringLiteral("now"));
    QVERIFY(testsupport::writeTree(m_fav, favorites));
    load();
    ui::LinkTableModel& model = *m_model;
    int row = 0;
    for (int i = 1; i <= m_state.table.rowCount(); ++i) {
        if (m_state.table.fileName(i) == QLatin1String("fav1.url"))
            row = i;
    }
    QVERIFY(row > 0);
    const QString oldUrl = m_state.table.rowUrl(row);

    fillUp(0);
    platform::Failure error;
    QVERIFY(!jobs::applyFavoriteEdit(m_state, row, {folder, name, address}, &error));
    qInfo("editing on a full disk: %s", qPrintable(ui::failureText(error)));
    QVERIFY2(mentionsFullDisk(error), qPrintable(ui::failureText(error)));
    QVERIFY2(error.path.endsWith(QStringLiteral("fav1.url")) || error.otherPath.endsWith(QStringLiteral("fav1.url")),
             qPrintable(ui::failureText(error)));
    // Nothing moved, nothing half-written; the row still names the favorite where it is.
    QCOMPARE(snapshotTree(m_fav), favorites);
    QCOMPARE(m_state.table.fileName(row), QStringLiteral("fav1.url"));
    QCOMPARE(m_state.table.filePath(row), m_fav + QStringLiteral("/Links"));
    QCOMPARE(m_state.table.rowUrl(row), oldUrl);
    QCOMPARE(model.cell(row, ui::LinkTableModel::AddressColumn), oldUrl);

    emptyFiller();
    QVERIFY2(jobs::applyFavoriteEdit(m_state, row, {folder, name, address}, &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(favorites::GetUrl(platform::joinPath(m_fav + folder, name + QStringLiteral(".url"))), address);
}

QTEST_GUILESS_MAIN(FullDiskTest)
#include "tst_fulldisk.moc"
