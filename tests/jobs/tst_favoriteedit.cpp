#include <memory>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "favorites/Enumeration.h"
#include "favorites/ShortcutFile.h"
#include "jobs/FavoriteEdit.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "support/WindowFixture.h"
#include "table/Loader.h"
#include "ui/FailureText.h"
#include "ui/LinkTableModel.h"

using testsupport::folderContents;
using testsupport::readFile;
using testsupport::writeFile;
using ui::LinkTableModel;

namespace
{

// A shortcut file with more in it than the address, to see that an edit keeps the rest.
QByteArray richShortcut(const QString& address)
{
    return QByteArray("[DEFAULT]\r\nBASEURL=") + address.toUtf8() + QByteArray("\r\n[InternetShortcut]\r\nURL=") +
           address.toUtf8() + QByteArray("\r\nIconIndex=1\r\nHotKey=0\r\n[Extra]\r\nKeep=this\r\n");
}

} // namespace

class FavoriteEditTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void applyPaths_data();
    void applyPaths();
    void caseOnlyRenameIsAMove();
    void rowsOutsideTheTableAreRefused();
    void favoriteGoneSinceTheLoadIsNotMadeAgain();
    void addressThatCannotBeStoredChangesNothing();
    void movedFavoriteIsFoundAtTheNextLoad();
    void onlyShortcutFilesAreEdited_data();
    void onlyShortcutFilesAreEdited();
    void extensionKeepsItsCase();

private:
    int rowOf(const QString& relativePath) const;
    QStringList rowCells(int row) const;

    void load();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_fav;
    jobs::AppState m_state;
    std::unique_ptr<LinkTableModel> m_model;
};

void FavoriteEditTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fav = platform::joinPath(m_dir->path(), "Favorites");
    QVERIFY(writeFile(m_fav + "/a.url", richShortcut("http://a.test/")));
    QVERIFY(writeFile(m_fav + "/Sub/b.url", richShortcut("http://b.test/")));
    QVERIFY(QDir().mkpath(m_fav + "/Sub/Deep"));
    QVERIFY(QDir().mkpath(m_fav + "/Other"));
    QVERIFY(QDir().mkpath(m_dir->path() + "/x"));
    QVERIFY(writeFile(m_dir->path() + "/Outside/keep.txt", "outside"));

    load();
    QCOMPARE(m_state.catalogue.fileCount, 2);
}

// Collects the files and loads the table afresh, with a check result and a history on every row.
void FavoriteEditTest::load()
{
    m_state.catalogue = favorites::Catalogue();
    m_state.table.load({});
    m_state.programFolder.clear();
    m_state.catalogue.favPath = m_fav;
    favorites::ListFolders(m_state.catalogue, m_fav);
    favorites::collectFiles(m_state.catalogue);
    m_model = std::make_unique<LinkTableModel>(m_state.table);
    table::loadTable(m_state.catalogue, m_state.table, m_dir->filePath("data.txt"));
    // A check result and a history, which an edit never touches.
    testsupport::setAllStates(m_state.table, table::Verdict::Alive);
    m_state.table.setHistories(
        QVector<table::History>(m_state.table.rowCount(), testsupport::savedChecks({"NO", "YES", "", ""})));
}

int FavoriteEditTest::rowOf(const QString& relativePath) const
{
    for (int i = 1; i <= m_state.table.rowCount(); ++i) {
        if (m_state.table.fullPath(i) == platform::joinPath(m_fav, relativePath))
            return i;
    }
    return 0;
}

QStringList FavoriteEditTest::rowCells(int row) const
{
    QStringList cells;
    for (int c = 0; c < LinkTableModel::ColumnCount; ++c)
        cells.append(m_model->cell(row, c));
    return cells;
}

