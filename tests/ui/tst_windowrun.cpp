#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "checker/LinkChecker.h"
#include "jobs/AppState.h"
#include "support/CheckerRows.h"
#include "support/LoopbackHttpServer.h"
#include "support/ModalWatcher.h"
#include "support/WindowFixture.h"
#include "ui/FavoritesFilter.h"
#include "ui/GridPanel.h"
#include "ui/MainWindow.h"

using ui::LinkTableModel;

// A whole check seen from the window: the toolbar starts it, the grid fills, the indicators turn and
// settle, the status bar and the message box report the end.
class WindowRunTest : public QObject
{
    Q_OBJECT

private slots:
    void runFillsResultColumnAndEndsWithMessage();
    void sliderRebuildsIndicatorsAndLayout();
    void currentCellFollowsTheLoadAndTheVerdicts();
    void sortAndFilterLeaveTheCheckAlone();
};

void WindowRunTest::runFillsResultColumnAndEndsWithMessage()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    testsupport::WindowFixture f;
    QVERIFY(f.addFavorite("a-alive.url", server.url("/200")));
    QVERIFY(f.addFavorite("b-missing.url", server.url("/404")));
    QVERIFY(f.addFavorite("c-dead.url", server.url("/reset")));
    QVERIFY(f.addFavorite("d-ftp.url", "ftp://127.0.0.1/"));
    QVERIFY(f.start());
    ui::MainWindow& window = f.window();
    jobs::AppState& state = f.state;
    testsupport::setVerdict(state.table, 4, table::Verdict::Alive); // from an earlier check

    window.slider()->setValue(3);
    QCOMPARE(window.panelText(3), QString("线程数：3"));
    QSignalSpy finished(&window, &ui::MainWindow::checkFinished);
    QString boxText;
    bool boxHasExclamation = false;
    connect(&window, &ui::MainWindow::checkFinished, this, [&] {
        QTimer::singleShot(0, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxText = box->text();
                boxHasExclamation = box->icon() == QMessageBox::Warning;
                box->accept();
            }
        });
    });

    window.runCommand(jobs::Command::StartCheck);
    QCOMPARE(window.panelText(5), QString("正在检测"));
    QVERIFY(finished.wait(15000));
    QTRY_COMPARE(boxText, QString("检测完毕"));
    QVERIFY(boxHasExclamation);
    QCOMPARE(window.panelText(5), QString("检测完毕"));
    QCOMPARE(finished.count(), 1);

    QCOMPARE(window.model().cell(1, LinkTableModel::ResultColumn), QString("YES"));
    QCOMPARE(window.model().cell(2, LinkTableModel::ResultColumn), QString("YES"));
    QCOMPARE(window.model().cell(3, LinkTableModel::ResultColumn), QString("NO"));
    QCOMPARE(window.model().cell(4, LinkTableModel::ResultColumn), QString("YES")); // skipped, kept
    QCOMPARE(testsupport::rowStates(state.table), QStringList({"", "YES", "YES", "NO", "YES"}));
    const QModelIndex cross = window.model().index(2, LinkTableModel::ResultColumn);
    QCOMPARE(window.model().data(cross, Qt::AccessibleTextRole).toString(), QString("NO"));
    QVERIFY(!window.model().data(cross, Qt::DecorationRole).value<QPixmap>().isNull());
    // Every dial is back at its idle picture.
    for (int i = 0; i < window.indicatorCount(); ++i) {
        QVERIFY(!window.checker().shownStage(i));
        QCOMPARE(window.indicator(i)->accessibleDescription(), QString("空闲"));
    }
}

