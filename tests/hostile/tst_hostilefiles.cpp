// Hostile shortcut files, file and folder names, folders that cannot be read and damaged results files,
// each placed among ordinary favorites with a saved history. Every case runs the real enumeration, load,
// save and reload (and, where it matters, delete, backup, restore and edit), and checks both the hostile
// item's own outcome and that every ordinary favorite, its file and its history come through untouched.

#include <memory>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "favorites/Enumeration.h"
#include "favorites/Backup.h"
#include "favorites/DeleteFavorites.h"
#include "favorites/Maintenance.h"
#include "favorites/Restore.h"
#include "favorites/ShortcutFile.h"
#include "jobs/AppState.h"
#include "jobs/FavoriteEdit.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/ChildRun.h"
#include "support/FileModes.h"
#include "support/TempFavorites.h"
#include "support/TreeSnapshot.h"
#include "support/Unprivileged.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
#include "table/Rules.h"
#include "ui/FailureText.h"
#include "ui/LinkTableModel.h"

using table::History;
using testsupport::readFile;
using testsupport::shortcutBytes;
using testsupport::writeFile;
using ui::LinkTableModel;

namespace
{

struct Favorite
{
    QString folder; // relative to the Favorites folder: "" or "/Links"
    QString name;
    QString address;
    History history;        // as saved before the test; all empty when it has no line
    table::Verdict verdict; // the verdict it gets before the save
};

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QByteArray utf16Le(const QString& text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

History folded(History history, table::Verdict verdict)
{
    history.fold(verdict);
    return history;
}

QByteArray resultsLine(const QString& folder, const QString& name, const History& h)
{
    QString line = folder + u'|' + name;
    for (const table::SavedCheck& check : h.checks)
        line += u'|' + check.text();
    return platform::encodeSystem(line);
}

#ifdef Q_OS_UNIX
long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Creates a file under a name given as raw bytes, which need not be valid in the locale's encoding.
bool writeRawName(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    return ::remove(path);
}

QByteArray readRawName(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return QByteArray("<missing>");
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}
#endif

} // namespace

class HostileFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hugeShortcutFileIsNeverLoaded();
    void hostileShortcutFiles_data();
    void hostileShortcutFiles();
    void hostileNames_data();
    void hostileNames();
    void undecodableNames();
    void unreadableFoldersAndFiles();
    void hostileResultsFiles_data();
    void hostileResultsFiles();
    void resultsFileThatIsNotAFile_data();
    void resultsFileThatIsNotAFile();

private:
    QString folderPath(const QString& relative) const { return m_fav + relative; }
    QString filePath(const Favorite& f) const { return platform::joinPath(folderPath(f.folder), f.name); }
    // The ordinary favorites on disk and their lines in the results file (not yet written).
    void makeOrdinary();
    void writeResults(const QByteArray& before = QByteArray(), const QByteArray& after = QByteArray(),
                      const QByteArray& separator = QByteArray("\r\n"));
    void load();
    // Row of a favorite; 0 when it is not there. Fails the test when it is there twice.
    int rowOf(const QString& folder, const QString& name) const;
    // Every ordinary favorite: one row with its folder, name, address and history, its file unchanged.
    void verifyOrdinary(bool afterSave) const;
    // Gives every row a verdict (the ordinary ones theirs, the others `other`), saves and reloads.
    void saveAndReload(table::Verdict other);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_fav;
    QString m_program;
    QString m_results;
    QString m_backup;
    jobs::AppState m_state;
    std::unique_ptr<LinkTableModel> m_model;
    QVector<Favorite> m_ordinary;
    QByteArray m_lines; // results lines of the ordinary favorites, each with its CR LF
    QList<QByteArray> m_extraLines;
};

void HostileFilesTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_fav = platform::joinPath(m_dir->path(), QStringLiteral("Favorites"));
    m_program = platform::joinPath(m_dir->path(), QStringLiteral("program"));
    testsupport::emptyTrash();
    QVERIFY(QDir().mkpath(m_fav));
    QVERIFY(QDir().mkpath(m_program));
    m_results = table::resultsFilePath(m_program);
    m_backup = favorites::backupFolderPath(m_program);
    m_state.catalogue = favorites::Catalogue();
    m_state.table.load({});
    m_state.programFolder.clear();
    m_state.catalogue.favPath = m_fav;
    m_state.programFolder = m_program;
    m_model = std::make_unique<LinkTableModel>(m_state.table);
    m_extraLines.clear();
    m_lines.clear();
    m_ordinary = {
        {QString(), QStringLiteral("start.url"), QStringLiteral("http://start.example/"),
         testsupport::savedChecks({"YES", "NO", "", ""}), table::Verdict::Alive},
        {QStringLiteral("/Links"), QStringLiteral("news.url"), QStringLiteral("http://news.example/path?q=1"),
         testsupport::savedChecks({"NO", "NO", "NO", "YES"}), table::Verdict::Dead},
        {QStringLiteral("/Deep/A/B"), QStringLiteral("mail.url"), QStringLiteral("http://mail.example/"),
         testsupport::savedChecks({"NO", "", "", ""}), table::Verdict::Dead},
        {QStringLiteral("/Links"), QStringLiteral("fresh.url"), QStringLiteral("http://fresh.example/"), History{},
         table::Verdict::Alive},
    };
}

