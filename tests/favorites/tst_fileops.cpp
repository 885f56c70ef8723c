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

    void removeTreeOnNothingOrFile();
    void removeTreeDeletesReadOnlyNestedTree();
    void removeTreeLeavesLinkTargets();
    void deleteOneFileTakesPatternsAsNames_data();
    void deleteOneFileTakesPatternsAsNames();
    void deleteOneFileReadOnly();
    void deleteOneFileFailures();
    void copyOne();
    void copyOneNeverReplaces();
    void copyOneFailures();
    void copyFolderContentsKeepsModes();
    void copyFolderContentsMerges();
    void copyFolderContentsKeepsLinksAndLeavesOutSpecialFiles();
    void copyFolderContentsFailures();
    void reportsFailureInLockedFolder();
    void relativePathsNotDeleted();

private:
    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    void make(const QString& relative, const QByteArray& bytes = "x") { QVERIFY(writeFile(path(relative), bytes)); }
    void makeFolder(const QString& relative) { QVERIFY(QDir().mkpath(path(relative))); }
    platform::NativePath native(const QString& relative) const { return platform::toNativePath(path(relative)); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFileOps::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFileOps::removeTreeOnNothingOrFile()
{
    Failure error;
    QVERIFY(removeTree(native(QStringLiteral("nothing")), &error));
    QVERIFY(!error.failed());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("nothing"))));

    make(QStringLiteral("file"), "gone");
    make(QStringLiteral("file2"), "keep");
    QVERIFY(removeTree(native(QStringLiteral("file")), &error));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{QStringLiteral("file2")});
}

void TestFileOps::removeTreeDeletesReadOnlyNestedTree()
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
    QVERIFY2(removeTree(native(QStringLiteral("fav")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("fav"))));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{QStringLiteral("other")});
    QCOMPARE(readFile(path(QStringLiteral("other/keep.url"))), QByteArray("keep"));
}

void TestFileOps::removeTreeLeavesLinkTargets()
{
#ifdef Q_OS_UNIX
    make(QStringLiteral("target/t.url"), "t");
    make(QStringLiteral("target-file"), "f");
    makeFolder(QStringLiteral("fav"));
    QVERIFY(QFile::link(path(QStringLiteral("target")), path(QStringLiteral("fav/linked"))));
    QVERIFY(QFile::link(path(QStringLiteral("target-file")), path(QStringLiteral("fav/linked-file"))));
    QVERIFY(QFile::link(path(QStringLiteral("target")), path(QStringLiteral("top-link"))));

    Failure error;
    QVERIFY2(removeTree(native(QStringLiteral("fav")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("fav"))));
    QVERIFY2(removeTree(native(QStringLiteral("top-link")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo(path(QStringLiteral("top-link"))).isSymLink());

    QCOMPARE(readFile(path(QStringLiteral("target/t.url"))), QByteArray("t"));
    QCOMPARE(readFile(path(QStringLiteral("target-file"))), QByteArray("f"));
#else
    QSKIP("symbolic links are made with the Unix tools here");
#endif
}

void TestFileOps::deleteOneFileTakesPatternsAsNames_data()
{
    QTest::addColumn<QString>("victim");
    QTest::newRow("*.*") << QStringLiteral("*.*");
    QTest::newRow("lone star") << QStringLiteral("*");
    QTest::newRow("star") << QStringLiteral("a*b.url");
    QTest::newRow("question mark") << QStringLiteral("a?b.url");
    QTest::newRow("star extension") << QStringLiteral("*.url");
    QTest::newRow("star name") << QStringLiteral("a.*");
    QTest::newRow("plain") << QStringLiteral("a.url");
}

// A favorite that is really called "*.*" is one file to delete, not every file beside it.
void TestFileOps::deleteOneFileTakesPatternsAsNames()
{
    QFETCH(QString, victim);
    const QStringList names{QStringLiteral("*.*"),     QStringLiteral("*"),       QStringLiteral("a*b.url"),
                            QStringLiteral("a?b.url"), QStringLiteral("aXb.url"), QStringLiteral("*.url"),
                            QStringLiteral("a.*"),     QStringLiteral("a.url"),   QStringLiteral("b")};
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

void TestFileOps::deleteOneFileReadOnly()
{
    make(QStringLiteral("ro.url"));
    QVERIFY(testsupport::setMode(path(QStringLiteral("ro.url")), 0444));
    Failure error;
    QVERIFY2(deleteOneFile(path(QStringLiteral("ro.url")), &error), qPrintable(ui::failureText(error)));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("ro.url"))));
}

