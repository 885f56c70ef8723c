#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "checker/LinkChecker.h"
#include "platform/Paths.h"
#include "support/LoopbackHttpServer.h"
#include "support/ModalWatcher.h"
#include "support/TempFavorites.h"
#include "support/WindowFixture.h"
#include "table/AppState.h"
#include "ui/MainWindow.h"

using table::LinkTableModel;

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

namespace
{

// The cell shows in the grid's viewport.
bool inView(const QTableView& grid, const QModelIndex& index)
{
    return grid.viewport()->rect().contains(grid.visualRect(index));
}

} // namespace

void WindowRunTest::runFillsResultColumnAndEndsWithMessage()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    QTemporaryDir dir;
    const QString fav = platform::joinPath(dir.path(), "Favorites");
    QVERIFY(testsupport::writeFile(fav + "/a-alive.url", testsupport::shortcutBytes(server.url("/200"))));
    QVERIFY(testsupport::writeFile(fav + "/b-missing.url", testsupport::shortcutBytes(server.url("/404"))));
    QVERIFY(testsupport::writeFile(fav + "/c-dead.url", testsupport::shortcutBytes(server.url("/reset"))));
    QVERIFY(testsupport::writeFile(fav + "/d-ftp.url", testsupport::shortcutBytes("ftp://127.0.0.1/")));
    qputenv("TESSALY_FAVORITES", fav.toUtf8());

    table::AppState state;
    state.programFolder = dir.path();
    ui::MainWindow window(state);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    QVERIFY(loaded.wait(5000));
    window.model().setCell(4, LinkTableModel::ResultColumn, "earlier");

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

    window.Toolbar1_ButtonClick("a");
    QCOMPARE(window.panelText(5), QString("正在检测"));
    QVERIFY(finished.wait(15000));
    QTRY_COMPARE(boxText, QString("检测完毕"));
    QVERIFY(boxHasExclamation);
    QCOMPARE(window.panelText(5), QString("检测完毕"));
    QCOMPARE(finished.count(), 1);

    QCOMPARE(window.model().cell(1, LinkTableModel::ResultColumn), QString("YES"));
    QCOMPARE(window.model().cell(2, LinkTableModel::ResultColumn), QString("YES"));
    QCOMPARE(window.model().cell(3, LinkTableModel::ResultColumn), QString("NO"));
    QCOMPARE(window.model().cell(4, LinkTableModel::ResultColumn), QString("earlier")); // skipped, kept
    QCOMPARE(state.table.rowState, QStringList({"", "YES", "YES", "NO", ""}));
    const QModelIndex cross = window.model().index(2, LinkTableModel::ResultColumn);
    QCOMPARE(window.model().data(cross, Qt::AccessibleTextRole).toString(), QString("NO"));
    QVERIFY(!window.model().data(cross, Qt::DecorationRole).value<QPixmap>().isNull());
    // Every dial is back at its idle picture.
    for (int i = 0; i < window.indicatorCount(); ++i)
        QCOMPARE(window.checker().picture(i), checker::LinkChecker::kIdlePicture);
}

void WindowRunTest::sliderRebuildsIndicatorsAndLayout()
{
    QTemporaryDir dir;
    qputenv("TESSALY_FAVORITES", dir.path().toUtf8());
    table::AppState state;
    state.programFolder = dir.path();
    ui::MainWindow window(state);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int gridHeight = window.grid()->height();

    window.slider()->setValue(40);
    QCOMPARE(window.indicatorCount(), 40);
    QCOMPARE(window.panelText(3), QString("线程数：40"));
    QCOMPARE(window.indicator(39)->accessibleName(), QString("探测通道 40"));
    // A second row of indicators takes one pitch (380 twips) off the grid.
    // (380 twips are 25 1/3 pixels; the grid's height is rounded to whole pixels.)
    QVERIFY2(qAbs(gridHeight - window.grid()->height() - 25) <= 1,
             qPrintable(QString("%1 -> %2").arg(gridHeight).arg(window.grid()->height())));
    QVERIFY(window.indicator(32)->y() > window.indicator(31)->y());
    QCOMPARE(window.indicator(32)->x(), window.indicator(0)->x());

    window.slider()->setValue(1);
    QCOMPARE(window.indicatorCount(), 1);
    QCOMPARE(window.grid()->height(), gridHeight);
}

void WindowRunTest::currentCellFollowsTheLoadAndTheVerdicts()
{
    testsupport::LoopbackHttpServer server;
    QVERIFY(server.listen());
    testsupport::WindowFixture f;
    // More rows than the grid shows at once; a few dead ones among them.
    const int rows = 60;
    for (int i = 1; i <= rows; ++i)
        QVERIFY(f.addFavorite(QStringLiteral("f%1.url").arg(i, 2, 10, QLatin1Char('0')),
                              server.url(i % 7 == 0 ? "/reset" : "/200")));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QTableView& grid = *w.grid();

    // After the load: the last cell written, the last row's 四次; its row is in view, the first columns still are.
    QCOMPARE(grid.currentIndex(), w.model().index(rows - 1, LinkTableModel::History4Column));
    QVERIFY(inView(grid, w.model().index(rows - 1, LinkTableModel::FolderColumn)));
    QCOMPARE(grid.horizontalScrollBar()->value(), 0);

    // During the run the current cell moves on to the cells of verdicts already written, each brought into view
    // wherever the user had moved; it ends on the last verdict's cell and stays there.
    grid.setCurrentIndex(w.model().index(0, 0));
    grid.scrollToTop();
    QSet<int> judged;
    int lastRow = 0;
    connect(&w.checker(), &checker::LinkChecker::verdict, this, [&](int row, const QString&) {
        judged.insert(row);
        lastRow = row;
    });
    QSet<int> visited;
    QStringList wrong;
    QTimer sampler;
    sampler.setInterval(5);
    connect(&sampler, &QTimer::timeout, this, [&] {
        const QModelIndex current = grid.currentIndex();
        if (current == w.model().index(0, 0) && judged.isEmpty())
            return;
        if (current.column() != LinkTableModel::ResultColumn || !judged.contains(current.row() + 1) ||
            !inView(grid, current))
            wrong.append(QStringLiteral("%1,%2").arg(current.row() + 1).arg(current.column()));
        visited.insert(current.row() + 1);
    });
    testsupport::ModalWatcher watcher;
    QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
    w.slider()->setValue(10);
    sampler.start();
    w.Toolbar1_ButtonClick("a");
    QVERIFY(finished.wait(20000));
    QCOMPARE(judged.size(), rows);
    QTRY_COMPARE(grid.currentIndex(), w.model().index(lastRow - 1, LinkTableModel::ResultColumn));
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"检测完毕"});
    QCOMPARE(grid.currentIndex(), w.model().index(lastRow - 1, LinkTableModel::ResultColumn));
    QVERIFY(inView(grid, grid.currentIndex()));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(' ')));
    QVERIFY2(visited.size() >= 2, qPrintable(QString::number(visited.size())));
}

QTEST_MAIN(WindowRunTest)
#include "tst_windowrun.moc"
