#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "favorites/Enumeration.h"
#include "platform/Paths.h"
#include "support/TempFavorites.h"

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

QTEST_GUILESS_MAIN(EnumerationTest)
#include "tst_enumeration.moc"
