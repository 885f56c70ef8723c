#include <QApplication>
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

    window.Toolbar1_ButtonClick(jobs::Command::StartCheck);
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
        QVERIFY(!window.checker().shownState(i));
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
    QTableView& grid = *w.grid();
    auto cell = [&](int row, int column) { return w.model().index(row - 1, column); };
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
        visited.insert(current.row());
        if (current.column() != LinkTableModel::ResultColumn || !judged.contains(current.row() + 1) || !inView(current))
            ++wrong;
    });
    testsupport::ModalWatcher watcher;
    QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
    w.slider()->setValue(10);
    sampler.start(5);
    w.Toolbar1_ButtonClick(jobs::Command::StartCheck);
    QVERIFY(finished.wait(20000));
    QCOMPARE(judged.size(), rows);
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"检测完毕"});
    QCOMPARE(grid.currentIndex(), cell(lastRow, LinkTableModel::ResultColumn));
    QCOMPARE(wrong, 0);
    QVERIFY(visited.size() >= 2);
}

QTEST_MAIN(WindowRunTest)
#include "tst_windowrun.moc"
