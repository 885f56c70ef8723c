#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QMenu>
#include <QSettings>
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
#include <QTcpServer>
#include <QToolTip>
#include <QUrl>

#include "checker/LinkChecker.h"
#include "platform/Paths.h"
#include "support/ChildRun.h"
#include "support/ModalWatcher.h"
#include "support/TempFavorites.h"
#include "support/WindowFixture.h"
#include "table/LinkTable.h"
#include "ui/BusyNotice.h"
#include "ui/CommandBar.h"
#include "ui/EditDialog.h"
#include "ui/GridPanel.h"
#include "ui/HttpsOption.h"
#include "ui/Fonts.h"
#include "ui/MainWindow.h"
#include "ui/StatusPanels.h"
#include "table/Rules.h"
#include "ui/FailureText.h"
#include "ui/RowMenu.h"
#include "ui/Translation.h"

using table::Outcome;
using table::Reason;
using testsupport::ModalWatcher;
using testsupport::WindowFixture;
using ui::LinkTableModel;

namespace
{

// Takes what QDesktopServices::openUrl would hand the system's browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// The names of the rows the grid shows, top to bottom.
QStringList shownNames(const ui::FavoritesGrid& grid)
{
    QStringList names;
    for (int r = 0; r < grid.model()->rowCount(); ++r)
        names << grid.model()->index(r, LinkTableModel::NameColumn).data().toString();
    return names;
}

QStringList actionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << action->text();
    return texts;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpFindsFavoritesAndLoadsBehindBusyNotice();
    void unusableFavoritesValueGivesEmptyTable_data();
    void unusableFavoritesValueGivesEmptyTable();
    void clearGridEmptiesGridAndInformationPanel();
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
    void outcomeTexts_data();
    void outcomeTexts();
    void resultCellTellsWhy();
    void rowMenuActsOnTheRightFavorite_data();
    void rowMenuActsOnTheRightFavorite();
    void browserOpensOnlyWebAddresses_data();
    void browserOpensOnlyWebAddresses();
    void shownChoiceNarrowsAndHeadersSort();
    void httpsOptionIsRemembered_data();
    void httpsOptionIsRemembered();
    void httpsOptionDecidesWhatIsAsked_data();
    void httpsOptionDecidesWhatIsAsked();
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

void MainWindowTest::clearGridEmptiesGridAndInformationPanel()
{
    WindowFixture f;
    for (int i = 0; i < 50; ++i)
        QVERIFY(f.addFavorite(QString("f%1.url").arg(i, 2, 10, QChar('0')), "http://x.test/"));
    QVERIFY(f.start());
    ui::MainWindow& window = f.window();
    QAbstractItemModelTester tester(&window.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester shown(window.grid()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(window.model().rowCount(), 50);
    window.clearGrid();
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
    ui::FavoritesGrid& grid = *w.grid();
    grid.scrollTo(grid.indexOf(1, LinkTableModel::AddressColumn));
    const QPoint at = grid.visualRect(grid.indexOf(1, LinkTableModel::AddressColumn)).center();
    QHelpEvent hover(QEvent::ToolTip, at, grid.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid.viewport(), &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY(isBeginning(QToolTip::text()));
    QToolTip::hideText();

    // So does the 结果 cell's tool tip of a favorite moved to such an address.
    f.state.table.setOutcome(1, Outcome::answer(301, address));
    const QString why = w.model().data(w.model().index(0, LinkTableModel::ResultColumn), Qt::ToolTipRole).toString();
    const QString told = QStringLiteral("服务器应答 301，已永久移到 ");
    QVERIFY(why.startsWith(told) && why.size() < 10000 && isBeginning(why.mid(told.size())));
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
    const QModelIndex afterLoad = w.grid()->indexOf(3, LinkTableModel::History4Column);
    QCOMPARE(w.grid()->currentIndex(), afterLoad);

    ModalWatcher watcher; // a cancelled edit writes nothing and moves nothing
    w.openEditor(2);
    QCOMPARE(w.grid()->currentIndex(), afterLoad);
    watcher.onNext([](QWidget* widget) {
        auto* dialog = qobject_cast<ui::EditDialog*>(widget);
        dialog->addressBox()->setText("http://b2.test/");
        dialog->applyButton()->click();
    });
    w.openEditor(2);
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(w.model().cell(2, LinkTableModel::AddressColumn), QString("http://b2.test/"));
    QCOMPARE(w.grid()->currentIndex(), w.grid()->indexOf(2, LinkTableModel::AddressColumn));
}

void MainWindowTest::keysOpenTheEditDialog_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier);
}

// On the grid these keys open the edit dialog for the current row, as a double click does, whatever the sort.
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
    // Sorted the other way, the grid's last row shows a.
    w.grid()->sortByColumn(LinkTableModel::NameColumn, Qt::DescendingOrder);
    w.grid()->setCurrentIndex(w.grid()->indexOf(1, LinkTableModel::FolderColumn));
    QCOMPARE(w.grid()->currentIndex().row(), 2);

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
    QCOMPARE(name, QString("a"));
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
        found += testsupport::overlappingChildren(w.gridPanel());
        return found;
    };
    QVERIFY2(faults().isEmpty(), qPrintable(faults().join(u'\n')));
    // Every toolbar button shows, left of the slider group; the status panels stand in their order.
    const int sliderGroup = w.toolbar()->findChild<QLabel*>("threadCaption")->x();
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

