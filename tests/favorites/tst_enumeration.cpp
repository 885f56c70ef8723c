#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "favorites/Enumeration.h"
#include "favorites/Backup.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/FileModes.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "ui/FailureText.h"

using favorites::Catalogue;
using platform::joinPath;

class EnumerationTest : public QObject
{
    Q_OBJECT

private slots:
    void emptyFolderCollectsNothing();
    void rowOrderIsDepthFirstPreOrder();
    void hiddenFilesAreLeftOutReadOnlyKept();
    void everyPlainFileIsARow();
    void emptySubfolderIsListedWithoutRows();
    void missingOrEmptyFavoritesGivesEmptyCatalogue();
    void linkLoopIsNotFollowed();
    void veryDeepTreeIsWalked();
    void listingTellsWhatEachEntryIs();
    void backupHoldsEveryRow();
};

void EnumerationTest::emptyFolderCollectsNothing()
{
    QTemporaryDir dir;
    Catalogue cat;
    cat.favPath = dir.path();
    favorites::ListFolders(cat, cat.favPath);
    favorites::collectFiles(cat);
    QCOMPARE(cat.fileCount, 0);
    QCOMPARE(cat.folderCount, 0);
    QCOMPARE(cat.fileName.size(), 1);
}

void EnumerationTest::rowOrderIsDepthFirstPreOrder()
{
    QTemporaryDir dir;
    const QString fav = dir.path();
    QVERIFY(testsupport::writeFile(fav + "/start.url", testsupport::shortcutBytes("http://s/")));
    QVERIFY(testsupport::writeFile(fav + "/Z/shop.url", testsupport::shortcutBytes("http://z/")));
    QVERIFY(testsupport::writeFile(fav + "/A/B/mail.url", testsupport::shortcutBytes("http://m/")));
    QVERIFY(testsupport::writeFile(fav + "/A/news.url", testsupport::shortcutBytes("http://n/")));

    Catalogue cat;
    cat.favPath = fav;
    favorites::ListFolders(cat, fav);
    favorites::collectFiles(cat);

    QCOMPARE(cat.fileCount, 4);
    QCOMPARE(cat.fileName, QStringList({"", "start.url", "news.url", "mail.url", "shop.url"}));
    QCOMPARE(cat.filePath,
             QStringList({"", fav, joinPath(fav, "A"), joinPath(joinPath(fav, "A"), "B"), joinPath(fav, "Z")}));
    QCOMPARE(cat.folderCount, 3);
    QCOMPARE(cat.folderList,
             QStringList({"", joinPath(fav, "A"), joinPath(joinPath(fav, "A"), "B"), joinPath(fav, "Z")}));

    // A second enumeration starts afresh instead of appending.
    favorites::collectFiles(cat);
    QCOMPARE(cat.fileCount, 4);
    QCOMPARE(cat.fileName.size(), 5);
}

void EnumerationTest::hiddenFilesAreLeftOutReadOnlyKept()
{
    QTemporaryDir dir;
    const QString fav = dir.path();
    QVERIFY(testsupport::writeFile(fav + "/.desktop.ini", "x"));
    QVERIFY(testsupport::writeFile(fav + "/ro.url", testsupport::shortcutBytes("http://r/")));
    QFile::setPermissions(fav + "/ro.url", QFileDevice::ReadOwner | QFileDevice::ReadUser);

    Catalogue cat;
    cat.favPath = fav;
    favorites::collectFiles(cat);
    QCOMPARE(cat.fileCount, 1);
    QCOMPARE(cat.fileName.at(1), QString("ro.url"));
}

void EnumerationTest::everyPlainFileIsARow()
{
    QTemporaryDir dir;
    const QString fav = dir.path();
    QVERIFY(testsupport::writeFile(fav + "/notes.txt", "hello"));
    QVERIFY(testsupport::writeFile(fav + "/新闻 网站.url", testsupport::shortcutBytes("http://n/")));
    QVERIFY(QFile::link(fav + "/notes.txt", fav + "/link.url"));
#ifdef Q_OS_UNIX
    // What is not a file to read is no row: a named pipe, a socket, a link to nothing.
    QCOMPARE(::mkfifo(QFile::encodeName(fav + "/pipe.url").constData(), 0644), 0);
    QLocalServer socket;
    QVERIFY(socket.listen(fav + "/socket.url"));
    QVERIFY(QFile::link(fav + "/missing.url", fav + "/dangling.url"));
#endif
    Catalogue cat;
    cat.favPath = fav;
    favorites::collectFiles(cat);
    QCOMPARE(cat.fileName, QStringList({"", "link.url", "notes.txt", "新闻 网站.url"}));
}