void TestFileOps::deleteOneFileFailures()
{
    Failure error;
    QVERIFY(!deleteOneFile(path(QStringLiteral("missing.url")), &error));
    QCOMPARE(error.kind, FileFailure::FileMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("missing.url"))));

    make(QStringLiteral("folder/inside.url"));
    error = Failure();
    QVERIFY(!deleteOneFile(path(QStringLiteral("folder")), &error));
    QCOMPARE(error.kind, FileFailure::IsAFolder);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("folder"))));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("folder/inside.url"))));
}

void TestFileOps::copyOne()
{
    make(QStringLiteral("old/news.url"), "content");
    make(QStringLiteral("old/read-only.url"), "kept");
    QVERIFY(testsupport::setMode(path(QStringLiteral("old/news.url")), 0640));
    QVERIFY(testsupport::setMode(path(QStringLiteral("old/read-only.url")), 0444));
    makeFolder(QStringLiteral("new"));
    Failure error;
    QVERIFY2(CopyOne(path(QStringLiteral("old/news.url")), path(QStringLiteral("new/renamed.url")), &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(path(QStringLiteral("new/renamed.url"))), QByteArray("content"));
    QCOMPARE(readFile(path(QStringLiteral("old/news.url"))), QByteArray("content"));
    // The copy keeps the mode, whoever makes it: to the superuser every file looks writable.
    QVERIFY2(CopyOne(path(QStringLiteral("old/read-only.url")), path(QStringLiteral("new/read-only.url")), &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(path(QStringLiteral("new/read-only.url"))), QByteArray("kept"));
    QCOMPARE(testsupport::modeOf(path(QStringLiteral("new/renamed.url"))), 0640);
    QCOMPARE(testsupport::modeOf(path(QStringLiteral("new/read-only.url"))), 0444);
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

void TestFileOps::copyFolderContentsKeepsModes()
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
    makeFolder(QStringLiteral("backup"));
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
    QVERIFY2(copyFolderContents(native(QStringLiteral("fav")), native(QStringLiteral("backup")), &error, nullptr),
             qPrintable(ui::failureText(error)));
    QCOMPARE(folderContents(path(QStringLiteral("backup"))), original);
    QCOMPARE(folderContents(path(QStringLiteral("fav"))), original);
    // Read-only files and folders stay read-only in the copy, whoever makes it.
    QCOMPARE(modesIn(QStringLiteral("backup")), originalModes);

    // A second copy over the first replaces the read-only copies too, and merges into the read-only folder.
    make(QStringLiteral("fav/sub/b.url"), "b2");
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro-sub")), 0755));
    make(QStringLiteral("fav/ro-sub/e.url"), "e");
    QVERIFY(testsupport::setMode(path(QStringLiteral("fav/ro-sub")), 0555));
    QVERIFY2(copyFolderContents(native(QStringLiteral("fav")), native(QStringLiteral("backup")), &error, nullptr),
             qPrintable(ui::failureText(error)));
    QCOMPARE(folderContents(path(QStringLiteral("backup"))), folderContents(path(QStringLiteral("fav"))));
    QCOMPARE(modesIn(QStringLiteral("backup")), originalModes);
    // The temporary folder's own clean-up cannot empty read-only folders of a user who is not the superuser.
    QVERIFY(removeTree(native(QStringLiteral("fav"))) && removeTree(native(QStringLiteral("backup"))));
}

void TestFileOps::copyFolderContentsMerges()
{
    make(QStringLiteral("src/same.url"), "new");
    make(QStringLiteral("src/only-src.url"), "s");
    make(QStringLiteral("src/sub/same.url"), "new-sub");
    make(QStringLiteral("src/skipped.url"), "x");
    make(QStringLiteral("dst/same.url"), "old");
    make(QStringLiteral("dst/only-dst.url"), "d");
    make(QStringLiteral("dst/sub/kept.url"), "k");
    make(QStringLiteral("dst/sub/same.url"), "old-sub");
    QVERIFY(testsupport::setMode(path(QStringLiteral("dst/same.url")), 0444));

    Failure error;
    const auto skip = [](const platform::NativePath& name) { return name == platform::NativePath("skipped.url"); };
    QVERIFY2(copyFolderContents(native(QStringLiteral("src")), native(QStringLiteral("dst")), &error, nullptr, skip),
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
void TestFileOps::copyFolderContentsKeepsLinksAndLeavesOutSpecialFiles()
{
#ifdef Q_OS_UNIX
    make(QStringLiteral("outside/big.url"), "o");
    make(QStringLiteral("fav/a.url"), "a");
    make(QStringLiteral("fav/sub/b.url"), "b");
    make(QStringLiteral("target.url"), "t");
    makeFolder(QStringLiteral("backup"));
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
    QVERIFY2(copyFolderContents(native(QStringLiteral("fav")), native(QStringLiteral("backup")), &error, &leftOut),
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

void TestFileOps::copyFolderContentsFailures()
{
    makeFolder(QStringLiteral("dst"));
    Failure error;
    QVERIFY(!copyFolderContents(native(QStringLiteral("missing")), native(QStringLiteral("dst")), &error, nullptr));
    QCOMPARE(error.kind, FileFailure::FolderUnreadable);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("missing"))));
    QCOMPARE(error.system.reason, platform::SystemReason::NotFound);
    QVERIFY(entriesOf(path(QStringLiteral("dst"))).isEmpty());

    // A file where the source has a folder stops the copy; what was copied before stays.
    make(QStringLiteral("src2/a.url"), "a");
    make(QStringLiteral("src2/sub/b.url"), "b");
    make(QStringLiteral("dst2/sub"), "a file");
    error = Failure();
    QVERIFY(!copyFolderContents(native(QStringLiteral("src2")), native(QStringLiteral("dst2")), &error, nullptr));
    QCOMPARE(error.kind, FileFailure::NotAFolder);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("dst2/sub"))));
    QCOMPARE(readFile(path(QStringLiteral("dst2/sub"))), QByteArray("a file"));

    // A folder where the source has a file.
    make(QStringLiteral("src3/x.url"), "x");
    make(QStringLiteral("dst3/x.url/inner"), "i");
    error = Failure();
    QVERIFY(!copyFolderContents(native(QStringLiteral("src3")), native(QStringLiteral("dst3")), &error, nullptr));
    QCOMPARE(error.kind, FileFailure::FolderInTheWay);
    QCOMPARE(error.path, QDir::toNativeSeparators(path(QStringLiteral("dst3/x.url"))));
    QCOMPARE(readFile(path(QStringLiteral("dst3/x.url/inner"))), QByteArray("i"));
}