void HostileFilesTest::cleanup()
{
    // Folders a test locked must be deletable again.
    if (m_dir) {
        QDirIterator it(m_dir->path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            testsupport::setMode(it.next(), 0755);
#ifdef Q_OS_UNIX
        // Names that Qt cannot see would keep QTemporaryDir from removing the folder.
        nftw(QFile::encodeName(m_dir->path()).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
#endif
    }
    m_dir.reset();
}

void HostileFilesTest::makeOrdinary()
{
    for (const Favorite& f : std::as_const(m_ordinary)) {
        QVERIFY(writeFile(filePath(f), shortcutBytes(f.address)));
        if (f.history != History{})
            m_lines += resultsLine(folderPath(f.folder), f.name, f.history) + "\r\n";
    }
}

void HostileFilesTest::writeResults(const QByteArray& before, const QByteArray& after, const QByteArray& separator)
{
    QByteArray lines = m_lines;
    for (const QByteArray& line : std::as_const(m_extraLines))
        lines += line + "\r\n";
    lines.chop(2);
    lines.replace("\r\n", separator);
    QVERIFY(writeFile(m_results, before + lines + after));
}

void HostileFilesTest::load()
{
    favorites::collectFiles(m_state.catalogue);
    table::loadTable(m_state.catalogue, m_state.table, m_results);
    QCOMPARE(m_state.table.rowCount(), m_state.catalogue.fileCount);
}

int HostileFilesTest::rowOf(const QString& folder, const QString& name) const
{
    int found = 0;
    for (int i = 1; i <= m_state.table.rowCount(); ++i) {
        if (m_state.table.filePath(i) == folder && m_state.table.fileName(i) == name) {
            if (found)
                QTest::qFail(qPrintable(QStringLiteral("two rows for %1/%2").arg(folder, name)), __FILE__, __LINE__);
            found = i;
        }
    }
    return found;
}

void HostileFilesTest::verifyOrdinary(bool afterSave) const
{
    for (const Favorite& f : m_ordinary) {
        const int row = rowOf(folderPath(f.folder), f.name);
        QVERIFY2(row > 0, qPrintable(QStringLiteral("no row for %1").arg(filePath(f))));
        const History expected = afterSave ? folded(f.history, f.verdict) : f.history;
        QCOMPARE(m_state.table.rowUrl(row), f.address);
        QCOMPARE(m_state.table.rowFolder(row), f.folder);
        QCOMPARE(m_state.table.history(row), expected);
        QCOMPARE(m_model->cell(row, LinkTableModel::FolderColumn), f.folder);
        QCOMPARE(m_model->cell(row, LinkTableModel::NameColumn), table::displayName(f.name));
        QCOMPARE(m_model->cell(row, LinkTableModel::AddressColumn), f.address);
        for (int k = 0; k < History::kDepth; ++k)
            QCOMPARE(m_model->cell(row, LinkTableModel::History1Column + k), expected.checks[std::size_t(k)].text());
        QCOMPARE(readFile(filePath(f)), shortcutBytes(f.address));
    }
}

void HostileFilesTest::saveAndReload(table::Verdict other)
{
    testsupport::setAllStates(m_state.table, other);
    for (const Favorite& f : std::as_const(m_ordinary)) {
        const int row = rowOf(folderPath(f.folder), f.name);
        QVERIFY(row > 0);
        testsupport::setVerdict(m_state.table, row, f.verdict);
    }
    platform::Failure error;
    QVERIFY2(table::saveResults(m_results, m_state.table, &error), qPrintable(ui::failureText(error)));
    // Whatever the names were, every line of the file still has exactly six fields.
    const QList<QByteArray> lines = readFile(m_results).split('\n');
    QVERIFY(lines.last().isEmpty());
    for (int k = 0; k + 1 < lines.size(); ++k) {
        QVERIFY2(lines.at(k).endsWith('\r'), lines.at(k).constData());
        QCOMPARE(lines.at(k).count('|'), 5);
    }
    load();
}

// A 50 MB file is passed over by its size: it is neither read into memory nor rewritten.
void HostileFilesTest::hugeShortcutFileIsNeverLoaded()
{
#ifndef Q_OS_UNIX
    QSKIP("measures the peak memory through getrusage");
#else
    makeOrdinary();
    writeResults();
    const QString huge = platform::joinPath(m_fav, QStringLiteral("huge.url"));
    QVERIFY(writeFile(huge, shortcutBytes(QStringLiteral("http://huge.example/"))));
    QFile file(huge);
    QVERIFY(file.resize(50 * 1024 * 1024)); // sparse: no disk space needed
    const long before = peakResidentKiB();

    QCOMPARE(favorites::GetUrl(huge), QString());
    platform::Failure error;
    QVERIFY(!favorites::SetUrl(huge, QStringLiteral("http://other.example/"), &error));
    QVERIFY2(error.kind == favorites::ShortcutFailure::TooLarge, qPrintable(ui::failureText(error)));
    load();
    verifyOrdinary(false);
    const int row = rowOf(m_fav, QStringLiteral("huge.url"));
    QVERIFY(row > 0);
    QCOMPARE(m_state.table.rowUrl(row), QString());

    // Reading the file whole would have raised the peak by 50 MB.
    const long grownKiB = peakResidentKiB() - before;
    QVERIFY2(grownKiB < 16 * 1024, qPrintable(QStringLiteral("peak memory grew by %1 KiB").arg(grownKiB)));
    QCOMPARE(QFileInfo(huge).size(), qint64(50 * 1024 * 1024));
#endif
}

void HostileFilesTest::hostileShortcutFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("sparseSize"); // > 0: the file is then made that large
    QTest::addColumn<QString>("address");   // what the row shows
    QTest::addColumn<bool>("editable");     // whether a new address can be stored in it

    const QByteArray shortcut("[InternetShortcut]\r\nURL=http://plain.example/\r\n");
    QTest::newRow("binary") << randomBytes(4096, 1) << qint64(0) << QString() << true;
    QTest::newRow("binary around a shortcut")
        << randomBytes(2000, 2) + "\r\n[InternetShortcut]\r\nURL=http://binary.example/\r\n" + randomBytes(2000, 3)
        << qint64(0) << QStringLiteral("http://binary.example/") << true;
    QTest::newRow("50 MB") << shortcut << qint64(50 * 1024 * 1024) << QString() << false;
    QTest::newRow("UTF-16LE with byte-order mark")
        << utf16Le(QStringLiteral("[InternetShortcut]\r\nURL=http://utf16.example/中文\r\n")) << qint64(0)
        << QStringLiteral("http://utf16.example/中文") << true;
    QTest::newRow("UTF-16LE cut in the middle of a character")
        << utf16Le(QStringLiteral("[InternetShortcut]\r\nURL=http://odd.example/\r\n")) + "\x41" << qint64(0)
        << QStringLiteral("http://odd.example/") << false;
    QTest::newRow("UTF-8 byte-order mark")
        << QByteArray("\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://bom.example/\r\n") << qint64(0)
        << QStringLiteral("http://bom.example/") << true;
    QTest::newRow("no final line end") << QByteArray("[InternetShortcut]\r\nURL=http://nonl.example/") << qint64(0)
                                       << QStringLiteral("http://nonl.example/") << true;
    QTest::newRow("NUL bytes before the section")
        << QByteArray(64, '\0') + "\r\n[InternetShortcut]\r\nURL=http://nul.example/\r\n"
        << qint64(0) << QStringLiteral("http://nul.example/") << true;
    QTest::newRow("NUL byte inside the address")
        << QByteArray("[InternetShortcut]\r\nURL=http://nul.example/") + '\0' + "tail\r\n"
        << qint64(0) << QStringLiteral("http://nul.example/") << true;
    QTest::newRow("NUL byte in the section name")
        << QByteArray("[Internet") + '\0' + "Shortcut]\r\nURL=http://nul.example/\r\n"
        << qint64(0) << QString() << true;
    QTest::newRow("100,000-character line before the section")
        << QByteArray(100000, 'x') + "\r\n" + shortcut << qint64(0) << QStringLiteral("http://plain.example/") << true;
    QTest::newRow("100,000-character address")
        << "[InternetShortcut]\r\nURL=http://long.example/" + QByteArray(100000, 'a') + "\r\n"
        << qint64(0) << QStringLiteral("http://long.example/") + QString(100000, u'a') << true;
    QTest::newRow("100,000 characters, no line end") << QByteArray(100000, 'x') << qint64(0) << QString() << true;
    QTest::newRow("key before any section")
        << QByteArray("URL=http://early.example/\r\n[InternetShortcut]\r\nIconIndex=0\r\n") << qint64(0) << QString()
        << true;
    QTest::newRow("key without any section")
        << QByteArray("URL=http://early.example/\r\n") << qint64(0) << QString() << true;
    QTest::newRow("empty file") << QByteArray() << qint64(0) << QString() << true;
}

void HostileFilesTest::hostileShortcutFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, sparseSize);
    QFETCH(QString, address);
    QFETCH(bool, editable);

    makeOrdinary();
    const QString hostile = platform::joinPath(folderPath(QStringLiteral("/Links")), QStringLiteral("hostile.url"));
    QVERIFY(writeFile(hostile, bytes));
    if (sparseSize > 0) {
        QFile file(hostile);
        QVERIFY(file.resize(sparseSize));
    }
    const QByteArray hostileBytes = sparseSize > 0 ? QByteArray() : bytes;
    m_extraLines << resultsLine(folderPath(QStringLiteral("/Links")), QStringLiteral("hostile.url"),
                                testsupport::savedChecks({"YES", "", "", ""}));
    writeResults();

    load();
    verifyOrdinary(false);
    int row = rowOf(folderPath(QStringLiteral("/Links")), QStringLiteral("hostile.url"));
    QVERIFY(row > 0);
    QCOMPARE(m_state.table.rowUrl(row), address);
    QCOMPARE(m_model->cell(row, LinkTableModel::AddressColumn), address);
    QCOMPARE(m_state.table.history(row), (testsupport::savedChecks({"YES", "", "", ""})));

    saveAndReload(table::Verdict::Dead);
    verifyOrdinary(true);
    row = rowOf(folderPath(QStringLiteral("/Links")), QStringLiteral("hostile.url"));
    QVERIFY(row > 0);
    QCOMPARE(m_state.table.history(row), (testsupport::savedChecks({"YES", "NO", "", ""})));
    if (sparseSize == 0)
        QCOMPARE(readFile(hostile), hostileBytes); // loading and saving never write a shortcut file

    // The edit dialog stores a new address, or refuses with the file's name and leaves it as it was.
    platform::Failure error;
    const bool stored = jobs::applyFavoriteEdit(
        m_state, row, {QStringLiteral("/Links"), QStringLiteral("hostile"), QStringLiteral("http://new.example/")},
        &error);
    QCOMPARE(stored, editable);
    if (stored) {
        QCOMPARE(favorites::GetUrl(hostile), QStringLiteral("http://new.example/"));
    } else {
        QVERIFY2(error.path == QDir::toNativeSeparators(hostile), qPrintable(ui::failureText(error)));
        QCOMPARE(m_state.table.rowUrl(row), address);
        if (sparseSize == 0)
            QCOMPARE(readFile(hostile), hostileBytes);
        else
            QCOMPARE(QFileInfo(hostile).size(), sparseSize);
    }
    verifyOrdinary(true);
}

