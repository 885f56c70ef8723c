#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolTip>

#include "platform/Paths.h"
#include "support/ModalWatcher.h"
#include "support/TempFavorites.h"
#include "support/WindowFixture.h"
#include "table/AppState.h"
#include "ui/EditDialog.h"
#include "ui/MainWindow.h"

using table::LinkTableModel;
using testsupport::ModalWatcher;
using testsupport::WindowFixture;

namespace
{

// The toolbar's commands: key, name (the tooltip) and shortcut.
struct Command
{
    const char* key;
    const char* name;
    const char* shortcut;
};
const Command kCommands[] = {{"a", "开始检测", "F5"},         {"b", "停止检测", "Esc"},
                             {"c", "保存检测结果", "Ctrl+S"}, {"d", "删除收藏夹无效地址", "Ctrl+D"},
                             {"e", "备份收藏夹", "Ctrl+B"},   {"f", "还原收藏夹", "Ctrl+R"},
                             {"g", "关于软件", "F1"},         {"h", "退出程序", "Ctrl+Q"}};

// True when the window stands centred in `area`, or at its left or top edge along an axis where it is larger than
// the area. A window is placed before its frame is known: the frame may put it off by its own width.
bool centredIn(const QWidget& window, const QRect& area)
{
    const QRect frame = window.frameGeometry();
    const QSize margins = frame.size() - window.size();
    auto axis = [](int pos, int size, int areaPos, int areaSize, int margin) {
        if (size > areaSize)
            return pos == areaPos;
        return qAbs(2 * (pos - areaPos) + size - areaSize) <= 2 + margin;
    };
    return axis(frame.x(), frame.width(), area.x(), area.width(), margins.width()) &&
           axis(frame.y(), frame.height(), area.y(), area.height(), margins.height());
}

QString accessibleText(QObject* object, QAccessible::Text t)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(t) : QStringLiteral("<no interface>");
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpFindsFavoritesAndLoadsBehindBusyNotice();
    void missingFavoritesFolderGivesEmptyTable();
    void noFavoritesValueGivesEmptyTable();
    void myClearEmptiesGridAndInformationPanel();
    void opensCentredAndSoDoesTheEditDialog();
    void editMovesCurrentCellToTheAddress();
    void minimumSizeKeepsEveryPartApart_data();
    void minimumSizeKeepsEveryPartApart();
    void screenReadersSeeFrameStatusBarAndShortcuts();
    void everyCommandRunsFromTheKeyboard_data();
    void everyCommandRunsFromTheKeyboard();
    void tabReachesEveryToolbarButton();
};

void MainWindowTest::startUpFindsFavoritesAndLoadsBehindBusyNotice()
{
    QTemporaryDir dir;
    const QString fav = platform::joinPath(dir.path(), "Favorites");
    QVERIFY(testsupport::writeFile(fav + "/a.url", testsupport::shortcutBytes("http://a.test/")));
    QVERIFY(testsupport::writeFile(fav + "/链接/b.url", testsupport::shortcutBytes("http://b.test/")));
    QVERIFY(testsupport::writeFile(dir.filePath("data.txt"), (fav + "|a.url|NO|NO|||\r\n").toUtf8()));
    qputenv("TESSALY_FAVORITES", fav.toUtf8());

    table::AppState state;
    state.programFolder = dir.path();
    ui::MainWindow window(state);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    window.show();

    // Right after start-up the count is known but no row is loaded yet.
    QCOMPARE(state.catalogue.favPath, fav);
    QCOMPARE(window.panelText(3), QString("地址 2 条"));
    QCOMPARE(window.model().dataRowCount(), 0);
    QCOMPARE(state.catalogue.folderCount, 1);

    QTRY_VERIFY(window.busyNotice()->isVisible());
    QVERIFY(loaded.wait(5000));
    QVERIFY(!window.busyNotice()->isVisible());
    QCOMPARE(window.model().dataRowCount(), 2);
    QCOMPARE(window.model().cell(1, LinkTableModel::History2Column), QString("NO"));
    QCOMPARE(window.model().cell(2, LinkTableModel::FolderColumn), QString(platform::separator()) + "链接");
    QCOMPARE(window.panelText(1), QString("Tessaly(2005版)"));
    QCOMPARE(window.panelText(2), QString("信息"));
    QCOMPARE(window.panelText(4), QString("状态"));
    QCOMPARE(window.panelText(6), QString("日期"));
    QVERIFY(!window.panelText(7).isEmpty());
}