void FavoriteEditTest::applyPaths_data()
{
    QTest::addColumn<QString>("file");   // the favorite edited, relative to the Favorites folder
    QTest::addColumn<QString>("folder"); // as typed ("/" stands for the separator)
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<QString>("result");  // where the favorite is afterwards
    QTest::addColumn<bool>("newAddress"); // whether it holds the new address
    // How a refusal is reported (None when applied).
    QTest::addColumn<platform::FailureKind>("refusal");

    QTest::newRow("address only") << "a.url"
                                  << ""
                                  << "a" << true << "a.url" << true << platform::FailureKind();
    QTest::newRow("address only in a folder") << "Sub/b.url"
                                              << "/Sub"
                                              << "b" << true << "Sub/b.url" << true << platform::FailureKind();
    QTest::newRow("move to the Favorites root") << "Sub/b.url"
                                                << ""
                                                << "b" << true << "b.url" << true << platform::FailureKind();
    QTest::newRow("move deeper") << "a.url"
                                 << "/Sub/Deep"
                                 << "a" << true << "Sub/Deep/a.url" << true << platform::FailureKind();
    QTest::newRow("rename") << "a.url"
                            << ""
                            << "renamed" << true << "renamed.url" << true << platform::FailureKind();
    QTest::newRow("rename and move") << "Sub/b.url"
                                     << "/Other"
                                     << "新名字" << true << "Other/新名字.url" << true << platform::FailureKind();
    QTest::newRow("name typed with its extension") << "a.url"
                                                   << ""
                                                   << "a.url" << true << "a.url.url" << true << platform::FailureKind();
    // Refused with a message of its own, not the hidden-file one.
    QTest::newRow("empty name") << "Sub/b.url"
                                << "/Sub"
                                << "" << false << "Sub/b.url" << false
                                << platform::FailureKind(jobs::EditFailure::NameEmpty);
    // A favorite of that name in the target folder: refused before the new address is written anywhere.
    QTest::newRow("name taken") << "a.url"
                                << "/Sub"
                                << "b" << false << "a.url" << false
                                << platform::FailureKind(platform::FileFailure::AlreadyExists);
    // The copy fails: it is the first write, so nothing changed.
    QTest::newRow("name too long") << "a.url"
                                   << "" << QString(300, 'n') << false << "a.url" << false
                                   << platform::FailureKind(platform::FileFailure::CopyFailed);
    // The same folder written differently is the same folder: only the address changes.
    QTest::newRow("folder with a trailing separator") << "Sub/b.url"
                                                      << "/Sub/"
                                                      << "b" << true << "Sub/b.url" << true << platform::FailureKind();
    QTest::newRow("folder with a doubled separator") << "Sub/b.url"
                                                     << "//Sub"
                                                     << "b" << true << "Sub/b.url" << true << platform::FailureKind();
    QTest::newRow("folder through dots to itself") << "Sub/b.url"
                                                   << "/Sub/../Sub"
                                                   << "b" << true << "Sub/b.url" << true << platform::FailureKind();
    // Refused before anything is touched.
    QTest::newRow("folder missing") << "a.url"
                                    << "/Nope"
                                    << "a" << false << "a.url" << false
                                    << platform::FailureKind(jobs::EditFailure::TargetFolderMissing);
    QTest::newRow("folder without leading separator")
        << "a.url"
        << "Sub"
        << "a" << false << "a.url" << false << platform::FailureKind(jobs::EditFailure::FolderNeedsSeparator);
    QTest::newRow("folder outside the Favorites")
        << "a.url"
        << "/../x"
        << "a" << false << "a.url" << false << platform::FailureKind(jobs::EditFailure::TargetFolderOutside);
    QTest::newRow("folder outside, existing")
        << "a.url"
        << "/../Outside"
        << "a" << false << "a.url" << false << platform::FailureKind(jobs::EditFailure::TargetFolderOutside);
    QTest::newRow("name with a separator")
        << "a.url"
        << ""
        << "../../Outside/a" << false << "a.url" << false << platform::FailureKind(jobs::EditFailure::NameNotAllowed);
    QTest::newRow("name into a subfolder")
        << "a.url"
        << ""
        << "Sub/a" << false << "a.url" << false << platform::FailureKind(jobs::EditFailure::NameNotAllowed);
    QTest::newRow("name dot dot") << "Sub/b.url"
                                  << "/Sub"
                                  << ".." << false << "Sub/b.url" << false
                                  << platform::FailureKind(jobs::EditFailure::NameNotAllowed);
    // What a Windows file name cannot hold, and what the results file cannot store, on every platform.
    for (const char* name : {"a|b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a\\b", "line\nbreak", "tab\tin"})
        QTest::addRow("name %s", name) << "a.url"
                                       << "" << QString::fromLatin1(name) << false << "a.url" << false
                                       << platform::FailureKind(jobs::EditFailure::NameNotAllowed);
}

