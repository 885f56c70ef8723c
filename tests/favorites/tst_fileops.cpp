#include "favorites/FileOps.h"
#include "support/FileModes.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "ui/FailureText.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace favorites;
using platform::Failure;
using platform::FileFailure;
using testsupport::folderContents;
using testsupport::readFile;
using testsupport::writeFile;

namespace
{

QStringList entriesOf(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

} // namespace

class TestFileOps : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void killFolderOnNothingOrFile();
    void killFolderDeletesReadOnlyNestedTree();
    void killFolderLeavesLinkTargets();
    void killFileAllFilesKeepsSubfolders();
    void killFileAllFilesInEmptyOrMissingFolder();
    void killFileWildcardCharactersAreNames_data();
    void killFileWildcardCharactersAreNames();
    void killFileReadOnly();
    void deleteOneFileTakesPatternsAsNames_data();
    void deleteOneFileTakesPatternsAsNames();
    void killFileFailures();
    void copyOne();
    void copyOneNeverReplaces();
    void copyOneFailures();
    void copyTreeCreatesDestination();
    void copyTreeMerges();
    void copyTreeKeepsLinksAndLeavesOutSpecialFiles();
    void copyTreeFailures();
    void copyTreeIntoItselfRefused();
    void reportsFailureInLockedFolder();
    void relativePathsNotDeleted();

private:
    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    void make(const QString& relative, const QByteArray& bytes = "x") { QVERIFY(writeFile(path(relative), bytes)); }
    void makeFolder(const QString& relative) { QVERIFY(QDir().mkpath(path(relative))); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFileOps::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFileOps::killFolderOnNothingOrFile()
{
    Failure error;
    QVERIFY(KillFolder(path(QStringLiteral("nothing")), &error));
    QVERIFY(!error.failed());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("nothing"))));

    make(QStringLiteral("file"), "keep");
    QVERIFY(KillFolder(path(QStringLiteral("file")), &error));
    QCOMPARE(readFile(path(QStringLiteral("file"))), QByteArray("keep"));
}

void TestFileOps::killFolderDeletesReadOnlyNestedTree()
{
    make(QStringLiteral("fav/a.url"));
    make(QStringLiteral("fav/.hidden"));
    make(QStringLiteral("fav/sub/b.url"));
    make(QStringLiteral("fav/sub/deeper/c"));
    makeFolder(QStringLiteral("fav/empty"));
    make(QStringLiteral("other/keep.url"), "keep");
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/a.url")), 0444));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/sub/deeper/c")), 0400));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/sub/deeper")), 0555));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/sub")), 0500));

    Failure error;
    QVERIFY2(KillFolder(path(QStringLiteral("fav")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("fav"))));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{QStringLiteral("other")});
    QCOMPARE(readFile(path(QStringLiteral("other/keep.url"))), QByteArray("keep"));
}

void TestFileOps::killFolderLeavesLinkTargets()
{
#ifdef Q_OS_UNIX
    make(QStringLiteral("target/t.url"), "t");
    make(QStringLiteral("target-file"), "f");
    makeFolder(QStringLiteral("fav"));
    QVERIFY(QFile::link(path(QStringLiteral("target")), path(QStringLiteral("fav/linked"))));
    QVERIFY(QFile::link(path(QStringLiteral("target-file")), path(QStringLiteral("fav/linked-file"))));
    QVERIFY(QFile::link(path(QStringLiteral("target")), path(QStringLiteral("top-link"))));

    Failure error;
    QVERIFY2(KillFolder(path(QStringLiteral("fav")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("fav"))));
    QVERIFY2(KillFolder(path(QStringLiteral("top-link")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo(path(QStringLiteral("top-link"))).isSymLink());

    QCOMPARE(readFile(path(QStringLiteral("target/t.url"))), QByteArray("t"));
    QCOMPARE(readFile(path(QStringLiteral("target-file"))), QByteArray("f"));
#else
    QSKIP("symbolic links are made with the Unix tools here");
#endif
}

void TestFileOps::killFileAllFilesKeepsSubfolders()
{
    make(QStringLiteral("fav/a.url"));
    make(QStringLiteral("fav/no-extension"));
    make(QStringLiteral("fav/.hidden.url"));
    make(QStringLiteral("fav/read-only.url"));
    make(QStringLiteral("fav/sub/b.url"), "b");
    make(QStringLiteral("fav/sub.url/c.url"), "c"); // a folder with an extension
    makeFolder(QStringLiteral("fav/empty"));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/read-only.url")), 0444));
#ifdef Q_OS_UNIX
    make(QStringLiteral("outside/o.url"), "o");
    QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("fav/folder-link"))));
    QVERIFY(QFile::link(path(QStringLiteral("outside/o.url")), path(QStringLiteral("fav/file-link.url"))));
