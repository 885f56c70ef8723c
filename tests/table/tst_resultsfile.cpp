#include <QFile>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "platform/Paths.h"
#include "support/CheckerRows.h"
#include "support/TempFavorites.h"
#include "table/Rules.h"
#include "table/ResultsFile.h"
#include "ui/FailureText.h"

using table::History;
using table::SavedRows;

class ResultsFileTest : public QObject
{
    Q_OBJECT

private slots:
    void historyCount_data();
    void historyCount();
    void readingSkipsEmptyAndNonTextLines();
    void shortLinesReadMissingFieldsAsEmpty();
    void firstDuplicateLineWinsAndMatchIsCaseSensitive();
    void missingFileReadsAsNoLines();
    void foldFillsFirstFreeSlotThenShifts();
    void saveWritesEveryRowWithCrLf();
    void saveOfNoRowsLeavesEmptyFile();
    void unstorableNamesAreLeftOutByWhy();
    void failedSaveKeepsOldFileAndHistories();
    void deadNetworkIsFiveNoWithoutAnyYes_data();
    void deadNetworkIsFiveNoWithoutAnyYes();
    void deleteRuleIsFourSavedNo();
};

void ResultsFileTest::historyCount_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("count");
    QTest::newRow("one") << "D:\\Fav|a.url|YES|||"
                         << "1";
    QTest::newRow("four") << "D:\\Fav|a.url|NO|NO|NO|NO"
                          << "4";
    QTest::newRow("gap") << "D:\\Fav|a.url||YES||"
                         << "0";
    QTest::newRow("three") << "D:\\Fav|a.url|YES|NO|YES|"
                           << "3";
    QTest::newRow("extra fields ignored") << "D:\\Fav|a.url|NO|NO|NO|NO|junk|more"
                                          << "4";
}

void ResultsFileTest::historyCount()
{
    QFETCH(QString, line);
    QFETCH(QString, count);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QVERIFY(testsupport::writeFile(path, line.toUtf8() + "\r\n"));
    const SavedRows saved = table::readResults(path);
    QCOMPARE(saved.lines.size(), 1);
    QCOMPARE(saved.historyFor("D:\\Fav", "a.url").count(), count.toInt());
}

void ResultsFileTest::readingSkipsEmptyAndNonTextLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QByteArray withNul("/f|b", 4);
    withNul.append('\0');
    withNul.append(".url|NO|||\r\n");
    const QByteArray bytes =
        "\r\n/f|a.url|YES|||\r\n\r\n" + withNul + "/f|c.url|\xff\xfe|||\r/f|d.url|NO|||\n/f|e.url|YES|||";
    QVERIFY(testsupport::writeFile(path, bytes));
    const SavedRows saved = table::readResults(path);
    QCOMPARE(saved.lines.size(), 3); // a, d (LF end), e (no final line end); the NUL and invalid lines skipped
    QCOMPARE(saved.historyFor("/f", "a.url"), testsupport::savedChecks({"YES"}));
    QCOMPARE(saved.historyFor("/f", "d.url"), testsupport::savedChecks({"NO"}));
    QCOMPARE(saved.historyFor("/f", "e.url").count(), 1);
    QCOMPARE(saved.historyFor("/f", "c.url"), History{});
}

void ResultsFileTest::shortLinesReadMissingFieldsAsEmpty()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QVERIFY(testsupport::writeFile(path, "/only-folder\r\n/f|b.url|YES\r\n"));
    const SavedRows saved = table::readResults(path);
    QCOMPARE(saved.lines.size(), 2);
    QCOMPARE(saved.lines.at(0)[0], QString("/only-folder"));
    QCOMPARE(saved.lines.at(0)[1], QString());
    QCOMPARE(saved.historyFor("/only-folder", QString()).count(), 0);
    const History h = saved.historyFor("/f", "b.url");
    QCOMPARE(h, (testsupport::savedChecks({"YES", "", "", ""})));
}

void ResultsFileTest::firstDuplicateLineWinsAndMatchIsCaseSensitive()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QVERIFY(testsupport::writeFile(path, "/Fav/Links|a.url|YES|||\r\n/Fav/Links|a.url|NO|NO||\r\n"));
    const SavedRows saved = table::readResults(path);
    QCOMPARE(saved.historyFor("/Fav/Links", "a.url"), (testsupport::savedChecks({"YES", "", "", ""})));
    QCOMPARE(saved.historyFor("/Fav/links", "a.url"), History{});
    QCOMPARE(saved.historyFor("/Fav/Links", "A.url"), History{});
}