void TestFileOps::reportsFailureInLockedFolder()
{
    if (!testsupport::permissionsEnforced(m_dir->path()))
        QSKIP("folder permissions are not enforced for this user");
    make(QStringLiteral("locked/a.url"), "a");
    make(QStringLiteral("src/a.url"), "new");
    QVERIFY(testsupport::setMode(path(QStringLiteral("locked")), 0555));

    Failure killError;
    const bool killed = deleteOneFile(path(QStringLiteral("locked/a.url")), &killError);
    Failure copyError;
    const bool copied = CopyOne(path(QStringLiteral("src/a.url")), path(QStringLiteral("locked/b.url")), &copyError);
    Failure treeError;
    const bool merged =
        copyFolderContents(native(QStringLiteral("src")), native(QStringLiteral("locked")), &treeError, nullptr);
    testsupport::setMode(path(QStringLiteral("locked")), 0755);

    QVERIFY(!killed);
    // The system's reason comes with each: the folder refuses the user.
    QCOMPARE(killError.kind, FileFailure::DeleteFailed);
    QCOMPARE(killError.path, QDir::toNativeSeparators(path(QStringLiteral("locked/a.url"))));
    QCOMPARE(killError.system.reason, platform::SystemReason::AccessDenied);
    QVERIFY(!copied);
    QCOMPARE(copyError.kind, FileFailure::CopyFailed);
    QCOMPARE(copyError.otherPath, QDir::toNativeSeparators(path(QStringLiteral("locked/b.url"))));
    QCOMPARE(copyError.system.reason, platform::SystemReason::AccessDenied);
    QVERIFY(!merged);
    QCOMPARE(treeError.kind, FileFailure::CopyFailed);
    QCOMPARE(treeError.system.reason, platform::SystemReason::AccessDenied);
    QCOMPARE(entriesOf(path(QStringLiteral("locked"))), QStringList{QStringLiteral("a.url")});
    QCOMPARE(readFile(path(QStringLiteral("locked/a.url"))), QByteArray("a"));
}

void TestFileOps::relativePathsNotDeleted()
{
    // Paths built from an empty folder name; if they were obeyed, only the temporary folder is at stake here.
    make(QStringLiteral("a.url"), "a");
    make(QStringLiteral("*.*"), "star");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    Failure error;
    const bool killed = deleteOneFile(QStringLiteral("a.url"), &error);
    const bool starKilled = deleteOneFile(QStringLiteral("*.*"));
    QVERIFY(QDir::setCurrent(previous));

    QVERIFY(!killed);
    QCOMPARE(error.kind, FileFailure::RelativePath);
    QCOMPARE(error.path, QStringLiteral("a.url"));
    QVERIFY(!starKilled);
    QCOMPARE(readFile(path(QStringLiteral("a.url"))), QByteArray("a"));
    QCOMPARE(readFile(path(QStringLiteral("*.*"))), QByteArray("star"));
}

QTEST_GUILESS_MAIN(TestFileOps)
#include "tst_fileops.moc"