void WindowRunTest::sliderRebuildsIndicatorsAndLayout()
{
    testsupport::WindowFixture f;
    QVERIFY(f.start());
    ui::MainWindow& window = f.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int gridHeight = window.grid()->height();

    window.slider()->setValue(40);
    QCOMPARE(window.indicatorCount(), 40);
    QCOMPARE(window.panelText(3), QString("线程数：40"));
    QCOMPARE(window.indicator(39)->accessibleName(), QString("探测通道 40"));
    // The forty dials take a second row, which the grid makes room for: they stand in their rows under it.
    QStringList faults = testsupport::layoutFaults(testsupport::windowParts(window), 1);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    QVERIFY(window.indicator(39)->y() > window.indicator(0)->y());
    QVERIFY(window.grid()->height() < gridHeight);

    // Back at one channel, the grid takes the room back.
    window.slider()->setValue(1);
    QCOMPARE(window.indicatorCount(), 1);
    QCOMPARE(window.grid()->height(), gridHeight);
    faults = testsupport::layoutFaults(testsupport::windowParts(window), 1);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

void WindowRunTest::currentCellFollowsTheLoadAndTheVerdicts()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    testsupport::WindowFixture f;
    const int rows = 60; // more than the grid shows at once
    for (int i = 1; i <= rows; ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i, 2, 10, QLatin1Char('0')), server.url("/200")));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ui::FavoritesGrid& grid = *w.grid();
    auto cell = [&](int row, int column) { return w.grid()->indexOf(row, column); };
    auto inView = [&](const QModelIndex& index) { return grid.viewport()->rect().contains(grid.visualRect(index)); };
    // The load ends on its last cell, its row scrolled to with the folder column still in sight.
    QCOMPARE(grid.currentIndex(), cell(rows, LinkTableModel::History4Column));
    QVERIFY(inView(cell(rows, LinkTableModel::FolderColumn)));

    // During the run the current cell is always the cell of a verdict written, in view; it ends on the last one.
    grid.setCurrentIndex(cell(1, 0));
    grid.scrollToTop();
    QSet<int> judged;
    int lastRow = 0;
    connect(&w.checker(), &checker::LinkChecker::verdict, this, [&](int row) {
        judged.insert(row);
        lastRow = row;
    });
    QSet<int> visited;
    int wrong = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        const QModelIndex current = grid.currentIndex();
        if (judged.isEmpty())
            return;
        visited.insert(w.grid()->tableRow(current));
        if (current.column() != LinkTableModel::ResultColumn || !judged.contains(w.grid()->tableRow(current)) ||
            !inView(current))
            ++wrong;
    });
    testsupport::ModalWatcher watcher;
    QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
    w.slider()->setValue(10);
    sampler.start(5);
    w.runCommand(jobs::Command::StartCheck);
    QVERIFY(finished.wait(20000));
    QCOMPARE(judged.size(), rows);
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"检测完毕"});
    QCOMPARE(grid.currentIndex(), cell(lastRow, LinkTableModel::ResultColumn));
    QCOMPARE(wrong, 0);
    QVERIFY(visited.size() >= 2);
}

// Sorted the other way and narrowed to the rows found dead, the grid shows the check as it goes, but the check asks
// the table's rows in their order, every one of them, and the current cell follows each verdict's row.
void WindowRunTest::sortAndFilterLeaveTheCheckAlone()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    testsupport::WindowFixture f;
    const int rows = 8;
    for (int i = 1; i <= rows; ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i), server.url(i % 2 ? "/200" : "/reset")));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ui::FavoritesGrid& grid = *w.grid();
    grid.sortByColumn(LinkTableModel::NameColumn, Qt::DescendingOrder);
    w.gridPanel()->shownChoice()->setCurrentIndex(int(ui::FavoritesFilter::Shown::DeadThisCheck));
    QCOMPARE(grid.model()->rowCount(), 0);
    QList<int> asked;
    connect(&w.checker(), &checker::LinkChecker::verdict, this, [&](int row) { asked.append(row); });
    testsupport::ModalWatcher watcher;
    QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
    w.runCommand(jobs::Command::StartCheck); // one channel: the rows one after another
    QVERIFY(finished.wait(20000));
    QCOMPARE(asked, QList<int>({1, 2, 3, 4, 5, 6, 7, 8}));
    // The last dead row, shown first, is the current one.
    QTRY_COMPARE(grid.currentIndex(), grid.indexOf(rows, LinkTableModel::ResultColumn));
    QCOMPARE(grid.currentIndex().row(), 0);
    QStringList shown;
    for (int r = 0; r < grid.model()->rowCount(); ++r)
        shown << grid.model()->index(r, LinkTableModel::NameColumn).data().toString();
    QCOMPARE(shown, QStringList({"f8", "f6", "f4", "f2"}));
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"检测完毕"});
}

QTEST_MAIN(WindowRunTest)
#include "tst_windowrun.moc"
