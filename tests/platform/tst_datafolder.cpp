#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/FileModes.h"

// Where the results file and the backup folder go: beside the program when that folder is writable and the
// installer has not marked the copy as installed, else in the user's data folder. The user's data folder is redirected
// into a temporary folder (XDG_DATA_HOME), so the test never touches the real one.
class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void choosesFolder_data();
    void choosesFolder();
    void writableFolderIsLeftClean();
    void missingFolderIsNotCreated();
    void readOnlyFolderUsesUserFolder();
    void noUsableFolderKeepsProgramFolder();
    void isInside_data();
    void isInside();

private:
    QString userDataFolder() const;

    QTemporaryDir m_root;
    QByteArray m_oldDataHome;
};

void TestDataFolder::initTestCase()
{
    QVERIFY(m_root.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Tessaly"));
    QCoreApplication::setOrganizationName(QString());
    m_oldDataHome = qgetenv("XDG_DATA_HOME");
}

void TestDataFolder::init()
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("share"))));
    QDir(m_root.filePath(QStringLiteral("share"))).removeRecursively();
}

void TestDataFolder::cleanup()
{
    if (m_oldDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_oldDataHome);
}

QString TestDataFolder::userDataFolder() const
{
    return m_root.filePath(QStringLiteral("share/Tessaly"));
}

void TestDataFolder::choosesFolder_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<bool>("besideProgram");

    QDir(m_root.path()).mkpath(QStringLiteral("portable"));
    QFile file(m_root.filePath(QStringLiteral("plain-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // The installer's marker beside the program; a folder of that name is no marker.
    QDir(m_root.path()).mkpath(QStringLiteral("installed"));
    QFile marker(m_root.filePath(QStringLiteral("installed/") + QLatin1String(platform::kInstalledMarker)));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QDir(m_root.path()).mkpath(QStringLiteral("not-a-marker/") + QLatin1String(platform::kInstalledMarker));

    QTest::newRow("writable folder") << m_root.filePath(QStringLiteral("portable")) << true;
    QTest::newRow("writable folder of an installed copy") << m_root.filePath(QStringLiteral("installed")) << false;
    QTest::newRow("writable folder with a folder named like the marker")
        << m_root.filePath(QStringLiteral("not-a-marker")) << true;
    QTest::newRow("folder that does not exist") << m_root.filePath(QStringLiteral("gone")) << false;
    // Nothing can be created under a plain file, not even by the superuser.
    QTest::newRow("folder under a plain file") << m_root.filePath(QStringLiteral("plain-file/bin")) << false;
    QTest::newRow("empty path") << QString() << false;
}

void TestDataFolder::choosesFolder()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, besideProgram);

    QVERIFY(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).startsWith(m_root.path()));
    const QString native = platform::nativePath(programFolder);
    const QString chosen = platform::dataFolder(native);
    if (besideProgram) {
        QCOMPARE(chosen, native);
        QVERIFY(!QFileInfo::exists(userDataFolder()));
    } else {
        QCOMPARE(chosen, platform::nativePath(userDataFolder()));
        QVERIFY(QFileInfo(userDataFolder()).isDir());
    }
}

void TestDataFolder::writableFolderIsLeftClean()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QCOMPARE(platform::dataFolder(folder.path()), folder.path());
    // The write probe leaves nothing behind.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList());
}

void TestDataFolder::missingFolderIsNotCreated()
{
    const QString missing = m_root.filePath(QStringLiteral("not-there"));
    QCOMPARE(platform::dataFolder(missing), platform::nativePath(userDataFolder()));
    QVERIFY(!QFileInfo::exists(missing));
}

void TestDataFolder::readOnlyFolderUsesUserFolder()
{
    const QString folder = m_root.filePath(QStringLiteral("read-only"));
    QVERIFY(QDir().mkpath(folder));
    if (!testsupport::permissionsEnforced(m_root.path()))
        QSKIP("permission bits are not enforced for this user (superuser): a read-only folder stays writable");
    QVERIFY(testsupport::setMode(folder, 0555));
    const QString chosen = platform::dataFolder(folder);
    testsupport::setMode(folder, 0755);
    QCOMPARE(chosen, platform::nativePath(userDataFolder()));
}

void TestDataFolder::noUsableFolderKeepsProgramFolder()
{
    // The user's data folder cannot be created either (its parent is a plain file): the program folder is
    // kept, and the first write to it reports the failure.
    QFile file(m_root.filePath(QStringLiteral("blocker")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("blocker/share"))));
    const QString programFolder = m_root.filePath(QStringLiteral("blocker/bin"));
    QCOMPARE(platform::dataFolder(programFolder), programFolder);
}

void TestDataFolder::isInside_data()
{
    // Paths relative to a test folder holding Fav/Sub, Favorites (a folder whose name begins like Fav's), a link
    // Link -> Fav and a link Loop -> Loop.
    QTest::addColumn<QString>("child");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<bool>("inside");
    QTest::newRow("the folder itself") << "Fav"
                                       << "Fav" << true;
    QTest::newRow("a subfolder") << "Fav/Sub"
                                 << "Fav" << true;
    QTest::newRow("a subfolder that does not exist yet") << "Fav/New/Deeper"
                                                         << "Fav" << true;
    QTest::newRow("the parent is not inside its child") << "Fav"
                                                        << "Fav/Sub" << false;
    QTest::newRow("a name that only begins alike") << "Favorites"
                                                   << "Fav" << false;
    QTest::newRow("out again through ..") << "Fav/Sub/../../Favorites"
                                          << "Fav" << false;
    QTest::newRow("back in through ..") << "Favorites/../Fav/Sub"
                                        << "Fav" << true;
    QTest::newRow("a trailing separator") << "Fav/Sub/"
                                          << "Fav/" << true;
    QTest::newRow("through a link") << "Link/Sub"
                                    << "Fav" << true;
    QTest::newRow("a missing folder through a link") << "Link/New"
                                                     << "Fav" << true;
    QTest::newRow("inside the link's own name") << "Fav/Sub"
                                                << "Link" << true;
    QTest::newRow("a link that leads to itself") << "Loop/x"
                                                 << "Fav" << false;
    // Letter case counts where the file system tells names apart by it.
    QTest::newRow("another letter case") << "FAV/Sub"
                                         << "Fav" << (platform::fileNameCase() == Qt::CaseInsensitive);
}

// One rule for "is this folder the other one or inside it", for the backup's refusals and the edit dialog.
void TestDataFolder::isInside()
{
    QFETCH(QString, child);
    QFETCH(QString, parent);
    QFETCH(bool, inside);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Fav/Sub")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Favorites")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("Fav")), dir.filePath(QStringLiteral("Link"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("Loop")), dir.filePath(QStringLiteral("Loop"))));
    QCOMPARE(platform::isInside(dir.filePath(child), dir.filePath(parent)), inside);
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