void EnumerationTest::emptySubfolderIsListedWithoutRows()
{
    QTemporaryDir dir;
    const QString fav = dir.path();
    QVERIFY(QDir(fav).mkpath("Empty/Deeper"));
    Catalogue cat;
    cat.favPath = fav;
    favorites::ListFolders(cat, fav);
    favorites::collectFiles(cat);
    QCOMPARE(cat.folderCount, 2);
    QCOMPARE(cat.fileCount, 0);
}

void EnumerationTest::missingOrEmptyFavoritesGivesEmptyCatalogue()
{
    Catalogue cat;
    cat.favPath = QString(); // must not fall back to the current folder
    favorites::collectFiles(cat);
    QCOMPARE(cat.fileCount, 0);

    QTemporaryDir dir;
    cat.favPath = dir.path() + "/missing";
    favorites::ListFolders(cat, cat.favPath);
    favorites::collectFiles(cat);
    QCOMPARE(cat.fileCount, 0);
    QCOMPARE(cat.folderCount, 0);
}

void EnumerationTest::linkLoopIsNotFollowed()
{
    QTemporaryDir dir;
    const QString fav = dir.path();
    QVERIFY(testsupport::writeFile(fav + "/A/a.url", testsupport::shortcutBytes("http://a/")));
    QVERIFY(QFile::link(fav, fav + "/A/loop"));
    QVERIFY(QFile::link(fav + "/A", fav + "/toA"));

    Catalogue cat;
    cat.favPath = fav;
    favorites::ListFolders(cat, fav);
    favorites::collectFiles(cat);
    QCOMPARE(cat.folderCount, 1);
    QCOMPARE(cat.fileCount, 1);
    QCOMPARE(cat.fileName.at(1), QString("a.url"));
}

void EnumerationTest::veryDeepTreeIsWalked()
{
    QTemporaryDir dir;
    QString path = dir.path();
    const int depth = 1000;
    // Built level by level: a 1,000-level path is longer than the system allows in one call.
    QDir cursor(path);
    for (int level = 0; level < depth; ++level) {
        QVERIFY(cursor.mkdir("d"));
        QVERIFY(cursor.cd("d"));
    }
    QVERIFY(testsupport::writeFile(cursor.filePath("deep.url"), testsupport::shortcutBytes("http://d/")));
    Catalogue cat;
    cat.favPath = path;
    favorites::ListFolders(cat, path);
    favorites::collectFiles(cat);
    QCOMPARE(cat.folderCount, depth);
    QCOMPARE(cat.fileCount, 1);
    QCOMPARE(cat.fileName.at(1), QString("deep.url"));
}

// The one listing of a folder, which the table and the backup both go by: every entry with its name exactly as
// stored, what it is without following a link, what a link leads to, and whether it is hidden; by name ignoring case.
void EnumerationTest::listingTellsWhatEachEntryIs()
{
#ifdef Q_OS_UNIX
    using platform::EntryType;
    QTemporaryDir dir;
    const QString fav = dir.path();
    QVERIFY(testsupport::writeFile(fav + "/b.url", "b"));
    QVERIFY(testsupport::writeFile(fav + "/.hidden.url", "h"));
    QVERIFY(testsupport::writeFile(fav + "/.Hidden Sub/x.url", "x"));
    QVERIFY(testsupport::writeFile(fav + "/Sub/y.url", "y"));
    QVERIFY(QFile::link(fav + "/b.url", fav + "/A link.url"));
    QVERIFY(QFile::link(fav + "/Sub", fav + "/folder link"));
    QVERIFY(QFile::link(fav + "/nothing", fav + "/dangling.url"));
    QCOMPARE(::mkfifo(QFile::encodeName(fav + "/pipe.url").constData(), 0644), 0);
    QVERIFY(QFile::link(fav + "/pipe.url", fav + "/pipe link.url"));
    const QByteArray undecodable = QFile::encodeName(fav) + "/\xFF.url";
    QCOMPARE(::close(::open(undecodable.constData(), O_CREAT | O_WRONLY, 0644)), 0);

    std::vector<platform::FolderEntry> entries;
    QVERIFY(platform::listFolder(platform::toNativePath(fav), &entries));
    QStringList listed;
    for (const platform::FolderEntry& entry : entries) {
        listed << QStringLiteral("%1 %2 %3%4")
                      .arg(QString::fromLatin1(QByteArray::fromStdString(entry.name.native())))
                      .arg(int(entry.type))
                      .arg(int(entry.target))
                      .arg(entry.hiddenOrSystem ? QStringLiteral(" hidden") : QString());
    }
    const auto line = [](const char* name, EntryType type, EntryType target, bool hidden = false) {
        return QStringLiteral("%1 %2 %3%4")
            .arg(QString::fromLatin1(name))
            .arg(int(type))
            .arg(int(target))
            .arg(hidden ? QStringLiteral(" hidden") : QString());
    };
    QCOMPARE(listed, QStringList({
                         line(".Hidden Sub", EntryType::Folder, EntryType::Folder, true),
                         line(".hidden.url", EntryType::File, EntryType::File, true),
                         line("A link.url", EntryType::Link, EntryType::File),
                         line("b.url", EntryType::File, EntryType::File),
                         line("dangling.url", EntryType::Link, EntryType::Missing),
                         line("folder link", EntryType::Link, EntryType::Folder),
                         line("pipe link.url", EntryType::Link, EntryType::Special),
                         line("pipe.url", EntryType::Special, EntryType::Special),
                         line("Sub", EntryType::Folder, EntryType::Folder),
                         line("\xFF.url", EntryType::File, EntryType::File),
                     }));

    platform::SystemError why;
    QVERIFY(!platform::listFolder(platform::toNativePath(fav + "/missing"), &entries, &why));
    QVERIFY(entries.empty());
    QCOMPARE(why.reason, platform::SystemReason::NotFound);
    QVERIFY(!platform::listFolder(platform::toNativePath(fav + "/b.url"), &entries, &why));
    QCOMPARE(why.reason, platform::SystemReason::NotAFolder);
#else
    QSKIP("links, named pipes and undecodable names are made with the Unix tools here");
#endif
}