    // Tab goes from the grid through the eight buttons, the slider, the choice of what the grid shows and the https
    // option back to the grid.
    QList<QWidget*> expected;
    for (QAction* action : w.toolbar()->actions())
        expected.append(w.toolbar()->widgetForAction(action));
    expected << w.slider() << w.gridPanel()->shownChoice() << w.httpsOption() << w.grid();
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

void MainWindowTest::outcomeTexts_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("movedTo");
    QTest::addColumn<QString>("text");

    const QString to = QStringLiteral("http://new.test/新");
    QTest::newRow("200") << int(Reason::Answered) << 200 << ""
                         << "服务器应答 200";
    QTest::newRow("404") << int(Reason::Answered) << 404 << ""
                         << "服务器应答 404";
    QTest::newRow("500") << int(Reason::Answered) << 500 << ""
                         << "服务器应答 500";
    for (int status : {301, 308})
        QTest::addRow("%d", status) << int(Reason::Answered) << status << to
                                    << QStringLiteral("服务器应答 %1，已永久移到 ").arg(status) + to;
    for (int status : {302, 303, 307})
        QTest::addRow("%d", status) << int(Reason::Answered) << status << to
                                    << QStringLiteral("服务器应答 %1，临时转到 ").arg(status) + to;
    QTest::newRow("301 without a new address") << int(Reason::Answered) << 301 << ""
                                               << "服务器应答 301";
    QTest::newRow("name") << int(Reason::NameNotResolved) << 0 << ""
                          << "域名无法解析";
    QTest::newRow("refused") << int(Reason::ConnectionRefused) << 0 << ""
                             << "连接被拒绝";
    QTest::newRow("no connection") << int(Reason::CouldNotConnect) << 0 << ""
                                   << "无法连接到服务器";
    QTest::newRow("reset") << int(Reason::ConnectionReset) << 0 << ""
                           << "连接被重置";
    QTest::newRow("closed") << int(Reason::ClosedWithoutAnswer) << 0 << ""
                            << "服务器没有应答就断开了连接";
    QTest::newRow("not HTTP") << int(Reason::NotHttp) << 0 << ""
                              << "应答不是 HTTP";
    QTest::newRow("head too large") << int(Reason::HeadTooLarge) << 0 << ""
                                    << "应答头超过 300 KiB";
    QTest::newRow("timed out") << int(Reason::TimedOut) << 0 << ""
                               << "40 秒内没有应答";
    QTest::newRow("proxy") << int(Reason::ProxyCouldNotReach) << 0 << ""
                           << "代理服务器无法连接到该网站";
    QTest::newRow("TLS") << int(Reason::SecureConnectionFailed) << 0 << ""
                         << "安全连接失败";
    QTest::newRow("unknown") << int(Reason::Unknown) << 0 << ""
                             << "";
}