void MainWindowTest::missingFavoritesFolderGivesEmptyTable()
{
    QTemporaryDir dir;
    qputenv("TESSALY_FAVORITES", dir.filePath("no-such-folder").toUtf8());
    table::AppState state;
    state.programFolder = dir.path();
    ui::MainWindow window(state);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    QCOMPARE(window.panelText(3), QString("地址 0 条"));
    QVERIFY(loaded.wait(5000));
    QCOMPARE(window.model().rowCount(), 1);
    QCOMPARE(state.catalogue.fileCount, 0);
}

void MainWindowTest::noFavoritesValueGivesEmptyTable()
{
    QTemporaryDir dir;
    qputenv("TESSALY_FAVORITES", "");
    table::AppState state;
    state.programFolder = dir.path();
    ui::MainWindow window(state);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    QCOMPARE(state.catalogue.favPath, QString());
    QCOMPARE(window.panelText(3), QString("地址 0 条"));
    QVERIFY(loaded.wait(5000));
    QCOMPARE(state.catalogue.fileCount, 0);
}

void MainWindowTest::myClearEmptiesGridAndInformationPanel()
{
    QTemporaryDir dir;
    const QString fav = platform::joinPath(dir.path(), "Favorites");
    QVERIFY(testsupport::writeFile(fav + "/a.url", testsupport::shortcutBytes("http://a.test/")));
    qputenv("TESSALY_FAVORITES", fav.toUtf8());
    table::AppState state;
    state.programFolder = dir.path();
    ui::MainWindow window(state);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    QVERIFY(loaded.wait(5000));
    window.myClear();
    QCOMPARE(window.panelText(3), QString());
    QCOMPARE(window.model().rowCount(), 1);
    QCOMPARE(window.model().dataRowCount(), 0);
    QCOMPARE(state.table.rowCount(), 1);
}

void MainWindowTest::opensCentredAndSoDoesTheEditDialog()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QRect screen = w.screen()->availableGeometry();
    QVERIFY2(centredIn(w, screen), qPrintable(QString("%1,%2").arg(w.x()).arg(w.y())));

    // Centred on the screen, not over the main window, wherever that has been moved.
    w.move(screen.topLeft() - QPoint(300, 200));
    ModalWatcher watcher;
    bool dialogCentred = false;
    watcher.onNext([&](QWidget* widget) {
        dialogCentred = centredIn(*widget, screen);
        testsupport::closeModal(widget);
    });
    w.MSHFlexGrid1_DblClick(1);
    QCOMPARE(watcher.count(), 1);
    QVERIFY(dialogCentred);
}

void MainWindowTest::editMovesCurrentCellToTheAddress()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.addFavorite("b.url", "http://b.test/"));
    QVERIFY(f.addFavorite("c.url", "http://c.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const QModelIndex afterLoad = w.grid()->currentIndex();
    QCOMPARE(afterLoad, w.model().index(2, LinkTableModel::History4Column));

    // Cancelled: nothing written, the current cell stays.
    ModalWatcher watcher;
    w.MSHFlexGrid1_DblClick(2);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(w.grid()->currentIndex(), afterLoad);

    watcher.onNext([](QWidget* widget) {
        auto* dialog = qobject_cast<ui::EditDialog*>(widget);
        QVERIFY(dialog);
        dialog->addressBox()->setText("http://b2.test/");
        dialog->applyButton()->click();
    });
    w.MSHFlexGrid1_DblClick(2);
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(w.model().cell(2, LinkTableModel::AddressColumn), QString("http://b2.test/"));
    QCOMPARE(w.grid()->currentIndex(), w.model().index(1, LinkTableModel::AddressColumn));
}

void MainWindowTest::minimumSizeKeepsEveryPartApart_data()
{
    QTest::addColumn<int>("channels");
    QTest::newRow("one channel") << 1;
    QTest::newRow("forty channels") << 40;
}

void MainWindowTest::minimumSizeKeepsEveryPartApart()
{
    QFETCH(int, channels);
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.slider()->setValue(channels);
    w.resize(200, 150);
    QTRY_COMPARE(w.size(), w.minimumSize());
    QVERIFY(w.width() > 200 && w.height() > 150);
    QCoreApplication::processEvents();

    // The window's parts lie inside it and apart from each other.
    QList<QWidget*> parts{w.toolbar(), w.grid(), w.statusPanels()};
    for (int i = 0; i < w.indicatorCount(); ++i)
        parts.append(w.indicator(i));
    const QRect client = w.centralWidget()->rect();
    for (int i = 0; i < parts.size(); ++i) {
        QVERIFY2(client.contains(parts.at(i)->geometry()), qPrintable(parts.at(i)->objectName()));
        for (int j = i + 1; j < parts.size(); ++j)
            QVERIFY2(!parts.at(i)->geometry().intersects(parts.at(j)->geometry()),
                     qPrintable(parts.at(i)->objectName() + " / " + parts.at(j)->objectName()));
    }
    // The grid keeps its header and a row; the busy notice stands on the grid.
    QVERIFY(w.grid()->viewport()->height() >= w.grid()->rowHeight(0));
    QVERIFY(w.grid()->geometry().contains(w.busyNotice()->geometry()));

    // Every toolbar button shows, apart from the slider group, which stays inside the toolbar.
    QList<QWidget*> sliderGroup{w.slider()};
    for (QLabel* label : w.toolbar()->findChildren<QLabel*>())
        sliderGroup.append(label);
    for (const Command& command : kCommands) {
        QWidget* button = w.toolbar()->widgetForAction(w.action(command.key));
        QVERIFY2(button->isVisible(), command.key);
        for (QWidget* other : sliderGroup)
            QVERIFY2(!button->geometry().intersects(other->geometry()), command.key);
    }
    for (QWidget* other : sliderGroup)
        QVERIFY2(w.toolbar()->rect().contains(other->geometry()), qPrintable(other->objectName()));

    // The status panels stand side by side inside the status bar, each text whole.
    for (int p = 1; p <= 7; ++p) {
        QLabel* panel = w.panel(p);
        QVERIFY2(w.statusPanels()->rect().contains(panel->geometry()), qPrintable(panel->text()));
        QVERIFY2(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()),
                 qPrintable(panel->text()));
        if (p > 1)
            QVERIFY(panel->x() > w.panel(p - 1)->geometry().right());
    }
}