void FavoriteEditTest::applyPaths()
{
    QFETCH(QString, file);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(bool, applied);
    QFETCH(QString, result);
    QFETCH(bool, newAddress);
    QFETCH(platform::FailureKind, refusal);
    const QString s = platform::separator();
    folder.replace("/", s);
    const int row = rowOf(file);
    QVERIFY(row > 0);
    const QByteArray oldBytes = readFile(m_fav + "/" + file);
    const QString oldAddress = m_state.table.rowUrl(row);
    const QString oldFolder = m_state.table.rowFolder(row);
    const QString oldName = m_state.table.fileName(row);
    const QStringList oldCells = rowCells(row);
    QMap<QString, QByteArray> outside = folderContents(m_dir->path());
    const QString address = "http://changed.test/?q=1";

    platform::Failure error;
    const bool ok = jobs::applyFavoriteEdit(m_state, row, {folder, name, address}, &error);
    QCOMPARE(ok, applied);
    QCOMPARE(error.kind, refusal);

    // On disk: the favorite is at one place, holding the address it should, every other byte kept.
    const QByteArray expectedBytes =
        newAddress ? QByteArray(oldBytes).replace("\r\nURL=" + oldAddress.toUtf8(), "\r\nURL=" + address.toUtf8())
                   : oldBytes;
    QVERIFY(expectedBytes.contains(newAddress ? address.toUtf8() : oldAddress.toUtf8()));
    QCOMPARE(readFile(m_fav + "/" + result), expectedBytes);
    if (result != file)
        QVERIFY(!QFileInfo::exists(m_fav + "/" + file));
    outside.remove(QDir(m_dir->path()).relativeFilePath(m_fav + "/" + file));
    QMap<QString, QByteArray> now = folderContents(m_dir->path());
    now.remove(QDir(m_dir->path()).relativeFilePath(m_fav + "/" + result));
    QCOMPARE(now, outside); // nothing else appeared, vanished or changed

    // In memory and in the grid: what is on disk; the result and history are untouched.
    QCOMPARE(m_state.table.fullPath(row), platform::joinPath(m_fav, result.replace("/", s)));
    QCOMPARE(m_state.table.rowUrl(row), newAddress ? address : oldAddress);
    QCOMPARE(m_state.table.verdict(row), table::Verdict::Alive);
    QCOMPARE(m_state.table.history(row), (testsupport::savedChecks({"NO", "YES", "", ""})));
    const QStringList cells = rowCells(row);
    QCOMPARE(cells.mid(3), oldCells.mid(3));
    QCOMPARE(cells.at(LinkTableModel::AddressColumn), m_state.table.rowUrl(row));
    if (applied) {
        // The row names the folder the favorite is now in, however the folder was typed.
        const QString where = QFileInfo(result).path();
        const QString shownFolder = where == "." ? QString() : s + QString(where).replace("/", s);
        QCOMPARE(m_state.table.rowFolder(row), shownFolder);
        QCOMPARE(cells.at(LinkTableModel::FolderColumn), shownFolder);
        QCOMPARE(cells.at(LinkTableModel::NameColumn), name);
    } else {
        QCOMPARE(m_state.table.rowFolder(row), oldFolder);
        QCOMPARE(m_state.table.fileName(row), oldName);
        QCOMPARE(cells.mid(0, 2), oldCells.mid(0, 2));
    }
}

void FavoriteEditTest::caseOnlyRenameIsAMove()
{
    if (QFileInfo::exists(m_fav + "/A.url"))
        QSKIP("The temporary folder ignores letter case; the copy would meet the file itself.");
    const int row = rowOf("a.url");
    QVERIFY(jobs::applyFavoriteEdit(m_state, row, {"", "A", "http://a.test/"}));
    QVERIFY(QFileInfo::exists(m_fav + "/A.url"));
    QVERIFY(!QDir(m_fav).entryList(QDir::Files).contains("a.url"));
    QCOMPARE(m_model->cell(row, LinkTableModel::NameColumn), QString("A"));
}

void FavoriteEditTest::rowsOutsideTheTableAreRefused()
{
    const QMap<QString, QByteArray> disk = folderContents(m_dir->path());
    for (int row : {-1, 0, 3, 100}) {
        platform::Failure error;
        QVERIFY(!jobs::applyFavoriteEdit(m_state, row, {"", "z", "http://z/"}, &error));
        QVERIFY(error.failed());
    }
    QCOMPARE(folderContents(m_dir->path()), disk);
    QCOMPARE(m_model->dataRowCount(), 2);
}

// Deleted by hand since the load: the edit says so and makes no new file, whether it would move the favorite or not.
void FavoriteEditTest::favoriteGoneSinceTheLoadIsNotMadeAgain()
{
    const int row = rowOf("a.url");
    QVERIFY(QFile::remove(m_fav + "/a.url"));
    const QMap<QString, QByteArray> disk = folderContents(m_dir->path());
    const QStringList cells = rowCells(row);
    for (const jobs::FavoriteEdit& edit :
         {jobs::FavoriteEdit{"", "a", "http://new/"}, jobs::FavoriteEdit{"/Sub", "moved", "http://new/"}}) {
        platform::Failure error;
        QVERIFY(!jobs::applyFavoriteEdit(m_state, row, edit, &error));
        QCOMPARE(error.kind, platform::FileFailure::FileMissing);
        QCOMPARE(error.path, QDir::toNativeSeparators(m_fav + "/a.url"));
    }
    QCOMPARE(folderContents(m_dir->path()), disk);
    QCOMPARE(rowCells(row), cells);
}