#endif

    Failure error;
    QVERIFY2(KillFile(path(QStringLiteral("fav/*.*")), &error), qPrintable(ui::failureText(error)));

    QStringList kept{QStringLiteral("empty"), QStringLiteral("sub"), QStringLiteral("sub.url")};
#ifdef Q_OS_UNIX
    kept.append(QStringLiteral("folder-link"));
    QCOMPARE(readFile(path(QStringLiteral("outside/o.url"))), QByteArray("o")); // the link went, not its target
#endif
    kept.sort();
    QCOMPARE(entriesOf(path(QStringLiteral("fav"))), kept);
    QCOMPARE(readFile(path(QStringLiteral("fav/sub/b.url"))), QByteArray("b"));
    QCOMPARE(readFile(path(QStringLiteral("fav/sub.url/c.url"))), QByteArray("c"));
}

void TestFileOps::killFileAllFilesInEmptyOrMissingFolder()
{
    makeFolder(QStringLiteral("empty"));
    Failure error;
    QVERIFY2(KillFile(path(QStringLiteral("empty/*.*")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(QFileInfo(path(QStringLiteral("empty"))).isDir());

    QVERIFY(!KillFile(path(QStringLiteral("missing/*.*")), &error));
    QCOMPARE(error.kind, FileFailure::FolderMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("missing"))));
}

void TestFileOps::killFileWildcardCharactersAreNames_data()
{
    QTest::addColumn<QString>("victim");
    QTest::newRow("star") << QStringLiteral("a*b.url");
    QTest::newRow("question mark") << QStringLiteral("a?b.url");
    QTest::newRow("star extension") << QStringLiteral("*.url");
    QTest::newRow("star name") << QStringLiteral("a.*");
    QTest::newRow("lone star") << QStringLiteral("*");
}

void TestFileOps::killFileWildcardCharactersAreNames()
{
    QFETCH(QString, victim);
    const QStringList names{QStringLiteral("a*b.url"), QStringLiteral("a?b.url"), QStringLiteral("aXb.url"),
                            QStringLiteral("*.url"),   QStringLiteral("a.*"),     QStringLiteral("*"),
                            QStringLiteral("a.url")};
    for (const QString& name : names)
        make(QStringLiteral("fav/") + name);

    Failure error;
    QVERIFY2(KillFile(path(QStringLiteral("fav/") + victim), &error), qPrintable(ui::failureText(error)));
    QStringList expected = names;
    expected.removeOne(victim);
    expected.sort();
    QCOMPARE(entriesOf(path(QStringLiteral("fav"))), expected);
}

void TestFileOps::killFileReadOnly()
{
    make(QStringLiteral("ro.url"));
    QVERIFY(testsupport::setMode(path(QStringLiteral("ro.url")), 0444));
    Failure error;
    QVERIFY2(KillFile(path(QStringLiteral("ro.url")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("ro.url"))));
}

void TestFileOps::deleteOneFileTakesPatternsAsNames_data()
{
    QTest::addColumn<QString>("victim");
    QTest::newRow("*.*") << QStringLiteral("*.*");
    QTest::newRow("star") << QStringLiteral("*");
    QTest::newRow("plain") << QStringLiteral("a.url");
}

// A favorite that is really called "*.*" is one file to delete, not every file beside it.
void TestFileOps::deleteOneFileTakesPatternsAsNames()
{
    QFETCH(QString, victim);
    const QStringList names{QStringLiteral("*.*"), QStringLiteral("*"), QStringLiteral("a.url"), QStringLiteral("b")};
    for (const QString& name : names)
        make(QStringLiteral("fav/") + name);
    make(QStringLiteral("fav/sub/c.url"));

    Failure error;
    QVERIFY2(deleteOneFile(path(QStringLiteral("fav/") + victim), &error), qPrintable(ui::failureText(error)));
    QStringList expected = names;
    expected << QStringLiteral("sub");
    expected.removeOne(victim);
    expected.sort();
    QCOMPARE(entriesOf(path(QStringLiteral("fav"))), expected);

    QVERIFY(!deleteOneFile(path(QStringLiteral("fav/") + victim), &error));
    QCOMPARE(error.kind, FileFailure::FileMissing);
    QVERIFY(!deleteOneFile(path(QStringLiteral("fav/sub")), &error));
    QCOMPARE(error.kind, FileFailure::IsAFolder);
    QVERIFY(QFileInfo::exists(path(QStringLiteral("fav/sub/c.url"))));
}

void TestFileOps::killFileFailures()
{
    Failure error;
    QVERIFY(!KillFile(path(QStringLiteral("missing.url")), &error));
    QCOMPARE(error.kind, FileFailure::FileMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("missing.url"))));

    make(QStringLiteral("folder/inside.url"));
    error = Failure();
    QVERIFY(!KillFile(path(QStringLiteral("folder")), &error));
    QCOMPARE(error.kind, FileFailure::IsAFolder);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("folder"))));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("folder/inside.url"))));
}