void MainWindowTest::outcomeTexts()
{
    QFETCH(int, reason);
    QFETCH(int, status);
    QFETCH(QString, movedTo);
    QFETCH(QString, text);
    Outcome outcome =
        reason == int(Reason::Answered) ? Outcome::answer(status, movedTo) : Outcome::failure(Reason(reason));
    if (reason == int(Reason::Unknown))
        outcome = Outcome::of(table::Verdict::Dead);
    QCOMPARE(ui::outcomeText(outcome), text);
}

// The 结果 cell tells why in its tool tip and its accessible description; a verdict with nothing known of its reason
// keeps the verdict's word as its tool tip and has no description.
void MainWindowTest::resultCellTellsWhy()
{
    WindowFixture f;
    for (const char* name : {"a.url", "b.url", "c.url"})
        QVERIFY(f.addFavorite(name, "http://x.test/"));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    f.state.table.setOutcome(1, Outcome::answer(301, "http://moved.test/"));
    f.state.table.setOutcome(2, Outcome::failure(Reason::ConnectionRefused));
    f.state.table.setOutcome(3, Outcome::of(table::Verdict::Alive));
    const QStringList tips{"服务器应答 301，已永久移到 http://moved.test/", "连接被拒绝", "YES"};
    const QStringList descriptions{tips.at(0), tips.at(1), ""};

    ui::FavoritesGrid& grid = *w.grid();
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    QVERIFY(table && table->tableInterface());
    for (int row = 1; row <= 3; ++row) {
        const QModelIndex cell = grid.indexOf(row, LinkTableModel::ResultColumn);
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), tips.at(row - 1));
        QCOMPARE(cell.data(Qt::AccessibleDescriptionRole).toString(), descriptions.at(row - 1));
        QCOMPARE(cell.data(Qt::AccessibleTextRole).toString(), row == 2 ? QString("NO") : QString("YES"));
        // What a screen reader reads of the cell.
        QAccessibleInterface* read = table->tableInterface()->cellAt(cell.row(), cell.column());
        QVERIFY(read);
        QCOMPARE(read->text(QAccessible::Description), descriptions.at(row - 1));
        // What shows when the pointer rests on it.
        const QPoint at = grid.visualRect(cell).center();
        QHelpEvent hover(QEvent::ToolTip, at, grid.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(grid.viewport(), &hover);
        QTRY_COMPARE(QToolTip::text(), tips.at(row - 1));
        QToolTip::hideText();
    }
}

void MainWindowTest::rowMenuActsOnTheRightFavorite_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("right button") << "right button";
    QTest::newRow("Menu key") << "Menu key";
    QTest::newRow("Shift+F10") << "Shift+F10";
}