void HostileFilesTest::hostileNames_data()
{
    QTest::addColumn<QString>("folder"); // relative, "" or beginning with "/"
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("storable"); // whether its history can be kept in the results file

    const QString links = QStringLiteral("/Links");
    const QString inside = QStringLiteral("inside.url");
    QTest::newRow("file with leading blank") << links << QStringLiteral(" leading.url") << true;
    QTest::newRow("folder with leading blank") << QStringLiteral("/ leading") << inside << true;
#ifndef Q_OS_WIN
    // Names that Windows file systems refuse, but other systems allow.
    QTest::newRow("file with |") << links << QStringLiteral("pipe|name.url") << false;
    QTest::newRow("file with LF") << links << QStringLiteral("line\nbreak.url") << false;
    QTest::newRow("file with CR") << links << QStringLiteral("carriage\rreturn.url") << false;
    QTest::newRow("file with CR LF") << links << QStringLiteral("both\r\nends.url") << false;
    QTest::newRow("file with a |-line") << links << QStringLiteral("x.url|YES|YES|YES|YES") << false;
    QTest::newRow("file with *") << links << QStringLiteral("star*.url") << true;
    QTest::newRow("file with ?") << links << QStringLiteral("question?.url") << true;
    QTest::newRow("file named *.*") << links << QStringLiteral("*.*") << true;
    QTest::newRow("file named *") << links << QStringLiteral("*") << true;
    QTest::newRow("file with trailing blank") << links << QStringLiteral("trailing.url ") << true;
    QTest::newRow("file with backslash") << links << QStringLiteral("back\\slash.url") << true;
    QTest::newRow("file at the top named *.*") << QString() << QStringLiteral("*.*") << true;
    QTest::newRow("folder with |") << QStringLiteral("/pipe|folder") << inside << false;
    QTest::newRow("folder with LF") << QStringLiteral("/line\nfolder") << inside << false;
    QTest::newRow("folder with CR") << QStringLiteral("/carriage\rfolder") << inside << false;
    QTest::newRow("folder with trailing blank") << QStringLiteral("/trailing ") << inside << true;
    QTest::newRow("folder named *") << QStringLiteral("/*") << inside << true;
    QTest::newRow("folder named *.*") << QStringLiteral("/*.*") << inside << true;
    QTest::newRow("folder named ?") << QStringLiteral("/?") << inside << true;
    QTest::newRow("folder inside a folder with |") << QStringLiteral("/a|b/c") << inside << false;
#endif
}