// The table and the backup see one folder alike: every row is a file of the backup with the same bytes, every
// listed folder a folder of it, whatever stands beside them (hidden entries, links, pipes, names Qt cannot read).
void EnumerationTest::backupHoldsEveryRow()
{
    QTemporaryDir dir;
    const QString fav = dir.path() + "/Favorites";
    const QString backup = dir.path() + "/program/data";
    QVERIFY(testsupport::writeFile(fav + "/a.url", testsupport::shortcutBytes("http://a/")));
    QVERIFY(testsupport::writeFile(fav + "/.hidden.url", "h"));
    QVERIFY(testsupport::writeFile(fav + "/.Hidden Sub/b.url", testsupport::shortcutBytes("http://b/")));
    QVERIFY(testsupport::writeFile(fav + "/Sub/Deep/c.url", testsupport::shortcutBytes("http://c/")));
    QVERIFY(testsupport::writeFile(fav + "/Sub/read-only.url", testsupport::shortcutBytes("http://r/")));
    QVERIFY(testsupport::setMode(fav + "/Sub/read-only.url", 0444));
    QVERIFY(QDir().mkpath(dir.path() + "/program"));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(fav + "/a.url", fav + "/Sub/link.url"));
    QVERIFY(QFile::link(fav + "/Sub", fav + "/folder link"));
    QCOMPARE(::mkfifo(QFile::encodeName(fav + "/pipe.url").constData(), 0644), 0);
    QCOMPARE(::close(::open((QFile::encodeName(fav) + "/\xFF.url").constData(), O_CREAT | O_WRONLY, 0644)), 0);
#endif

    Catalogue cat;
    cat.favPath = fav;
    favorites::ListFolders(cat, fav);
    favorites::collectFiles(cat);
    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(fav, backup, &error), qPrintable(ui::failureText(error)));

    const QMap<QString, QByteArray> backedUp = testsupport::folderContents(backup);
    QStringList rows;
    for (int i = 1; i <= cat.fileCount; ++i) {
        const QString relative = QDir(fav).relativeFilePath(cat.filePath.at(i) + "/" + cat.fileName.at(i));
        rows << relative;
        QVERIFY2(backedUp.contains(relative), qPrintable(relative));
        QCOMPARE(testsupport::readFile(backup + "/" + relative), testsupport::readFile(fav + "/" + relative));
    }
    QStringList expected{"a.url", ".Hidden Sub/b.url", "Sub/read-only.url", "Sub/Deep/c.url"};
#ifdef Q_OS_UNIX
    expected.insert(2, "Sub/link.url");
#endif
    QCOMPARE(rows, expected);
    for (int i = 1; i <= cat.folderCount; ++i) {
        const QString relative = QDir(fav).relativeFilePath(cat.folderList.at(i));
        QVERIFY2(QFileInfo(backup + "/" + relative).isDir(), qPrintable(relative));
    }
    QCOMPARE(cat.folderCount, 3);
}

QTEST_GUILESS_MAIN(EnumerationTest)
#include "tst_enumeration.moc"