void FavoriteEditTest::addressThatCannotBeStoredChangesNothing()
{
    const int row = rowOf("a.url");
    const QMap<QString, QByteArray> disk = folderContents(m_dir->path());
    const QStringList cells = rowCells(row);
    platform::Failure error;
    // A line break would end the entry and start a section of its own in the file.
    QVERIFY(!jobs::applyFavoriteEdit(m_state, row, {"", "moved", "http://x.test/\r\n[Evil]\r\nURL=y"}, &error));
    QVERIFY(error.failed());
    QCOMPARE(folderContents(m_dir->path()), disk);
    QCOMPARE(rowCells(row), cells);
    QCOMPARE(m_state.table.rowUrl(row), QString("http://a.test/"));
    QCOMPARE(m_state.table.fileName(row), QString("a.url"));
}

void FavoriteEditTest::movedFavoriteIsFoundAtTheNextLoad()
{
    const int row = rowOf("Sub/b.url");
    QVERIFY(jobs::applyFavoriteEdit(m_state, row, {platform::separator() + QString("Other"), "c", "http://c.test/"}));
    favorites::collectFiles(m_state.catalogue);
    LinkTableModel reloaded(m_state.table);
    table::loadTable(m_state.catalogue, m_state.table, m_dir->filePath("data.txt"));
    const QString s = platform::separator();
    QStringList shown;
    for (int r = 1; r <= reloaded.dataRowCount(); ++r)
        shown << reloaded.cell(r, 0) + "|" + reloaded.cell(r, 1) + "|" + reloaded.cell(r, 2);
    QCOMPARE(shown, QStringList({"|a|http://a.test/", s + "Other|c|http://c.test/"}));
}

void FavoriteEditTest::onlyShortcutFilesAreEdited_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name"); // as typed; the name shown unchanged is the file name without 4 characters
    QTest::addColumn<QString>("address");
    // Every file of the tree is a row; "修改" pressed without a change must not make it a shortcut file.
    QTest::newRow("desktop.ini unchanged") << "desktop.ini"
                                           << "deskto"
                                           << "";
    QTest::newRow("说明.txt unchanged") << "说明.txt"
                                        << "说明"
                                        << "";
    QTest::newRow("说明.txt with an address") << "说明.txt"
                                              << "说明"
                                              << "http://x.test/";
    QTest::newRow("说明.txt renamed") << "说明.txt"
                                      << "readme"
                                      << "";
    QTest::newRow("no extension") << "Sub/notes"
                                  << "n"
                                  << "http://x.test/";
}

void FavoriteEditTest::onlyShortcutFilesAreEdited()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QVERIFY(writeFile(m_fav + "/" + file, "[.ShellClassInfo]\r\nIconIndex=3\r\n"));
    load();
    const int row = rowOf(file);
    QVERIFY(row > 0);
    const QString folder = m_state.table.rowFolder(row);
    const QMap<QString, QByteArray> disk = folderContents(m_dir->path());
    const QStringList cells = rowCells(row);

    platform::Failure error;
    QVERIFY(!jobs::applyFavoriteEdit(m_state, row, {folder, name, address}, &error));
    QCOMPARE(error.kind, jobs::EditFailure::NotAShortcut);
    QCOMPARE(error.path, QDir::toNativeSeparators(m_fav + "/" + file));
    QCOMPARE(folderContents(m_dir->path()), disk);
    QCOMPARE(rowCells(row), cells);
    QCOMPARE(m_state.table.fileName(row), QFileInfo(file).fileName());
}

// The extension stays as the file writes it: an unchanged upper-case shortcut keeps its name (on a file system
// that ignores case, ".url" would meet the file itself and be refused), and a new name takes the same extension.
void FavoriteEditTest::extensionKeepsItsCase()
{
    QVERIFY(writeFile(m_fav + "/NEWS.URL", richShortcut("http://news.test/")));
    load();
    const int row = rowOf("NEWS.URL");
    QVERIFY(row > 0);
    platform::Failure error;
    QVERIFY2(jobs::applyFavoriteEdit(m_state, row, {"", "NEWS", "http://news.test/new"}, &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(QDir(m_fav).entryList({"news*"}, QDir::Files), QStringList{"NEWS.URL"});
    QCOMPARE(favorites::GetUrl(m_fav + "/NEWS.URL"), QString("http://news.test/new"));

    QVERIFY2(jobs::applyFavoriteEdit(m_state, row, {"", "Daily", "http://news.test/new"}, &error),
             qPrintable(ui::failureText(error)));
    QCOMPARE(QDir(m_fav).entryList({"news*", "daily*"}, QDir::Files), QStringList{"Daily.URL"});
    QCOMPARE(m_state.table.fileName(row), QString("Daily.URL"));
    QCOMPARE(m_model->cell(row, LinkTableModel::NameColumn), QString("Daily"));
}

QTEST_MAIN(FavoriteEditTest)
#include "tst_favoriteedit.moc"