void HostileFilesTest::hostileNames()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(bool, storable);

    makeOrdinary();
    const Favorite hostile{folder, name, QStringLiteral("http://hostile.example/"),
                           testsupport::savedChecks({"NO", "NO", "NO", "NO"}), table::Verdict::Dead};
    QVERIFY(writeFile(filePath(hostile), shortcutBytes(hostile.address)));
    // Its saved line as it would stand in the file; for a name that cannot be stored this line is broken,
    // and must still leave every other line alone.
    m_extraLines << resultsLine(folderPath(folder), name, hostile.history);
    writeResults();
    const testsupport::TreeSnapshot original = testsupport::snapshotTree(m_fav);

    load();
    verifyOrdinary(false);
    int row = rowOf(folderPath(folder), name);
    QVERIFY(row > 0);
    QCOMPARE(m_state.table.rowUrl(row), hostile.address);
    QCOMPARE(m_state.table.rowFolder(row), folder);
    QCOMPARE(m_state.table.history(row), storable ? hostile.history : History{});
    QCOMPARE(m_state.catalogue.fileCount, int(m_ordinary.size()) + 1);

    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::snapshotTree(m_backup), original);

    saveAndReload(table::Verdict::Dead);
    verifyOrdinary(true);
    row = rowOf(folderPath(folder), name);
    QVERIFY(row > 0);
    // The history of a name that cannot be stored starts afresh at every load; it is never written.
    QCOMPARE(m_state.table.history(row), storable ? folded(hostile.history, table::Verdict::Dead) : History{});
    QCOMPARE(table::readResults(m_results).lines.size(), storable ? m_ordinary.size() + 1 : m_ordinary.size());

    // Deleting the dead favorites takes exactly this one when its four saved checks failed, never a neighbour.
    const QStringList dead = table::deadFavorites(m_state.table);
    QCOMPARE(dead, storable ? QStringList{filePath(hostile)} : QStringList());
    int deleted = 0;
    QVERIFY2(favorites::deleteFavorites(m_fav, dead, favorites::Removal::ToRecycleBin, &deleted, &error),
             qPrintable(ui::failureText(error)));
    testsupport::TreeSnapshot expected = original;
    if (storable)
        expected.files.remove(QDir(m_fav).relativeFilePath(filePath(hostile)));
    const testsupport::TreeSnapshot afterDelete = testsupport::snapshotTree(m_fav);
    QVERIFY2(afterDelete == expected, qPrintable(testsupport::describeDifference(expected, afterDelete)));

    // A restore brings it back as it was.
    QVERIFY2(favorites::restoreFavorites(m_backup, m_fav, &error), qPrintable(ui::failureText(error)));
    const testsupport::TreeSnapshot restored = testsupport::snapshotTree(m_fav);
    QVERIFY2(restored == original, qPrintable(testsupport::describeDifference(original, restored)));

    // Renaming it through the edit dialog moves only it; a file whose name does not end in ".url" is no shortcut
    // file, and the dialog leaves it alone.
    load();
    row = rowOf(folderPath(folder), name);
    QVERIFY(row > 0);
    const bool shortcut = name.endsWith(QStringLiteral(".url"), Qt::CaseInsensitive);
    const bool renamed =
        jobs::applyFavoriteEdit(m_state, row, {folder, QStringLiteral("renamed"), hostile.address}, &error);
    QVERIFY2(renamed == shortcut, qPrintable(ui::failureText(error)));
    if (!shortcut) {
        QCOMPARE(error.kind, jobs::EditFailure::NotAShortcut);
        QCOMPARE(testsupport::snapshotTree(m_fav), original);
        return;
    }
    expected = original;
    const QString oldKey = QDir(m_fav).relativeFilePath(filePath(hostile));
    expected.files.insert(
        QDir(m_fav).relativeFilePath(platform::joinPath(folderPath(folder), QStringLiteral("renamed.url"))),
        expected.files.take(oldKey));
    const testsupport::TreeSnapshot afterEdit = testsupport::snapshotTree(m_fav);
    QVERIFY2(afterEdit == expected, qPrintable(testsupport::describeDifference(expected, afterEdit)));
    load();
    verifyOrdinary(true);
}