// Whatever the sort, the menu acts on the favorite of the row it was opened on: in the browser, on the clipboard, in
// the edit dialog and with the new address of a permanent move, which the row shows at once.
void MainWindowTest::rowMenuActsOnTheRightFavorite()
{
    QFETCH(QString, how);
    WindowFixture f;
    for (const char* name : {"a", "b", "c", "d"})
        QVERIFY(f.addFavorite(QString("%1.url").arg(name), QString("http://%1.test/").arg(name)));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    table::LinkTable& table = f.state.table;
    table.setOutcome(2, Outcome::failure(Reason::ConnectionRefused));
    table.setOutcome(3, Outcome::answer(301, "http://c-new.test/"));
    table.setOutcome(4, Outcome::answer(302, "http://d-elsewhere.test/"));
    ui::FavoritesGrid& grid = *w.grid();
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.sortByColumn(LinkTableModel::NameColumn, Qt::DescendingOrder);
    QCOMPARE(shownNames(grid), QStringList({"d", "c", "b", "a"}));
    UrlCatcher browser;
    QDesktopServices::setUrlHandler("http", &browser, "open");
    const auto forgetHandler = qScopeGuard([] { QDesktopServices::unsetUrlHandler("http"); });

    // Opens the menu on the row the grid shows at viewRow; the menu that came up.
    const auto openOn = [&](int viewRow) -> QMenu* {
        if (QWidget* open = QApplication::activePopupWidget())
            open->close();
        const QModelIndex index = grid.model()->index(viewRow, LinkTableModel::NameColumn);
        if (how == "right button") {
            const QPoint at = grid.visualRect(index).center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(grid.viewport(), &event);
        } else {
            // Given back by not every platform when a dialog or a menu closes.
            w.activateWindow();
            if (!QTest::qWaitForWindowActive(&w))
                return nullptr;
            grid.setFocus();
            grid.setCurrentIndex(index);
            QTest::keyClick(&grid, how == "Menu key" ? Qt::Key_Menu : Qt::Key_F10,
                            how == "Menu key" ? Qt::NoModifier : Qt::ShiftModifier);
        }
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    const auto choose = [](QMenu* menu, const QString& text) {
        for (QAction* action : menu->actions()) {
            if (action->text() == text && action->isEnabled()) {
                menu->close();
                action->trigger();
                return true;
            }
        }
        return false;
    };

    QMenu* menu = openOn(1);
    QVERIFY(menu);
    QCOMPARE(actionTexts(menu), QStringList({"在浏览器中打开", "复制地址", "改为新地址", "修改"}));
    QCOMPARE(w.grid()->rowMenu()->row(), 3);
    // Through the menu itself: the second item by the keyboard.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString("http://c.test/"));
    QVERIFY(!QApplication::activePopupWidget());

    QVERIFY(choose(openOn(1), "在浏览器中打开"));
    QCOMPARE(browser.urls, QList<QUrl>{QUrl("http://c.test/")});

    ModalWatcher watcher;
    QString edited;
    watcher.onNext([&edited](QWidget* widget) {
        if (auto* dialog = qobject_cast<ui::EditDialog*>(widget))
            edited = dialog->nameBox()->text();
        testsupport::closeModal(widget);
    });
    QVERIFY(choose(openOn(1), "修改"));
    QTRY_COMPARE(edited, QString("c"));

    // Only a permanent move offers the new address.
    for (int viewRow : {0, 2, 3}) {
        menu = openOn(viewRow);
        QVERIFY(menu);
        QVERIFY(!menu->actions().at(2)->isEnabled());
        QVERIFY(menu->actions().at(0)->isEnabled());
    }
    QVERIFY(choose(openOn(1), "改为新地址"));
    QCOMPARE(table.rowUrl(3), QString("http://c-new.test/"));
    QVERIFY(testsupport::readFile(f.fav() + "/c.url").contains("URL=http://c-new.test/\r\n"));
    QCOMPARE(grid.indexOf(3, LinkTableModel::AddressColumn).data().toString(), QString("http://c-new.test/"));
    QCOMPARE(grid.currentIndex(), grid.indexOf(3, LinkTableModel::AddressColumn));
    // Now it is the favorite's address: nothing more to change.
    QVERIFY(!openOn(1)->actions().at(2)->isEnabled());

    // Ctrl+C on the grid copies the current row's whole address.
    QApplication::activePopupWidget()->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(2, LinkTableModel::ResultColumn));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("http://b.test/"));

    // A write that fails changes nothing and says why.
    table.setOutcome(2, Outcome::answer(308, "http://b-new.test/"));
    QVERIFY(QFile::remove(f.fav() + "/b.url"));
    watcher.clear();
    QVERIFY(choose(openOn(2), "改为新地址"));
    QTRY_COMPARE(watcher.count(), 1);
    QVERIFY2(watcher.messageTexts().value(0).startsWith("修改收藏失败："), qPrintable(watcher.messageTexts().value(0)));
    QCOMPARE(table.rowUrl(2), QString("http://b.test/"));
    QCOMPARE(watcher.count(), 1);
}

void MainWindowTest::browserOpensOnlyWebAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("opened"); // "" for none

    QTest::newRow("http") << "http://a.test/x?y=1"
                          << "http://a.test/x?y=1";
    QTest::newRow("https in capitals") << "HTTPS://A.test/"
                                       << "https://a.test/";
    QTest::newRow("Chinese path") << "http://a.test/新闻"
                                  << "http://a.test/新闻";
    QTest::newRow("a file") << "file:///C:/Windows/notepad.exe"
                            << "";
    QTest::newRow("a program by its path") << "C:\\Windows\\notepad.exe"
                                           << "";
    QTest::newRow("bookmarklet") << "javascript:alert(1)"
                                 << "";
    QTest::newRow("ftp") << "ftp://a.test/"
                         << "";
    QTest::newRow("no host") << "http:///path"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
}