void TestFileOps::copyOne()
{
    make(QStringLiteral("old/news.url"), "content");
    makeFolder(QStringLiteral("new"));
    Failure error;
    QVERIFY2(CopyOne(path(QStringLiteral("old/news.url")), path(QStringLiteral("new/renamed.url")), &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(path(QStringLiteral("new/renamed.url"))), QByteArray("content"));
    QCOMPARE(readFile(path(QStringLiteral("old/news.url"))), QByteArray("content"));
}

void TestFileOps::copyOneNeverReplaces()
{
    make(QStringLiteral("a.url"), "source");
    make(QStringLiteral("b.url"), "destination");
    Failure error;
    QVERIFY(!CopyOne(path(QStringLiteral("a.url")), path(QStringLiteral("b.url")), &error));
    QCOMPARE(error.kind, FileFailure::AlreadyExists);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("b.url"))));
    QCOMPARE(readFile(path(QStringLiteral("a.url"))), QByteArray("source"));
    QCOMPARE(readFile(path(QStringLiteral("b.url"))), QByteArray("destination"));

    // Onto itself: the caller deletes the source next, so this must fail.
    QVERIFY(!CopyOne(path(QStringLiteral("a.url")), path(QStringLiteral("a.url")), &error));
    QCOMPARE(readFile(path(QStringLiteral("a.url"))), QByteArray("source"));
}

void TestFileOps::copyOneFailures()
{
    make(QStringLiteral("a.url"), "source");
    Failure error;
    QVERIFY(!CopyOne(path(QStringLiteral("a.url")), path(QStringLiteral("missing/a.url")), &error));
    QCOMPARE(error.kind, FileFailure::FolderMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("missing"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("missing"))));

    error = Failure();
    QVERIFY(!CopyOne(path(QStringLiteral("none.url")), path(QStringLiteral("b.url")), &error));
    QCOMPARE(error.kind, FileFailure::FileMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("none.url"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("b.url"))));

    makeFolder(QStringLiteral("folder"));
    QVERIFY(!CopyOne(path(QStringLiteral("folder")), path(QStringLiteral("copy")), &error));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("copy"))));
}

