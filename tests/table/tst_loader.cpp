#include <memory>

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

#include "favorites/Enumeration.h"
#include "platform/Paths.h"
#include "support/TempFavorites.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
#include "ui/LinkTableModel.h"

using table::History;
using ui::LinkTableModel;

class LoaderTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void emptyCatalogueKeepsOneBlankRow();
    void rowsCarryFolderNameAddressAndHistory();
    void resultPicturesAndAccessibleText();
    void clearLeavesHeaderAndOneBlankRow();
    void saveThenLoadShowsVerdictInNextHistoryColumn();
    void everyLoadMovesTheGenerationOn();
    void displayNameOfShortNames();

private:
    void load();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_fav;
    QString m_results;
    favorites::Catalogue m_cat;
    std::unique_ptr<table::LinkTable> m_table;
    std::unique_ptr<LinkTableModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
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
    m_model.reset();
    m_table = std::make_unique<table::LinkTable>();
    m_model = std::make_unique<LinkTableModel>(*m_table);
    m_tester = std::make_unique<QAbstractItemModelTester>(m_model.get(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void LoaderTest::load()
{
    favorites::collectFiles(m_cat);
    table::loadTable(m_cat, *m_table, m_results);
}

void LoaderTest::emptyCatalogueKeepsOneBlankRow()
{
    load();
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->dataRowCount(), 0);
    QCOMPARE(m_model->data(m_model->index(0, 0)), QVariant());
    QCOMPARE(m_table->rowCount(), 0);
    QCOMPARE(m_model->headerData(3, Qt::Horizontal).toString(), QString("结果"));
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

    QCOMPARE(m_model->dataRowCount(), 3);
    QCOMPARE(m_model->cell(1, LinkTableModel::FolderColumn), QString());
    QCOMPARE(m_model->cell(1, LinkTableModel::NameColumn), QString("Example Site"));
    QCOMPARE(m_model->cell(1, LinkTableModel::AddressColumn), QString("http://example.test/"));
    QCOMPARE(m_model->cell(1, LinkTableModel::History1Column), QString("YES"));
    QCOMPARE(m_model->cell(1, LinkTableModel::History2Column), QString("NO"));
    QCOMPARE(m_table->rowHistory(1)[0], QString("2"));

    // Rows follow the enumeration: Links/notes.txt before Links/News/news.url.
    QCOMPARE(m_model->cell(2, LinkTableModel::NameColumn), QString("notes"));
    QCOMPARE(m_model->cell(2, LinkTableModel::AddressColumn), QString());
    QCOMPARE(m_table->rowHistory(2), History{});
    QCOMPARE(m_model->cell(3, LinkTableModel::FolderColumn),
             QString(platform::separator()) + "Links" + platform::separator() + "News");
    QCOMPARE(m_table->rowHistory(3), (History{"4", "NO", "NO", "NO", "NO"}));
    for (int i = 1; i <= 3; ++i) {
        QCOMPARE(m_table->rowState(i), QString());
        QCOMPARE(m_model->cell(i, LinkTableModel::ResultColumn), QString());
    }
}

void LoaderTest::resultPicturesAndAccessibleText()
{
    QVERIFY(testsupport::writeFile(m_fav + "/a.url", testsupport::shortcutBytes("http://a.test/")));
    QVERIFY(testsupport::writeFile(m_results, (m_fav + "|a.url|YES|NO|yes|\r\n").toUtf8()));
    QPixmap yes(12, 12);
    yes.fill(Qt::green);
    QPixmap no(12, 12);
    no.fill(Qt::red);
    m_model->setResultPictures(yes, no);
    load();

    const QModelIndex h1 = m_model->index(0, LinkTableModel::History1Column);
    const QModelIndex h2 = m_model->index(0, LinkTableModel::History2Column);
    const QModelIndex h3 = m_model->index(0, LinkTableModel::History3Column);
    QCOMPARE(m_model->data(h1, Qt::DecorationRole).value<QPixmap>().toImage(), yes.toImage());
    QCOMPARE(m_model->data(h1, Qt::DisplayRole), QVariant());
    QCOMPARE(m_model->data(h1, Qt::AccessibleTextRole).toString(), QString("YES"));
    QCOMPARE(m_model->data(h2, Qt::DecorationRole).value<QPixmap>().toImage(), no.toImage());
    QCOMPARE(m_model->data(h2, Qt::AccessibleTextRole).toString(), QString("NO"));
    // Anything but the exact words is shown as text.
    QCOMPARE(m_model->data(h3, Qt::DisplayRole).toString(), QString("yes"));
    QCOMPARE(m_model->data(h3, Qt::DecorationRole), QVariant());
    // The address column never becomes a picture, whatever it holds.
    const table::LinkRow& row = m_table->row(1);
    m_table->setFavorite(1, row.fileName, row.filePath, row.folder, "YES");
    QCOMPARE(m_model->data(m_model->index(0, LinkTableModel::AddressColumn)).toString(), QString("YES"));
}

void LoaderTest::clearLeavesHeaderAndOneBlankRow()
{
    for (int i = 0; i < 50; ++i)
        QVERIFY(testsupport::writeFile(m_fav + QString("/f%1.url").arg(i, 2, 10, QChar('0')),
                                       testsupport::shortcutBytes("http://x.test/")));
    load();
    QCOMPARE(m_model->rowCount(), 50);
    m_model->clear();
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->cell(1, 1), QString());
    QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QString("路径"));
    // The per-row data outlives the grid reset: saving reads it afterwards.
    QCOMPARE(m_table->rowCount(), 50);
}

void LoaderTest::saveThenLoadShowsVerdictInNextHistoryColumn()
{
    QVERIFY(testsupport::writeFile(m_fav + "/a.url", testsupport::shortcutBytes("http://a.test/")));
    QVERIFY(testsupport::writeFile(m_fav + "/b.url", testsupport::shortcutBytes("http://b.test/")));
    load();
    for (int save = 1; save <= 5; ++save) {
        m_table->setRowState(1, save == 5 ? "YES" : "NO");
        m_table->setRowState(2, QString()); // never probed
        QVERIFY(table::saveResults(m_results, *m_table));
        load();
        QCOMPARE(m_model->cell(1, LinkTableModel::ResultColumn), QString());
    }
    QCOMPARE(m_table->rowHistory(1), (History{"4", "NO", "NO", "NO", "YES"}));
    QCOMPARE(m_table->rowHistory(2), (History{"0", "", "", "", ""}));
}

void LoaderTest::everyLoadMovesTheGenerationOn()
{
    load();
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

QTEST_MAIN(LoaderTest)
#include "tst_loader.moc"
#include "ui/LinkTableModel.h"