// Names whose bytes are not valid in the locale's encoding (UTF-8 here) cannot be handed to Qt: its listing
// passes them over, so such files and folders get no row and are never read or written as favorites. Backup and
// restore take them byte for byte all the same: the backup holds them, and a restore brings them back exactly.
void HostileFilesTest::undecodableNames()
{
#ifndef Q_OS_UNIX
    QSKIP("file names are UTF-16 on this platform: every name can be represented");
#else
    makeOrdinary();
    writeResults();
    const QByteArray fav = QFile::encodeName(m_fav);
    const QByteArray content = shortcutBytes(QStringLiteral("http://invisible.example/"));
    const QByteArray topFile = fav + "/\xFF\xFE top.url";
    const QByteArray linksFile = fav + "/Links/bad\xC3(.url";
    const QByteArray badFolder = fav + "/\xE4\xB8 folder";
    QVERIFY(writeRawName(topFile, content));
    QVERIFY(writeRawName(linksFile, content));
    QCOMPARE(::mkdir(badFolder.constData(), 0755), 0);
    QVERIFY(writeRawName(badFolder + "/inside.url", content));
    const testsupport::TreeSnapshot visible = testsupport::snapshotTree(m_fav);

    load();
    QCOMPARE(m_state.catalogue.fileCount, int(m_ordinary.size()));
    verifyOrdinary(false);
    saveAndReload(table::Verdict::Alive);
    verifyOrdinary(true);

    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::snapshotTree(m_backup), visible);
    const QByteArray backup = QFile::encodeName(m_backup);
    for (const QByteArray& name : {QByteArray("/\xFF\xFE top.url"), QByteArray("/Links/bad\xC3(.url"),
                                   QByteArray("/\xE4\xB8 folder/inside.url")})
        QCOMPARE(readRawName(backup + name), content);

    // Changed since the backup: an undecodable file gone, another one added, a favorite changed.
    QCOMPARE(::unlink(linksFile.constData()), 0);
    const QByteArray added = fav + "/Links/new\xFF.url";
    QVERIFY(writeRawName(added, content));
    QVERIFY(writeFile(filePath(m_ordinary.constFirst()), shortcutBytes(QStringLiteral("http://changed.example/"))));
    QVERIFY2(favorites::restoreFavorites(m_backup, m_fav, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::snapshotTree(m_fav), visible);
    for (const QByteArray& path : {topFile, linksFile, badFolder + "/inside.url"})
        QCOMPARE(readRawName(path), content);
    QCOMPARE(readRawName(added), QByteArray("<missing>"));
    load();
    verifyOrdinary(true);
#endif
}