void TestFileOps::copyTreeCreatesDestination()
{
    make(QStringLiteral("fav/a.url"), "a");
    make(QStringLiteral("fav/.hidden"), "h");
    make(QStringLiteral("fav/no-extension"), "n");
    make(QStringLiteral("fav/sub/b.url"), "b");
    make(QStringLiteral("fav/sub/deeper/c.url"), "c");
    makeFolder(QStringLiteral("fav/empty"));
    make(QStringLiteral("fav/ro.url"), "r");
    make(QStringLiteral("fav/ro-sub/d.url"), "d");
    make(QStringLiteral("fav/private.url"), "p");
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro.url")), 0444));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro-sub/d.url")), 0400));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro-sub")), 0555));
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/private.url")), 0600));
    const QMap<QString, QByteArray> original = folderContents(path(QStringLiteral("fav")));
    const QStringList withModes{QStringLiteral("ro.url"),      QStringLiteral("ro-sub/d.url"), QStringLiteral("ro-sub"),
                                QStringLiteral("private.url"), QStringLiteral("a.url"),        QStringLiteral("sub")};
    auto modesIn = [this, &withModes](const QString& folder) {
        QStringList modes;
        for (const QString& name : withModes)
            modes << name + QStringLiteral(" %1").arg(testsupport::modeOf(path(folder + u'/' + name)), 0, 8);
        return modes;
    };
    const QStringList originalModes = modesIn(QStringLiteral("fav"));

    Failure error;
    QVERIFY2(CopyTree(path(QStringLiteral("fav")), path(QStringLiteral("backup/data")), &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(folderContents(path(QStringLiteral("backup/data"))), original);
    QCOMPARE(folderContents(path(QStringLiteral("fav"))), original);
    // Read-only files and folders stay read-only in the copy, whoever makes it.
    QCOMPARE(modesIn(QStringLiteral("backup/data")), originalModes);

    // A second backup over the first replaces the read-only copies too, and merges into the read-only folder.
    make(QStringLiteral("fav/sub/b.url"), "b2");
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro-sub")), 0755));
    make(QStringLiteral("fav/ro-sub/e.url"), "e");
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro-sub")), 0555));
    QVERIFY2(CopyTree(path(QStringLiteral("fav")), path(QStringLiteral("backup/data")), &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(folderContents(path(QStringLiteral("backup/data"))), folderContents(path(QStringLiteral("fav"))));
    QCOMPARE(modesIn(QStringLiteral("backup/data")), originalModes);
    // The temporary folder's own clean-up cannot empty read-only folders of a user who is not the superuser.
    QVERIFY(KillFolder(path(QStringLiteral("fav"))) && KillFolder(path(QStringLiteral("backup"))));
}

void TestFileOps::copyTreeMerges()
{
    make(QStringLiteral("src/same.url"), "new");
    make(QStringLiteral("src/only-src.url"), "s");
    make(QStringLiteral("src/sub/same.url"), "new-sub");
    make(QStringLiteral("dst/same.url"), "old");
    make(QStringLiteral("dst/only-dst.url"), "d");
    make(QStringLiteral("dst/sub/kept.url"), "k");
    make(QStringLiteral("dst/sub/same.url"), "old-sub");
    QVERIFY(testsupport::setMode(path(QStringLiteral("dst/same.url")), 0444));

    Failure error;
    QVERIFY2(CopyTree(path(QStringLiteral("src")), path(QStringLiteral("dst")), &error),
             qPrintable(ui::failureText(error)));
    const QMap<QString, QByteArray> expected{
        {QStringLiteral("same.url"), "new"},   {QStringLiteral("only-src.url"), "s"},
        {QStringLiteral("only-dst.url"), "d"}, {QStringLiteral("sub/"), ""},
        {QStringLiteral("sub/kept.url"), "k"}, {QStringLiteral("sub/same.url"), "new-sub"},
    };
    QCOMPARE(folderContents(path(QStringLiteral("dst"))), expected);
}

// Links are copied as links, whatever they lead to (a folder outside, the tree itself, nothing), and never
// followed; named pipes and sockets are never opened: left out and listed, and the rest is copied.
void TestFileOps::copyTreeKeepsLinksAndLeavesOutSpecialFiles()
{
#ifdef Q_OS_UNIX
    make(QStringLiteral("outside/big.url"), "o");
    make(QStringLiteral("fav/a.url"), "a");
    make(QStringLiteral("fav/sub/b.url"), "b");
    make(QStringLiteral("target.url"), "t");
    QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("fav/folder-link"))));
    QVERIFY(QFile::link(path(QStringLiteral("fav")), path(QStringLiteral("fav/loop"))));
    QVERIFY(QFile::link(path(QStringLiteral("target.url")), path(QStringLiteral("fav/file-link.url"))));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("fav/dangling"))));
    QVERIFY(::symlink("../a.url", QFile::encodeName(path(QStringLiteral("fav/sub/relative.url"))).constData()) == 0);
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("fav/pipe"))).constData(), 0644), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("fav/sub/pipe2"))).constData(), 0644), 0);
    QVERIFY(testsupport::makeSocketFile(path(QStringLiteral("fav/socket"))));
    QMap<QString, QByteArray> expected = folderContents(path(QStringLiteral("fav")));

    Failure error;
    LeftOut leftOut;
    QVERIFY2(CopyTree(path(QStringLiteral("fav")), path(QStringLiteral("backup")), &error, &leftOut),
             qPrintable(ui::failureText(error)));
    for (const char* special : {"pipe", "sub/pipe2", "socket"})
        QCOMPARE(expected.take(QString::fromLatin1(special)), QByteArray("<special>"));
    QCOMPARE(folderContents(path(QStringLiteral("backup"))), expected);
    QStringList pipes = leftOut.pipes;
    pipes.sort();
    QCOMPARE(pipes, QStringList({path(QStringLiteral("fav/pipe")), path(QStringLiteral("fav/sub/pipe2"))}));
    QCOMPARE(leftOut.sockets, QStringList{path(QStringLiteral("fav/socket"))});
    QVERIFY(leftOut.devices.isEmpty() && leftOut.links.isEmpty());
    QCOMPARE(readFile(path(QStringLiteral("backup/sub/relative.url"))), QByteArray("a"));
    QCOMPARE(readFile(path(QStringLiteral("outside/big.url"))), QByteArray("o"));
