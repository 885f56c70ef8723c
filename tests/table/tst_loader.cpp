#include <memory>

#include <QTemporaryDir>
#include <QTest>

#include "favorites/Enumeration.h"
#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/TempFavorites.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"

using table::History;

class LoaderTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rowsCarryFolderNameAddressAndHistory();
    void saveThenLoadShowsVerdictInNextHistoryColumn();
    void verdictsKeptOnlyForTheSameFavoriteAndAddress();
    void everyLoadMovesTheGenerationOn();
    void displayNameOfShortNames();

private:
    void load();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_fav;
    QString m_results;
    favorites::Catalogue m_cat;
    std::unique_ptr<table::LinkTable> m_table;
};

void LoaderTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_fav = platform::joinPath(m_dir->path(), "Fav");
    QVERIFY(QDir().mkpath(m_fav));
    m_results = platform::joinPath(m_dir->path(), "data.txt");
    m_cat = favorites::Catalogue();
    m_cat.favPath = m_fav;
    m_table = std::make_unique<table::LinkTable>();
}

void LoaderTest::load()
{
    favorites::collectFiles(m_cat);
    table::loadTable(m_cat, *m_table, m_results);
}

void LoaderTest::rowsCarryFolderNameAddressAndHistory()
{
    QVERIFY(testsupport::writeFile(m_fav + "/Example Site.url", testsupport::shortcutBytes("http://example.test/")));
    QVERIFY(testsupport::writeFile(m_fav + "/Links/News/news.url", testsupport::shortcutBytes("http://news.test/")));
    QVERIFY(testsupport::writeFile(m_fav + "/Links/notes.txt", "not a shortcut"));
    const QString news = platform::joinPath(platform::joinPath(m_fav, "Links"), "News");
    QVERIFY(testsupport::writeFile(m_results, (m_fav + "|Example Site.url|YES|NO||\r\n" + news +
                                               "|news.url|NO|NO|NO|NO\r\n" + m_fav + "|gone.url|YES|||\r\n")
                                                  .toUtf8()));
    load();

    QCOMPARE(m_table->rowCount(), 3);
    QCOMPARE(m_table->rowFolder(1), QString());
    QCOMPARE(m_table->fileName(1), QString("Example Site.url"));
    QCOMPARE(m_table->rowUrl(1), QString("http://example.test/"));
    QCOMPARE(m_table->history(1), (testsupport::savedChecks({"YES", "NO", "", ""})));

    // Rows follow the enumeration: Links/notes.txt before Links/News/news.url.
    QCOMPARE(m_table->fileName(2), QString("notes.txt"));
    QCOMPARE(m_table->rowUrl(2), QString());
    QCOMPARE(m_table->history(2), History{});
    QCOMPARE(m_table->rowFolder(3), QString(platform::separator()) + "Links" + platform::separator() + "News");
    QCOMPARE(m_table->history(3), (testsupport::savedChecks({"NO", "NO", "NO", "NO"})));
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(m_table->verdict(i), table::Verdict::None);
}

void LoaderTest::saveThenLoadShowsVerdictInNextHistoryColumn()
{
    QVERIFY(testsupport::writeFile(m_fav + "/a.url", testsupport::shortcutBytes("http://a.test/")));
    QVERIFY(testsupport::writeFile(m_fav + "/b.url", testsupport::shortcutBytes("http://b.test/")));
    load();
    for (int save = 1; save <= 5; ++save) {
        testsupport::setVerdict(*m_table, 1, save == 5 ? table::Verdict::Alive : table::Verdict::Dead);
        testsupport::setVerdict(*m_table, 2, table::Verdict::None); // never probed
        QVERIFY(table::saveResults(m_results, *m_table));
        load();
        QCOMPARE(m_table->verdict(1), table::Verdict::None);
    }
    QCOMPARE(m_table->history(1), (testsupport::savedChecks({"NO", "NO", "NO", "YES"})));
    QCOMPARE(m_table->history(2), (testsupport::savedChecks({"", "", "", ""})));
}

// The verdicts of a check not saved yet, across a reload that keeps them (after a delete or a restore).
void LoaderTest::verdictsKeptOnlyForTheSameFavoriteAndAddress()
{
    for (const char* name : {"same.url", "moved.url", "readdressed.url", "gone.url", "unasked.url"})
        QVERIFY(testsupport::writeFile(m_fav + "/" + name, testsupport::shortcutBytes("http://old.test/")));
    load();
    for (int i = 1; i <= m_table->rowCount(); ++i)
        testsupport::setVerdict(*m_table, i,
                                m_table->fileName(i) == QLatin1String("unasked.url") ? table::Verdict::None
                                                                                     : table::Verdict::Dead);
    QVERIFY(QDir(m_fav).mkpath("Sub"));
    QVERIFY(QFile::rename(m_fav + "/moved.url", m_fav + "/Sub/moved.url"));
    QVERIFY(testsupport::writeFile(m_fav + "/readdressed.url", testsupport::shortcutBytes("http://new.test/")));
    QVERIFY(QFile::remove(m_fav + "/gone.url"));
    QVERIFY(testsupport::writeFile(m_fav + "/added.url", testsupport::shortcutBytes("http://old.test/")));

    favorites::collectFiles(m_cat);
    table::loadTable(m_cat, *m_table, m_results, table::CurrentVerdicts::Kept);
    QHash<QString, QString> states;
    for (int i = 1; i <= m_table->rowCount(); ++i)
        states.insert(m_table->fileName(i), table::verdictText(m_table->verdict(i)));
    const QHash<QString, QString> expected = {
        {"same.url", "NO"}, {"moved.url", ""}, {"readdressed.url", ""}, {"unasked.url", ""}, {"added.url", ""}};
    QCOMPARE(states, expected);

    // A load that clears them (after a save) leaves none.
    load();
    QCOMPARE(testsupport::rowStates(*m_table), QStringList(6, QString()));
}

void LoaderTest::everyLoadMovesTheGenerationOn()
{
    load();
    QCOMPARE(m_table->rowCount(), 0);
    const quint64 first = m_table->generation();
    load();
    QVERIFY(m_table->generation() > first);
}

void LoaderTest::displayNameOfShortNames()
{
    QCOMPARE(table::displayName("Example Site.url"), QString("Example Site"));
    QCOMPARE(table::displayName(".url"), QString());
    QCOMPARE(table::displayName("ab"), QString());
    QCOMPARE(table::displayName("a.url.url"), QString("a.url"));
}

QTEST_GUILESS_MAIN(LoaderTest)
#include "tst_loader.moc"