// A folder or a file that cannot be read. The superuser reads everything, so as root this test runs again as
// the user nobody.
void HostileFilesTest::unreadableFoldersAndFiles()
{
#ifndef Q_OS_UNIX
    QSKIP("uses POSIX modes");
#else
    if (!testsupport::permissionsEnforced(m_dir->path())) {
        if (testsupport::isChildRun())
            QFAIL("permissions are not enforced in the child run either");
        const QStringList asNobody = testsupport::asNobody();
        if (asNobody.isEmpty())
            QSKIP("running as a user that reads everything, and setpriv is not there to run as nobody");
        QByteArray output;
        QStringList probe = asNobody;
        probe << QStringLiteral("/bin/sh") << QStringLiteral("-c") << QStringLiteral("test -x \"$0\" && test -r \"$0\"")
              << QCoreApplication::applicationFilePath();
        if (testsupport::runCommand(probe.takeFirst(), probe, &output) != 0)
            QSKIP("running as a user that reads everything, and the user nobody cannot run this test binary "
                  "(a folder on its path is closed to others)");
        const int code = testsupport::runSelfInChild(asNobody, QStringLiteral("unreadableFoldersAndFiles"),
                                                     QStringLiteral("nobody"), &output);
        QVERIFY2(code == 0, output.constData());
        QVERIFY2(output.contains("PASS   : HostileFilesTest::unreadableFoldersAndFiles()"), output.constData());
        return;
    }

    makeOrdinary();
    writeResults();
    platform::Failure error;
    QVERIFY2(favorites::backupFavorites(m_fav, m_backup, &error), qPrintable(ui::failureText(error)));
    const testsupport::TreeSnapshot previousBackup = testsupport::snapshotTree(m_backup);
    QVERIFY(
        writeFile(m_fav + QStringLiteral("/Locked/secret.url"), shortcutBytes(QStringLiteral("http://s.example/"))));
    QVERIFY(writeFile(m_fav + QStringLiteral("/NoList/blind.url"), shortcutBytes(QStringLiteral("http://b.example/"))));
    const QString unreadable = m_fav + QStringLiteral("/Links/unreadable.url");
    QVERIFY(writeFile(unreadable, shortcutBytes(QStringLiteral("http://u.example/"))));
    QVERIFY(testsupport::setMode(m_fav + QStringLiteral("/Locked"), 0000));
    QVERIFY(testsupport::setMode(m_fav + QStringLiteral("/NoList"), 0300)); // may be entered, not listed
    QVERIFY(testsupport::setMode(unreadable, 0000));

    favorites::ListFolders(m_state.catalogue, m_fav);
    load();
    // The folders are listed, their contents are not; the unreadable file is a row without an address.
    QVERIFY(m_state.catalogue.folderList.contains(m_fav + QStringLiteral("/Locked")));
    QCOMPARE(m_state.catalogue.fileCount, int(m_ordinary.size()) + 1);
    verifyOrdinary(false);
    const int row = rowOf(m_fav + QStringLiteral("/Links"), QStringLiteral("unreadable.url"));
    QVERIFY(row > 0);
    QCOMPARE(m_state.table.rowUrl(row), QString());
    saveAndReload(table::Verdict::Dead);
    verifyOrdinary(true);

    // Its address cannot be changed; it says why and leaves the file alone.
    QVERIFY(!jobs::applyFavoriteEdit(
        m_state, row, {QStringLiteral("/Links"), QStringLiteral("unreadable"), QStringLiteral("http://x/")}, &error));
    QVERIFY2(error.path.endsWith(QStringLiteral("unreadable.url")), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::modeOf(unreadable), 0000);

    // A backup that cannot read everything is refused, keeping the previous backup.
    QVERIFY(!favorites::backupFavorites(m_fav, m_backup, &error));
    QVERIFY2(error.failed(), "no reason given");
    QCOMPARE(testsupport::snapshotTree(m_backup), previousBackup);
    QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral(".new")));

    // The owner can always clear them away: a restore puts the backup back.
    QVERIFY2(favorites::restoreFavorites(m_backup, m_fav, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::snapshotTree(m_fav), previousBackup);
    load();
    verifyOrdinary(true);
#endif
}