void MainWindowTest::screenReadersSeeFrameStatusBarAndShortcuts()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();

    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&w);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QString("Tessaly(2005版)"));
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(w.statusPanels());
    QCOMPARE(status->role(), QAccessible::StatusBar);
    QCOMPARE(status->text(QAccessible::Name), QString("状态栏"));
    QCOMPARE(status->childCount(), 7);
    QCOMPARE(accessibleText(w.panel(3), QAccessible::Name), QString("地址 1 条"));
    QCOMPARE(accessibleText(w.panel(3), QAccessible::Description), QString("信息"));
    QCOMPARE(accessibleText(w.panel(5), QAccessible::Description), QString("检测状态"));

    for (const Command& command : kCommands) {
        QWidget* button = w.toolbar()->widgetForAction(w.action(command.key));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QString(command.name));
        QVERIFY(iface->state().focusable);
        QAccessibleActionInterface* actions = iface->actionInterface();
        QVERIFY(actions);
        QCOMPARE(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                 QStringList{command.shortcut});
        // The tooltip is the name alone, also where the tooltip shows and for screen readers.
        QCOMPARE(iface->text(QAccessible::Description), QString(command.name));
        QCOMPARE(button->toolTip(), QString(command.name));
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(button, &help);
        QTRY_COMPARE(QToolTip::text(), QString(command.name));
        QToolTip::hideText();
    }
}

void MainWindowTest::everyCommandRunsFromTheKeyboard_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QKeySequence>("keys");
    // "h" ends the program: its shortcut is checked with the others through the accessibility bus.
    for (const Command& command : kCommands) {
        if (QLatin1String(command.key) != QLatin1String("h"))
            QTest::newRow(command.name) << command.key << QKeySequence(QString::fromLatin1(command.shortcut));
    }
}

void MainWindowTest::everyCommandRunsFromTheKeyboard()
{
    QFETCH(QString, key);
    QFETCH(QKeySequence, keys);
    WindowFixture f;
    // Not an http address: a check started here skips it and sends nothing.
    QVERIFY(f.addFavorite("a.url", "ftp://127.0.0.1/a"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.grid()->setFocus();

    ModalWatcher watcher;
    QSignalSpy triggered(w.action(key), &QAction::triggered);
    QTest::keySequence(&w, keys);
    QCOMPARE(triggered.count(), 1);
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void MainWindowTest::tabReachesEveryToolbarButton()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.grid()->setFocus();

    QList<QWidget*> expected;
    for (const Command& command : kCommands)
        expected.append(w.toolbar()->widgetForAction(w.action(command.key)));
    expected << w.slider() << w.grid();
    QList<QWidget*> reached;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.append(QApplication::focusWidget());
    }
    QCOMPARE(reached, expected);
    // Space on a focused button runs its command.
    QSignalSpy about(w.action("g"), &QAction::triggered);
    ModalWatcher watcher;
    expected.at(6)->setFocus();
    QTest::keyClick(expected.at(6), Qt::Key_Space);
    QTRY_COMPARE(about.count(), 1);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