// 在浏览器中打开 hands the system only web addresses: a favorite that names a file or a program is never started.
void MainWindowTest::browserOpensOnlyWebAddresses()
{
    QFETCH(QString, address);
    QFETCH(QString, opened);
    const QUrl url = ui::RowMenu::browserUrl(address);
    QCOMPARE(url.isEmpty(), opened.isEmpty());
    if (!opened.isEmpty())
        QCOMPARE(url, QUrl(opened));
}

// 显示 narrows the grid to the favorites that need the user, and a header click sorts it; the check, the commands
// and panel 3 go on with every favorite.
void MainWindowTest::shownChoiceNarrowsAndHeadersSort()
{
    WindowFixture f;
    const QStringList sites{"site10", "site2", "site1", "site3"};
    for (int i = 0; i < 4; ++i)
        QVERIFY(f.addFavorite(QString("%1.url").arg(QChar('a' + i)), QString("http://%1.test/").arg(sites.at(i))));
    // a and d failed four saved checks, b three, c answered once among four.
    QVERIFY(f.writeResults({"|a.url|NO|NO|NO|NO", "|b.url|NO|NO|NO|", "|c.url|YES|NO|NO|NO", "|d.url|NO|NO|NO|NO"}));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ui::FavoritesGrid& grid = *w.grid();
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QComboBox* choice = w.gridPanel()->shownChoice();
    QCOMPARE(choice->accessibleName(), QString("显示"));
    QStringList items;
    for (int i = 0; i < choice->count(); ++i)
        items << choice->itemText(i);
    QCOMPARE(items, QStringList({"全部收藏", "本次无应答", "将被删除"}));
    QCOMPARE(choice->currentIndex(), 0);
    QCOMPARE(shownNames(grid), QStringList({"a", "b", "c", "d"}));

    table::LinkTable& table = f.state.table;
    table.setOutcome(1, Outcome::failure(Reason::TimedOut));
    table.setOutcome(3, Outcome::answer(200));
    choice->setCurrentIndex(1);
    QCOMPARE(shownNames(grid), QStringList({"a"}));
    // A verdict that comes in shows at once.
    table.setOutcome(2, Outcome::failure(Reason::ConnectionRefused));
    QCOMPARE(shownNames(grid), QStringList({"a", "b"}));
    choice->setCurrentIndex(2);
    QCOMPARE(shownNames(grid), QStringList({"a", "d"}));
    QStringList toBeDeleted;
    for (int r = 0; r < grid.model()->rowCount(); ++r)
        toBeDeleted << table.fullPath(grid.tableRow(grid.model()->index(r, 0)));
    QCOMPARE(toBeDeleted, table::deadFavorites(table));
    QCOMPARE(w.panelText(3), QString("地址 4 条"));

    // A click on a header sorts by its column, figures by their value; a second click the other way.
    choice->setCurrentIndex(0);
    QHeaderView* header = grid.horizontalHeader();
    const QPoint addressHeader(header->sectionViewportPosition(LinkTableModel::AddressColumn) + 5,
                               header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, addressHeader);
    QCOMPARE(shownNames(grid), QStringList({"c", "b", "d", "a"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, addressHeader);
    QCOMPARE(shownNames(grid), QStringList({"a", "d", "b", "c"}));
    // A row whose address changes takes its place in the order.
    const table::LinkRow& c = table.row(3);
    table.setFavorite(3, c.fileName, c.filePath, c.folder, "http://site99.test/");
    QCOMPARE(shownNames(grid), QStringList({"c", "a", "d", "b"}));

    // 删除收藏夹无效地址 takes exactly what 将被删除 listed, whatever the grid shows.
    choice->setCurrentIndex(1);
    QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
    w.runCommand(jobs::Command::DeleteDead);
    QVERIFY(loaded.wait(10000));
    for (const QString& path : toBeDeleted)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(w.panelText(3), QString("地址 2 条"));
    QCOMPARE(shownNames(grid), QStringList({"b"}));
}

void MainWindowTest::httpsOptionIsRemembered_data()
{
    QTest::addColumn<QByteArray>("file"); // the settings file before the start; "<none>", "<folder>" for a folder there
    QTest::addColumn<bool>("on");         // the command at start-up

    QTest::newRow("no settings file") << QByteArray("<none>") << false;
    QTest::newRow("on") << QByteArray("[check]\nhttps=true\n") << true;
    QTest::newRow("anything else") << QByteArray("[check]\nhttps=yes\n") << false;
    QTest::newRow("not a settings file") << QByteArray("\xff\xfe[[[check\n=\n") << false;
    QTest::newRow("cannot be read or written") << QByteArray("<folder>") << false;
}

// 同时检测 https 地址 starts as the settings file in the data folder says (off unless it says true); a change takes
// effect at once and is kept for the next start. A settings file that cannot be read or written does not stop the
// program: the command starts off, works for this run, and the user is told once that it cannot be kept.
void MainWindowTest::httpsOptionIsRemembered()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, on);
    WindowFixture f;
    const QString path = ui::HttpsOption::settingsPath(f.program());
    QCOMPARE(path, f.program() + "/tessaly.ini");
    const bool writable = file != "<folder>";
    if (file == "<folder>")
        QVERIFY(QDir().mkpath(path));
    else if (file != "<none>")
        QVERIFY(testsupport::writeFile(path, file));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    ui::HttpsOption* option = w.httpsOption();
    QCOMPARE(option->text(), QString("同时检测 https 地址"));
    QCOMPARE(option->accessibleName(), option->text());
    QVERIFY(option->isCheckable());
    QCOMPARE(option->isChecked(), on);
    QCOMPARE(w.checker().httpsAsked(), on);

    ModalWatcher watcher;
    QSignalSpy notKept(option, &ui::HttpsOption::notRemembered);
    option->click();
    QCOMPARE(w.checker().httpsAsked(), !on);
    if (writable) {
        const QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(settings.value("check/https").toString(), QString(on ? "false" : "true"));
        QCOMPARE(notKept.count(), 0);
        f.close();
        QVERIFY(f.start());
        QCOMPARE(f.window().httpsOption()->isChecked(), !on);
        QCOMPARE(f.window().checker().httpsAsked(), !on);
        return;
    }
    QCOMPARE(notKept.count(), 1);
    QCOMPARE(watcher.messageTexts(), QStringList{notKept.at(0).at(0).toString()});
    QVERIFY(watcher.messageTexts().at(0).startsWith("无法写入设置文件 " + QDir::toNativeSeparators(path)));
    option->click();
    QCOMPARE(w.checker().httpsAsked(), on);
    QCOMPARE(notKept.count(), 1); // told once
}

void MainWindowTest::httpsOptionDecidesWhatIsAsked_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("off") << false;
    QTest::newRow("on") << true;
}

// Off, an https favorite is passed over as it always was; on, it is asked (here of a loopback port where nothing
// listens, so it is dead).
void MainWindowTest::httpsOptionDecidesWhatIsAsked()
{
    QFETCH(bool, on);
    WindowFixture f;
    quint16 closedPort = 0;
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        closedPort = server.serverPort();
    }
    QVERIFY(f.addFavorite("secure.url", QString("https://127.0.0.1:%1/").arg(closedPort)));
    QVERIFY(f.start());
    ui::MainWindow& w = f.window();
    if (on)
        w.httpsOption()->click();
    ModalWatcher watcher;
    QSignalSpy finished(&w, &ui::MainWindow::checkFinished);
    w.runCommand(jobs::Command::StartCheck);
    QVERIFY(finished.wait(20000));
    QCOMPARE(f.state.table.verdict(1), on ? table::Verdict::Dead : table::Verdict::None);
    QTRY_COMPARE(watcher.messageTexts(), QStringList{"检测完毕"});
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