void HostileFilesTest::hostileResultsFiles_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("separator");

    const QByteArray crLf("\r\n");
    QTest::newRow("garbage") << randomBytes(65536, 4) + crLf << crLf + randomBytes(65536, 5) << crLf;
    const QByteArray nul(1, '\0');
    QTest::newRow("NUL bytes") << QByteArray(1000, '\0') + crLf + "x|y" + nul + "z|YES|||\r\n"
                               << crLf + nul << crLf + nul + nul + nul + crLf;
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "/elsewhere/f" + QByteArray::number(i) + "|n" + QByteArray::number(i) + ".url|YES|NO||\r\n";
    QTest::newRow("100,000 lines") << many << crLf << crLf;
    QTest::newRow("lines of one field") << QByteArray("only\r\n|\r\nfolder-without-bars\r\n") << QByteArray("\r\nlast")
                                        << QByteArray("\r\nsingle\r\n");
    QTest::newRow("100,000 fields on a line") << QByteArray(100000, '|') + crLf << crLf << crLf;
    QTest::newRow("100,000-character line") << QByteArray(100000, 'x') + crLf << crLf << crLf;
    QTest::newRow("invalid UTF-8 lines") << QByteArray("\xFF\xFE|bad.url|YES|||\r\n\xC3(\r\n") << crLf << crLf;
    QTest::newRow("CR line ends") << QByteArray() << QByteArray("\r") << QByteArray("\r");
    QTest::newRow("LF line ends") << QByteArray() << QByteArray("\n") << QByteArray("\n");
    QTest::newRow("no final line end") << QByteArray() << QByteArray() << crLf;
}

void HostileFilesTest::hostileResultsFiles()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, separator);

    makeOrdinary();
    writeResults(before, after, separator);
    load();
    verifyOrdinary(false);
    saveAndReload(table::Verdict::Alive);
    verifyOrdinary(true);
    // The save writes the current rows and nothing of the damage.
    QCOMPARE(table::readResults(m_results).lines.size(), m_ordinary.size());
}

void HostileFilesTest::resultsFileThatIsNotAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << QStringLiteral("folder");
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << QStringLiteral("pipe");
#endif
}

// Something else stands where the results file belongs: loading reads no history (and never waits on a
// pipe), saving refuses with a reason and leaves it in place.
void HostileFilesTest::resultsFileThatIsNotAFile()
{
    QFETCH(QString, kind);
    makeOrdinary();
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(m_results));
    } else {
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(m_results).constData(), 0644), 0);
#endif
    }
    for (Favorite& f : m_ordinary)
        f.history = History{};
    load();
    verifyOrdinary(false);

    const QVector<table::LinkRow> rows = m_state.table.rows();
    platform::Failure error;
    QVERIFY(!table::saveResults(m_results, m_state.table, &error));
    QVERIFY2(error.kind == platform::FileFailure::NotARegularFile, qPrintable(ui::failureText(error)));
    QCOMPARE(m_state.table.rows(), rows);
    QVERIFY(QFileInfo::exists(m_results));
    QVERIFY(!QFileInfo(m_results).isFile());
}

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "tst_hostilefiles.moc"
