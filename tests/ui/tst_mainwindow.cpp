#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QScopeGuard>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolTip>

#include "jobs/AppState.h"
#include "platform/Paths.h"
#include "support/ChildRun.h"
#include "support/ModalWatcher.h"
#include "support/WindowFixture.h"
#include "table/LinkTable.h"
#include "ui/CommandBar.h"
#include "ui/EditDialog.h"
#include "ui/Fonts.h"
#include "ui/MainWindow.h"
#include "ui/StatusPanels.h"
#include "ui/Translation.h"

using testsupport::ModalWatcher;
using testsupport::WindowFixture;
using ui::LinkTableModel;

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpFindsFavoritesAndLoadsBehindBusyNotice();
    void unusableFavoritesValueGivesEmptyTable_data();
    void unusableFavoritesValueGivesEmptyTable();
    void myClearEmptiesGridAndInformationPanel();
    void resultPicturesAndAccessibleText();
    void longAddressShowsItsBeginning();
    void qtTranslationWhateverTheLocale();
    void editMovesCurrentCellToTheAddress();
    void keysOpenTheEditDialog_data();
    void keysOpenTheEditDialog();
    void everyPartStandsApart_data();
    void everyPartStandsApart();
    void everyTextShowsWhole_data();
    void everyTextShowsWhole();
    void keyboardReachesEveryCommand();
};

void MainWindowTest::startUpFindsFavoritesAndLoadsBehindBusyNotice()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.addFavorite("链接/b.url", "http://b.test/"));
    QVERIFY(f.writeResults({"|a.url|NO|NO||"}));
    f.open();
    ui::MainWindow& window = f.window();
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);

    // Right after start-up the folder is known but no row is loaded yet: the files are collected behind the notice.
    QCOMPARE(f.state.catalogue.favPath, f.fav());
    QCOMPARE(window.model().dataRowCount(), 0);

    QTRY_VERIFY(window.busyNotice()->isVisible());
    QVERIFY(loaded.wait(5000));
    QVERIFY(!window.busyNotice()->isVisible());
    QCOMPARE(window.panelText(3), QString("地址 2 条"));
    QCOMPARE(f.state.catalogue.folderCount, 1);
    QCOMPARE(window.model().dataRowCount(), 2);
    QCOMPARE(window.model().cell(1, LinkTableModel::History2Column), QString("NO"));
    QCOMPARE(window.model().cell(2, LinkTableModel::FolderColumn), QString(platform::separator()) + "链接");
    QCOMPARE(window.panelText(1), QString("Tessaly(2005版)"));
    QCOMPARE(window.panelText(2), QString("信息"));
    QCOMPARE(window.panelText(4), QString("状态"));
    QCOMPARE(window.panelText(6), QString("日期"));
    QVERIFY(!window.panelText(7).isEmpty());
}

void MainWindowTest::unusableFavoritesValueGivesEmptyTable_data()
{
    QTest::addColumn<QString>("folder"); // under the fixture's root; "" for no value at all

    QTest::newRow("folder missing") << "no-such-folder";
    QTest::newRow("no value") << "";
}

// An empty catalogue: the grid keeps its header and one blank row, and the count is 0.
void MainWindowTest::unusableFavoritesValueGivesEmptyTable()
{
    QFETCH(QString, folder);
    WindowFixture f;
    const QString value = folder.isEmpty() ? QStringLiteral("") : platform::joinPath(f.root(), folder);
    QVERIFY(f.start(value));
    ui::MainWindow& window = f.window();
    QCOMPARE(f.state.catalogue.favPath, value);
    QCOMPARE(window.panelText(3), QString("地址 0 条"));
    QCOMPARE(f.state.catalogue.fileCount, 0);
    QCOMPARE(f.state.table.rowCount(), 0);
    QCOMPARE(window.model().rowCount(), 1);
    QCOMPARE(window.model().dataRowCount(), 0);
    QCOMPARE(window.model().data(window.model().index(0, 0)), QVariant());
}