#else
    QSKIP("symbolic links and named pipes are made with the Unix tools here");
#endif
}

void TestFileOps::copyTreeFailures()
{
    Failure error;
    QVERIFY(!CopyTree(path(QStringLiteral("missing")), path(QStringLiteral("dst")), &error));
    QCOMPARE(error.kind, FileFailure::FolderMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("missing"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dst"))));

    make(QStringLiteral("src/a.url"), "a");
    make(QStringLiteral("file"), "f");
    error = Failure();
    QVERIFY(!CopyTree(path(QStringLiteral("src")), path(QStringLiteral("file")), &error));
    QCOMPARE(error.kind, FileFailure::NotAFolder);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("file"))));
    QCOMPARE(readFile(path(QStringLiteral("file"))), QByteArray("f"));

    // A file where the source has a folder stops the copy; what was copied before stays.
    make(QStringLiteral("src2/a.url"), "a");
    make(QStringLiteral("src2/sub/b.url"), "b");
    make(QStringLiteral("dst2/sub"), "a file");
    error = Failure();
    QVERIFY(!CopyTree(path(QStringLiteral("src2")), path(QStringLiteral("dst2")), &error));
    QCOMPARE(error.kind, FileFailure::NotAFolder);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("dst2/sub"))));
    QCOMPARE(readFile(path(QStringLiteral("dst2/sub"))), QByteArray("a file"));

    // A folder where the source has a file.
    make(QStringLiteral("src3/x.url"), "x");
    make(QStringLiteral("dst3/x.url/inner"), "i");
    error = Failure();
    QVERIFY(!CopyTree(path(QStringLiteral("src3")), path(QStringLiteral("dst3")), &error));
    QCOMPARE(error.kind, FileFailure::FolderInTheWay);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("dst3/x.url"))));
    QCOMPARE(readFile(path(QStringLiteral("dst3/x.url/inner"))), QByteArray("i"));
}