void ResultsFileTest::missingFileReadsAsNoLines()
{
    QTemporaryDir dir;
    QVERIFY(table::readResults(dir.filePath("none.txt")).lines.isEmpty());
    QVERIFY(table::readResults(dir.path()).lines.isEmpty()); // a folder, not a file
}

void ResultsFileTest::foldFillsFirstFreeSlotThenShifts()
{
    History h;
    h.fold(table::Verdict::Dead);
    QCOMPARE(h, (testsupport::savedChecks({"NO", "", "", ""})));

    History two = testsupport::savedChecks({"YES", "NO"});
    two.fold(table::Verdict::None);
    QCOMPARE(two, (testsupport::savedChecks({"YES", "NO", "", ""}))); // an unprobed row writes an empty slot

    // After a gap (a results file edited by hand) the verdict goes into the gap; checks beyond it stay.
    History gap = testsupport::savedChecks({"YES", "", "NO", "NO"});
    QCOMPARE(gap.count(), 1);
    gap.fold(table::Verdict::Alive);
    QCOMPARE(gap, (testsupport::savedChecks({"YES", "YES", "NO", "NO"})));

    History full = testsupport::savedChecks({"NO", "NO", "NO", "NO"});
    full.fold(table::Verdict::Alive);
    QCOMPARE(full, (testsupport::savedChecks({"NO", "NO", "NO", "YES"})));
    full.fold(table::Verdict::None);
    QCOMPARE(full, (testsupport::savedChecks({"NO", "NO", "YES", ""})));

    // A text of someone's hand is kept as it stands and shifted like any other check.
    History odd = testsupport::savedChecks({"yes", "NO", "NO", "NO"});
    odd.fold(table::Verdict::Dead);
    QCOMPARE(odd, (testsupport::savedChecks({"NO", "NO", "NO", "NO"})));
    QVERIFY(odd.failedEveryCheck());
}

namespace
{

// Loads rows by hand: row i is names[i] in folders[i], with histories[i] and states[i].
void loadRows(table::LinkTable& t, const QStringList& folders, const QStringList& names,
              const QVector<History>& histories, const QStringList& states)
{
    QVector<table::LinkRow> rows;
    for (int i = 0; i < names.size(); ++i) {
        const table::Outcome outcome = table::Outcome::of(table::SavedCheck::fromText(states.at(i)).verdict());
        rows.append({names.at(i), folders.at(i), QString(), QString(), outcome, histories.at(i)});
    }
    t.load(rows);
}

} // namespace

void ResultsFileTest::saveWritesEveryRowWithCrLf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    table::LinkTable t;
    loadRows(
        t, {"/Fav", "/Fav/Links", "/Fav/新闻"}, {"a.url", "b.url", "c.url"},
        {History{}, testsupport::savedChecks({"YES", "", "", ""}), testsupport::savedChecks({"NO", "NO", "NO", "NO"})},
        {"", "NO", "YES"});
    platform::Failure error;
    QVERIFY2(table::saveResults(path, t, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(testsupport::readFile(path), QByteArray("/Fav|a.url||||\r\n"
                                                     "/Fav/Links|b.url|YES|NO||\r\n"
                                                     "/Fav/新闻|c.url|NO|NO|NO|YES\r\n"));
    QCOMPARE(t.history(2), (testsupport::savedChecks({"YES", "NO", "", ""})));

    // Read back: the counts follow the written fields.
    const SavedRows saved = table::readResults(path);
    QCOMPARE(saved.historyFor("/Fav", "a.url").count(), 0);
    QCOMPARE(saved.historyFor("/Fav/Links", "b.url").count(), 2);
    QCOMPARE(saved.historyFor("/Fav/新闻", "c.url").count(), 4);
}

void ResultsFileTest::saveOfNoRowsLeavesEmptyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    QVERIFY(testsupport::writeFile(path, "/Fav|old.url|YES|||\r\n"));
    table::LinkTable t;
    QVERIFY(table::saveResults(path, t));
    QCOMPARE(QFileInfo(path).size(), 0);
}