void MainWindowTest::myClearEmptiesGridAndInformationPanel()
{
    WindowFixture f;
    for (int i = 0; i < 50; ++i)
        QVERIFY(f.addFavorite(QString("f%1.url").arg(i, 2, 10, QChar('0')), "http://x.test/"));
    QVERIFY(f.start());
    ui::MainWindow& window = f.window();
    QAbstractItemModelTester tester(&window.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(window.model().rowCount(), 50);
    window.myClear();
    QCOMPARE(window.panelText(3), QString());
    QCOMPARE(window.model().rowCount(), 1);
    QCOMPARE(window.model().dataRowCount(), 0);
    QCOMPARE(window.model().cell(1, LinkTableModel::NameColumn), QString());
    QCOMPARE(window.model().headerData(0, Qt::Horizontal).toString(), QString("路径"));
    // The per-row data outlives the grid reset: saving reads it afterwards.
    QCOMPARE(f.state.table.rowCount(), 50);
}

void MainWindowTest::resultPicturesAndAccessibleText()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("a.url", "http://a.test/"));
    QVERIFY(f.writeResults({"|a.url|YES|NO|yes|"}));
    QVERIFY(f.start());
    LinkTableModel& model = f.window().model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QPixmap yes(12, 12);
    yes.fill(Qt::green);
    QPixmap no(12, 12);
    no.fill(Qt::red);
    model.setResultPictures(yes, no);

    const QModelIndex h1 = model.index(0, LinkTableModel::History1Column);
    const QModelIndex h2 = model.index(0, LinkTableModel::History2Column);
    const QModelIndex h3 = model.index(0, LinkTableModel::History3Column);
    QCOMPARE(model.data(h1, Qt::DecorationRole).value<QPixmap>().toImage(), yes.toImage());
    QCOMPARE(model.data(h1, Qt::DisplayRole), QVariant());
    QCOMPARE(model.data(h1, Qt::AccessibleTextRole).toString(), QString("YES"));
    QCOMPARE(model.data(h2, Qt::DecorationRole).value<QPixmap>().toImage(), no.toImage());
    QCOMPARE(model.data(h2, Qt::AccessibleTextRole).toString(), QString("NO"));
    // Anything but the exact words is shown as text.
    QCOMPARE(model.data(h3, Qt::DisplayRole).toString(), QString("yes"));
    QCOMPARE(model.data(h3, Qt::DecorationRole), QVariant());
    // The address column never becomes a picture, whatever it holds.
    const table::LinkRow& row = f.state.table.row(1);
    f.state.table.setFavorite(1, row.fileName, row.filePath, row.folder, "YES");
    QCOMPARE(model.data(model.index(0, LinkTableModel::AddressColumn)).toString(), QString("YES"));
}

// An address of a megabyte stays whole in the table, but the grid's cell, its tool tip and its accessible text show
// only its beginning: hovering the cell with the whole address in its tool tip froze the window for seconds.
void MainWindowTest::longAddressShowsItsBeginning()
{
    WindowFixture f;
    QVERIFY(f.addFavorite("long.url", "http://short.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Ends in an emoji, a pair of UTF-16 units, wherever a cut falls.
    QString address = QStringLiteral("http://long.test/");
    while (address.size() < 1024 * 1024)
        address += QStringLiteral("路径😀");
    const table::LinkRow& row = f.state.table.row(1);
    f.state.table.setFavorite(1, row.fileName, row.filePath, row.folder, address);
    QCOMPARE(f.state.table.rowUrl(1), address);
    QCOMPARE(w.model().cell(1, LinkTableModel::AddressColumn), address);

    const QModelIndex cell = w.model().index(0, LinkTableModel::AddressColumn);
    const auto isBeginning = [&](const QString& shown) {
        // A few thousand characters at most, the address's own, and no half of a character at the cut.
        return shown.size() > 100 && shown.size() < 10000 && address.startsWith(shown.chopped(1)) &&
               !shown.chopped(1).back().isHighSurrogate();
    };
    for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole), int(Qt::AccessibleTextRole)})
        QVERIFY2(isBeginning(w.model().data(cell, role).toString()), qPrintable(QString::number(role)));

    // What the grid shows when the pointer rests on the cell.
    QTableView& grid = *w.grid();
    grid.scrollTo(cell);
    const QPoint at = grid.visualRect(cell).center();
    QHelpEvent hover(QEvent::ToolTip, at, grid.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid.viewport(), &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY(isBeginning(QToolTip::text()));
    QToolTip::hideText();
}

// Qt's own texts are Chinese whatever the locale (the tests run in C.UTF-8); a translation in the folder
// "translations" beside the program (where the Windows package puts it) comes before Qt's own folder.
void MainWindowTest::qtTranslationWhateverTheLocale()
{
    if (testsupport::isChildRun()) {
        QVERIFY(ui::loadQtTranslation());
        // Another language's file stands there under the Chinese name, so it shows which one was loaded.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Abbrechen"));
        return;
    }
    QVERIFY(ui::loadQtTranslation());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QString("确定"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));

    const QString german = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm";
    if (!QFile::exists(german))
        QSKIP("Qt's German translation is not installed");
    QTemporaryDir dir;
    const QString copy = dir.filePath("tst_mainwindow");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QDir().mkpath(dir.filePath("translations")));
    QVERIFY(QFile::copy(german, dir.filePath("translations/qtbase_zh_CN.qm")));
    QByteArray output;
    const int rc = testsupport::runSelfInChild({}, "qtTranslationWhateverTheLocale", "1", &output, 60000, copy);
    QVERIFY2(rc == 0, output.constData());
    QVERIFY2(output.contains("PASS   : MainWindowTest::qtTranslationWhateverTheLocale()"), output.constData());
}