void TestFileOps::copyTreeIntoItselfRefused()
{
    make(QStringLiteral("fav/a.url"), "a");
    const QMap<QString, QByteArray> original = folderContents(path(QStringLiteral("fav")));
    Failure error;
    QVERIFY(!CopyTree(path(QStringLiteral("fav")), path(QStringLiteral("fav/data")), &error));
    QCOMPARE(error.kind, FileFailure::DestinationInsideSource);
    QCOMPARE(error.otherPath, QDir::toNativeSeparators(path(QStringLiteral("fav"))));
    QVERIFY(!CopyTree(path(QStringLiteral("fav")), path(QStringLiteral("fav/./x/../")), &error));
    QVERIFY(!CopyTree(path(QStringLiteral("fav")), path(QStringLiteral("fav")), &error));
    QCOMPARE(folderContents(path(QStringLiteral("fav"))), original);
}

void TestFileOps::reportsFailureInLockedFolder()
{
    if (!testsupport::permissionsEnforced(m_dir->path()))
        QSKIP("folder permissions are not enforced for this user");
    make(QStringLiteral("locked/a.url"), "a");
    make(QStringLiteral("src/a.url"), "new");
    QVERIFY(testsupport::setMode(path(QStringLiteral("locked")), 0555));

    Failure killError;
    const bool killed = KillFile(path(QStringLiteral("locked/a.url")), &killError);
    Failure allError;
    const bool allKilled = KillFile(path(QStringLiteral("locked/*.*")), &allError);
    Failure copyError;
    const bool copied = CopyOne(path(QStringLiteral("src/a.url")), path(QStringLiteral("locked/b.url")), &copyError);
    Failure treeError;
    const bool merged = CopyTree(path(QStringLiteral("src")), path(QStringLiteral("locked")), &treeError);
    testsupport::setMode(path(QStringLiteral("locked")), 0755);

    QVERIFY(!killed);
    // The system's reason comes with each: the folder refuses the user.
    QCOMPARE(killError.kind, FileFailure::DeleteFailed);
    QCOMPARE(killError.path, QDir::toNativeSeparators(path(QStringLiteral("locked/a.url"))));
    QCOMPARE(killError.system.reason, platform::SystemReason::AccessDenied);
    QVERIFY(!allKilled);
    QCOMPARE(allError.kind, FileFailure::DeleteFailed);
    QCOMPARE(allError.path, QDir::toNativeSeparators(path(QStringLiteral("locked/a.url"))));
    QVERIFY(!copied);
    QCOMPARE(copyError.kind, FileFailure::CopyFailed);
    QCOMPARE(copyError.otherPath, QDir::toNativeSeparators(path(QStringLiteral("locked/b.url"))));
    QCOMPARE(copyError.system.reason, platform::SystemReason::AccessDenied);
    QVERIFY(!merged);
    QVERIFY(treeError.failed());
    QCOMPARE(entriesOf(path(QStringLiteral("locked"))), QStringList{QStringLiteral("a.url")});
    QCOMPARE(readFile(path(QStringLiteral("locked/a.url"))), QByteArray("a"));
}

void TestFileOps::relativePathsNotDeleted()
{
    // Paths built from an empty folder name; if they were obeyed, only the temporary folder is at stake here.
    make(QStringLiteral("a.url"), "a");
    make(QStringLiteral("sub/b.url"), "b");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    Failure fileError;
    const bool allKilled = KillFile(QStringLiteral("*.*"), &fileError);
    const bool killed = KillFile(QStringLiteral("a.url"));
    Failure folderError;
    const bool folderKilled = KillFolder(QStringLiteral("sub"), &folderError);
    QVERIFY(QDir::setCurrent(previous));

    QVERIFY(!allKilled);
    QCOMPARE(fileError.kind, FileFailure::RelativePath);
    QVERIFY(!killed);
    QVERIFY(!folderKilled);
    QCOMPARE(folderError.kind, FileFailure::RelativePath);
    QCOMPARE(folderError.path, QStringLiteral("sub"));
    QCOMPARE(readFile(path(QStringLiteral("a.url"))), QByteArray("a"));
    QCOMPARE(readFile(path(QStringLiteral("sub/b.url"))), QByteArray("b"));
}

QTEST_GUILESS_MAIN(TestFileOps)
#include "tst_fileops.moc"