// A name that would break its line and one the code page cannot write are both left out, each under its own reason,
// and the other lines stay whole.
void ResultsFileTest::unstorableNamesAreLeftOutByWhy()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.txt");
    // A lone surrogate is the one thing UTF-8 cannot write (on Windows: any character the ANSI code page lacks, such as
    // "Ł" or an emoji in code page 936).
    const QString outside = QStringLiteral("s") + QChar(0xD800);
    table::LinkTable t;
    loadRows(t, {"/Fav", "/Fav", "/Fav/a|b", "/Fav", "/Fav", "/Fav/" + outside, "/Fav", "/Fav"},
             {"ok1.url", "x|y.url", "z.url", "line\nbreak.url", outside + ".url", "in folder.url", "both|" + outside,
              "ok2.url"},
             QVector<History>(8), QStringList(8, "YES"));
    table::UnstoredRows unstored;
    QVERIFY(table::saveResults(path, t, nullptr, &unstored));
    QCOMPARE(testsupport::readFile(path), QByteArray("/Fav|ok1.url|YES|||\r\n/Fav|ok2.url|YES|||\r\n"));
    const auto native = [](const QString& path) { return platform::nativePath(path); };
    QCOMPARE(unstored.breakingLine, QStringList({native("/Fav/x|y.url"), native("/Fav/a|b/z.url"),
                                                 native("/Fav/line\nbreak.url"), native("/Fav/both|" + outside)}));
    QCOMPARE(unstored.outsideCodePage,
             QStringList({native("/Fav/" + outside + ".url"), native("/Fav/" + outside + "/in folder.url"),
                          native("/Fav/both|" + outside)}));
}

void ResultsFileTest::failedSaveKeepsOldFileAndHistories()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/data.txt");
    table::LinkTable t;
    loadRows(t, {"/Fav"}, {"a.url"}, {testsupport::savedChecks({"YES", "", "", ""})}, {"NO"});
    platform::Failure error;
    QVERIFY(!table::saveResults(path, t, &error));
    QCOMPARE(error.kind, platform::FileFailure::WriteFailed);
    QCOMPARE(error.path, QDir::toNativeSeparators(path));
    QCOMPARE(error.system.reason, platform::SystemReason::NotFound);
    QCOMPARE(t.history(1), (testsupport::savedChecks({"YES", "", "", ""})));
}

void ResultsFileTest::deadNetworkIsFiveNoWithoutAnyYes_data()
{
    QTest::addColumn<QStringList>("states"); // the verdicts of rows 1..n
    QTest::addColumn<bool>("dead");
    const QString no = QStringLiteral("NO");
    QTest::newRow("no rows") << QStringList() << false;
    QTest::newRow("four NO among unjudged rows") << QStringList{no, no, "", no, "", no} << false;
    QTest::newRow("five NO among unjudged rows") << QStringList{"", no, no, "", no, no, "", no} << true;
    QTest::newRow("one YES among many NO") << (QStringList(40, no) << "YES") << false;
}

void ResultsFileTest::deadNetworkIsFiveNoWithoutAnyYes()
{
    QFETCH(QStringList, states);
    QFETCH(bool, dead);
    table::LinkTable t;
    loadRows(t, QStringList(states.size(), "/Fav"), QStringList(states.size(), "a.url"),
             QVector<History>(states.size()), states);
    QCOMPARE(table::looksLikeDeadNetwork(t), dead);
}

void ResultsFileTest::deleteRuleIsFourSavedNo()
{
    // Only a full history of four saved "NO" condemns a favorite; the current verdict plays no part.
    const QString no = QStringLiteral("NO");
    table::LinkTable t;
    loadRows(t, {"/Fav", "/Fav", "/Fav/Sub", "/Fav", "/Fav", "/Fav"},
             {"dead.url", "three.url", "dead too.url", "one yes.url", "lower.url", "empty.url"},
             {testsupport::savedChecks({no, no, no, no}), testsupport::savedChecks({no, no, no, ""}),
              testsupport::savedChecks({no, no, no, no}), testsupport::savedChecks({no, "YES", no, no}),
              testsupport::savedChecks({no, no, "no", no}), History{}},
             {"YES", no, "", no, no, no});
    QCOMPARE(table::deadFavorites(t),
             (QStringList{platform::joinPath("/Fav", "dead.url"), platform::joinPath("/Fav/Sub", "dead too.url")}));
}

QTEST_GUILESS_MAIN(ResultsFileTest)
#include "tst_resultsfile.moc"
