// Replays, through the checks the fuzz targets run, every input a fuzz target ever failed on
// (tests/data/fuzz-regressions) together with the seeds the targets start from.

#include <QDir>
#include <QTest>

#include "support/FuzzChecks.h"
#include "support/TempFavorites.h"

namespace
{

void addInputs(const QString& kind, const QStringList& folders)
{
    const QString data = QStringLiteral(TESSALY_TEST_DATA);
    for (const QString& folder : folders) {
        const QDir dir(data + u'/' + folder);
        // Every file, hidden ones included: a found input may have any name; .gitkeep is an empty input.
        const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString& name : names) {
            QTest::addRow("%s/%s", qPrintable(folder), qPrintable(name))
                << kind << testsupport::readFile(dir.filePath(name));
        }
    }
}

} // namespace

class FuzzRegressionsTest : public QObject
{
    Q_OBJECT

private slots:
    void replay_data();
    void replay();
};

void FuzzRegressionsTest::replay_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("input");
    addInputs(QStringLiteral("profilestring"),
              {QStringLiteral("urls"), QStringLiteral("fuzz-regressions/profilestring")});
    addInputs(QStringLiteral("resultsfile"),
              {QStringLiteral("results"), QStringLiteral("fuzz-regressions/resultsfile")});
}

void FuzzRegressionsTest::replay()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, input);
    const QString problem = kind == QLatin1String("profilestring") ? testsupport::checkProfileStringInput(input)
                                                                   : testsupport::checkResultsInput(input);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_GUILESS_MAIN(FuzzRegressionsTest)
#include "tst_fuzzregressions.moc"