void MainWindowTest::editMovesCurrentCellToTheAddress()
{
    WindowFixture f;
    for (const char* name : {"a.url", "b.url", "c.url"})
        QVERIFY(f.addFavorite(name, "http://x.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    // A load ends on its last cell.
    const QModelIndex afterLoad = w.model().index(2, LinkTableModel::History4Column);
    QCOMPARE(w.grid()->currentIndex(), afterLoad);

    ModalWatcher watcher; // a cancelled edit writes nothing and moves nothing
    w.MSHFlexGrid1_DblClick(2);
    QCOMPARE(w.grid()->currentIndex(), afterLoad);
    watcher.onNext([](QWidget* widget) {
        auto* dialog = qobject_cast<ui::EditDialog*>(widget);
        dialog->addressBox()->setText("http://b2.test/");
        dialog->applyButton()->click();
    });
    w.MSHFlexGrid1_DblClick(2);
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(w.model().cell(2, LinkTableModel::AddressColumn), QString("http://b2.test/"));
    QCOMPARE(w.grid()->currentIndex(), w.model().index(1, LinkTableModel::AddressColumn));
}

void MainWindowTest::keysOpenTheEditDialog_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier);
}

// On the grid these keys open the edit dialog for the current row, as a double click does.
void MainWindowTest::keysOpenTheEditDialog()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    WindowFixture f;
    for (const char* name : {"a.url", "b.url", "c.url"})
        QVERIFY(f.addFavorite(name, "http://x.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.grid()->setFocus();
    w.grid()->setCurrentIndex(w.model().index(1, LinkTableModel::FolderColumn));

    ModalWatcher watcher;
    QString name;
    watcher.onNext([&](QWidget* widget) {
        if (auto* dialog = qobject_cast<ui::EditDialog*>(widget))
            name = dialog->nameBox()->text();
        testsupport::closeModal(widget);
    });
    QTest::keyClick(w.grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_COMPARE(watcher.count(), 1);
    QCOMPARE(watcher.seen().constFirst().title, QString("修改"));
    QCOMPARE(name, QString("b"));
    // Without a row, as in an empty grid, the key opens nothing.
    w.grid()->setCurrentIndex(QModelIndex());
    QTest::keyClick(w.grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCoreApplication::processEvents();
    QCOMPARE(watcher.count(), 1);
}

void MainWindowTest::everyPartStandsApart_data()
{
    QTest::addColumn<QSize>("size"); // the size asked for; (0, 0) for the least size the window allows
    QTest::addColumn<int>("channels");

    for (int channels : {1, 33, 40}) {
        QTest::addRow("least size, %d channels", channels) << QSize(0, 0) << channels;
        QTest::addRow("first size, %d channels", channels) << QSize() << channels;
        QTest::addRow("large, %d channels", channels) << QSize(1603, 1111) << channels;
    }
    QTest::newRow("narrow and tall, 40 channels") << QSize(0, 900) << 40;
}

// At any size and channel count: the toolbar, the grid, the rows of dials and the status bar fill the window
// without overlapping, the busy notice stays centred over the grid, and nothing sticks out of the toolbar or the
// status bar. Minimized, the window's parts collapse; restored, they are laid out again.
void MainWindowTest::everyPartStandsApart()
{
    QFETCH(QSize, size);
    QFETCH(int, channels);
    WindowFixture f;
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (size.isValid()) {
        // Below the least size (0 stands for it) the window keeps its least size.
        w.resize(size.expandedTo(QSize(1, 1)));
        QTRY_COMPARE(w.size(), size.expandedTo(w.minimumSize()));
    }
    // The channel count changes last: the new dials and the grid are laid out for it without a resize.
    w.slider()->setValue(channels);
    QCOMPARE(w.indicatorCount(), channels);
    const auto faults = [&w] {
        QStringList found = testsupport::layoutFaults(testsupport::windowParts(w), 1);
        found += testsupport::overlappingChildren(w.centralWidget(), w.busyNotice());
        found += testsupport::overlappingChildren(w.toolbar());
        found += testsupport::overlappingChildren(w.statusPanels());
        found += testsupport::overlappingChildren(w.busyNotice());
        return found;
    };
    QVERIFY2(faults().isEmpty(), qPrintable(faults().join(u'\n')));
    // Every toolbar button shows, left of the slider group; the status panels stand in their order.
    const int sliderGroup = w.toolbar()->findChild<QLabel*>("Text1")->x();
    for (QAction* action : w.toolbar()->actions()) {
        const QWidget* button = w.toolbar()->widgetForAction(action);
        QVERIFY(button->isVisible() && button->geometry().right() < sliderGroup);
    }
    for (int p = 2; p <= 7; ++p)
        QVERIFY(w.panel(p)->x() > w.panel(p - 1)->geometry().right());

    w.showMinimized();
    QTRY_VERIFY(w.grid()->size().isEmpty());
    for (int i = 0; i < w.indicatorCount(); ++i)
        QVERIFY(w.indicator(i)->size().isEmpty());
    QVERIFY(w.busyNotice()->size().isEmpty());
    w.showNormal();
    QTRY_VERIFY(!w.grid()->size().isEmpty());
    QVERIFY2(faults().isEmpty(), qPrintable(faults().join(u'\n')));
}

void MainWindowTest::everyTextShowsWhole_data()
{
    QTest::addColumn<QString>("family"); // of the system font; "" for the one found here
    QTest::addColumn<int>("larger");     // points added to its size

    QTest::newRow("system font") << QString() << 0;
    QTest::newRow("larger system font") << QString() << 1;
    // As on a Chinese system: a CJK face, whose lines are taller than a Latin face's of the same size.
    QTest::newRow("Chinese system font") << ui::songTiFamilies().value(0) << 0;
}

// Every text the window shows (toolbar captions, status panels, the busy notice) shows whole with the system's font
// and with every stand-in for 宋体; a panel widens for a longer text, and the window's least width with it.
void MainWindowTest::everyTextShowsWhole()
{
    QFETCH(QString, family);
    QFETCH(int, larger);
    if (testsupport::isChildRun())
        QCOMPARE(ui::songTiFamilies().value(0), testsupport::childRunValue());
    const QFont systemFont = QApplication::font();
    QFont font = systemFont;
    if (!family.isEmpty())
        font.setFamilies({family});
    font.setPointSizeF(font.pointSizeF() + larger);
    QApplication::setFont(font);
    const auto restoreFont = qScopeGuard([&systemFont] { QApplication::setFont(systemFont); });

    WindowFixture f;
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    const auto cutOff = [&w] {
        // The busy notice, hidden between loads, as it shows during one.
        return testsupport::cutOffTexts(&w) + testsupport::cutOffTexts(w.busyNotice()) +
               testsupport::overlappingChildren(w.toolbar()) + testsupport::overlappingChildren(w.busyNotice());
    };
    QVERIFY2(cutOff().isEmpty(), qPrintable(cutOff().join(u'\n')));

    // A text wider than its panel (a date in a wider font) widens the panel and the window's least size.
    w.statusPanels()->setPanelText(7, "2026年12月27日 星期日");
    w.resize(1, 1);
    QTRY_COMPARE(w.size(), w.minimumSize());
    QVERIFY2(cutOff().isEmpty(), qPrintable(cutOff().join(u'\n')));
    const QStringList apart =
        testsupport::overlappingChildren(w.statusPanels()) + testsupport::layoutFaults(testsupport::windowParts(w), 1);
    QVERIFY2(apart.isEmpty(), qPrintable(apart.join(u'\n')));

    if (!testsupport::isChildRun() && family.isEmpty() && larger == 0) {
        const QStringList others =
            testsupport::rerunWithOtherStandIns(QStringLiteral("everyTextShowsWhole:system font"));
        QVERIFY2(others.isEmpty(), qPrintable(others.join(u'\n')));
    }
}

void MainWindowTest::keyboardReachesEveryCommand()
{
    WindowFixture f;
    // Not an http address: the check started here sends nothing.
    QVERIFY(f.addFavorite("a.url", "ftp://127.0.0.1/a"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    ModalWatcher watcher;

    // Tab goes from the grid through the eight buttons and the slider back to the grid.
    QList<QWidget*> expected;
    for (QAction* action : w.toolbar()->actions())
        expected.append(w.toolbar()->widgetForAction(action));
    expected << w.slider() << w.grid();
    w.grid()->setFocus();
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // Each command's shortcut runs it (not 退出程序, which would end the test), the tooltip stays the bare name. The
    // check goes last: its end opens a message box of its own.
    const QStringList keys{"F5", "Esc", "Ctrl+S", "Ctrl+D", "Ctrl+B", "Ctrl+R", "F1"};
    for (int i : {1, 2, 3, 4, 5, 6, 0}) {
        QAction* action = w.toolbar()->actions().at(i);
        QSignalSpy triggered(action, &QAction::triggered);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // A command that changes data waits for the work of the one before (greyed until then).
        QTRY_VERIFY(action->isEnabled());
        w.activateWindow(); // not given back by every platform when a message box closes
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keySequence(&w, QKeySequence(keys.at(i)));
        QVERIFY2(triggered.count() == 1, qPrintable(keys.at(i)));
        QCOMPARE(w.toolbar()->widgetForAction(action)->toolTip(), action->text());
    }
    QTRY_COMPARE(watcher.messageTexts().constLast(), QString("检测完毕"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
