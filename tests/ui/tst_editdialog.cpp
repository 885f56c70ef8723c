#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "platform/Paths.h"
#include "support/FileModes.h"
#include "support/ModalWatcher.h"
#include "support/TempFavorites.h"
#include "support/Unprivileged.h"
#include "support/TreeSnapshot.h"
#include "support/WindowFixture.h"
#include "ui/LinkTableModel.h"
#include "ui/EditDialog.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using testsupport::folderContents;
using testsupport::gridRows;
using testsupport::ModalWatcher;
using testsupport::readFile;
using testsupport::WindowFixture;
using ui::LinkTableModel;

namespace
{

const QString kEditFailed = QStringLiteral("修改收藏失败");

// What the test does in the dialog, and what it saw there.
struct DialogRun
{
    QString folder;       // typed into the folder box, unless folderIndex >= 0
    int folderIndex = -1; // an entry of the folder list to choose
    QString name;
    QString address;
    QString press = "apply"; // "apply", "cancel", "close" or "keys"

    bool opened = false;
    int row = 0; // the table row the dialog was opened for
    bool openAfterPress = false;
    QString title;
    QString shownFolder;
    QStringList folderList;
    QString shownName;
    QString shownAddress;
};

// Double-clicks grid row `row` (1-based) and runs `run` in the dialog; a dialog left open is cancelled.
void editRow(ui::MainWindow& window, ModalWatcher& watcher, int row, DialogRun& run)
{
    watcher.onNext([&run](QWidget* widget) {
        auto* dialog = qobject_cast<ui::EditDialog*>(widget);
        if (!dialog) {
            testsupport::closeModal(widget);
            return;
        }
        run.opened = true;
        run.row = dialog->row();
        run.title = dialog->windowTitle();
        run.shownFolder = dialog->folderBox()->currentText();
        for (int i = 0; i < dialog->folderBox()->count(); ++i)
            run.folderList.append(dialog->folderBox()->itemText(i));
        run.shownName = dialog->nameBox()->text();
        run.shownAddress = dialog->addressBox()->text();

        if (run.folderIndex >= 0)
            dialog->folderBox()->setCurrentIndex(run.folderIndex);
        else
            dialog->folderBox()->setEditText(run.folder);
        dialog->nameBox()->setText(run.name);
        dialog->addressBox()->setText(run.address);
        if (run.press == "apply") {
            dialog->applyButton()->click();
        } else if (run.press == "cancel") {
            dialog->cancelButton()->click();
        } else if (run.press == "close") {
            dialog->close();
        } else {
            QWidget* focusable[] = {dialog->folderBox()->lineEdit(), dialog->nameBox(), dialog->addressBox(),
                                    dialog->applyButton(), dialog->cancelButton()};
            for (QWidget* target : focusable) {
                target->setFocus();
                for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                    QTest::keyClick(target, key);
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
        }
        run.openAfterPress = dialog->isVisible();
        if (dialog->isVisible())
            dialog->cancelButton()->click();
    });
    window.openEditor(row);
}

QString sep()
{
    return QString(platform::separator());
}

} // namespace

class EditDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void realDoubleClickOpensTheRow();
    void applyPaths_data();
    void applyPaths();
    void cancelAndCloseBoxChangeNothing_data();
    void cancelAndCloseBoxChangeNothing();
    void enterAndEscDoNotPressButtons();
    void doubleClickOffDataRowsDoesNothing();
    void doubleClickOnEmptyTableDoesNothing();
    void savedHistoryFollowsTheNewName();
    void folderListFollowsEveryLoad();
    void lockedFolderFailures_data();
    void lockedFolderFailures();
    void textBoxMenusAreChinese();

private:
    std::unique_ptr<WindowFixture> m_f;
};

void EditDialogTest::initTestCase()
{
    // As the program does at start-up: Qt's own texts in Chinese whatever the locale.
    QVERIFY(ui::loadQtTranslation());
}

void EditDialogTest::init()
{
    if (testsupport::isUnprivilegedChild())
        return;
    m_f = std::make_unique<WindowFixture>();
    QVERIFY(m_f->addFavorite("a.url", "http://a.test/"));
    QVERIFY(m_f->addFavorite("Sub/b.url", "http://b.test/"));
    QVERIFY(m_f->addFavorite("Sub/taken.url", "http://taken.test/"));
    QVERIFY(QDir().mkpath(m_f->fav() + "/Sub/Deep"));
    QVERIFY(QDir().mkpath(m_f->fav() + "/Other"));
    QVERIFY(QDir().mkpath(m_f->root() + "/x"));
    QVERIFY(m_f->writeResults({"|a.url|NO|YES||", "/Sub|b.url|NO|NO|NO|"}));
}

void EditDialogTest::cleanup()
{
    m_f.reset();
}

void EditDialogTest::realDoubleClickOpensTheRow()
{
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalWatcher watcher;
    DialogRun run;
    run.press = "cancel";
    QStringList faults;
    watcher.onNext([&run, &faults](QWidget* widget) {
        auto* dialog = qobject_cast<ui::EditDialog*>(widget);
        run.opened = dialog != nullptr;
        if (dialog) {
            // Its labels, boxes and buttons stand apart, their texts whole.
            faults = testsupport::cutOffTexts(dialog) + testsupport::overlappingChildren(dialog);
            run.row = dialog->row();
            run.shownFolder = dialog->folderBox()->currentText();
            for (int i = 0; i < dialog->folderBox()->count(); ++i)
                run.folderList.append(dialog->folderBox()->itemText(i));
            run.shownName = dialog->nameBox()->text();
            run.shownAddress = dialog->addressBox()->text();
            run.title = dialog->windowTitle();
        }
        testsupport::closeModal(widget);
    });
    QTableView* grid = w.grid();
    const QRect cell = grid->visualRect(w.grid()->indexOf(2, LinkTableModel::NameColumn));
    // A real double-click: the first click, then the second one that the system reports as a double-click.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTRY_VERIFY(run.opened);
    QCOMPARE(run.row, 2);
    QCOMPARE(run.title, QString("修改"));
    QCOMPARE(run.shownFolder, sep() + "Sub");
    QCOMPARE(run.folderList, QStringList({"", sep() + "Other", sep() + "Sub", sep() + "Sub" + sep() + "Deep"}));
    QCOMPARE(run.shownName, QString("b"));
    QCOMPARE(run.shownAddress, QString("http://b.test/"));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

void EditDialogTest::applyPaths_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("folder"); // "/" stands for the separator; "#n" chooses entry n of the list
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<QString>("result");  // where the favorite is afterwards, relative to the Favorites
    QTest::addColumn<bool>("untouched");  // refused before anything on disk changed
    QTest::addColumn<QString>("message"); // the message box's text, "%fav" for the Favorites folder; "" unchecked

    // Rows: 1 a.url, 2 Sub/b.url, 3 Sub/taken.url.
    QTest::newRow("address only") << 2 << "/Sub"
                                  << "b" << true << "Sub/b.url" << false << "";
    QTest::newRow("move to the Favorites root") << 2 << "#0"
                                                << "b" << true << "b.url" << false << "";
    QTest::newRow("move into a listed folder") << 1 << "#3"
                                               << "a" << true << "Sub/Deep/a.url" << false << "";
    QTest::newRow("rename") << 1 << ""
                            << "新的名称" << true << "新的名称.url" << false << "";
    QTest::newRow("name typed with its extension") << 1 << ""
                                                   << "a.url" << true << "a.url.url" << false << "";
    // Refused before anything is written, with a message of its own (not the hidden-file one).
    QTest::newRow("empty name") << 2 << "/Sub"
                                << "" << false << "Sub/b.url" << true << "修改收藏失败：名称不能为空";
    // A favorite of that name in the target folder, and a new address: refused before the address is written
    // anywhere; the file and the row stay as they were.
    QTest::newRow("name taken") << 1 << "/Sub"
                                << "taken" << false << "a.url" << true
                                << "修改收藏失败：已有同名的文件：%fav/Sub/taken.url";
    QTest::newRow("folder missing") << 1 << "/Nope"
                                    << "a" << false << "a.url" << true << "修改收藏失败：目录不存在：%fav/Nope";
    QTest::newRow("name with a separator")
        << 1 << ""
        << "../x/a" << false << "a.url" << true
        << "修改收藏失败：名称不能是“.”或“..”，也不能含有 \\ / : * ? \" < > | 或控制字符：../x/a";
    QTest::newRow("folder outside the Favorites") << 1 << "/../x"
                                                  << "a" << false << "a.url" << true << "";
}

void EditDialogTest::applyPaths()
{
    QFETCH(int, row);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(bool, applied);
    QFETCH(QString, result);
    QFETCH(bool, untouched);
    QFETCH(QString, message);
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    const QStringList before = gridRows(w.model());
    const QMap<QString, QByteArray> disk = folderContents(m_f->root());
    const QString original = row == 1 ? "a.url" : "Sub/b.url";
    const QString address = "http://new.test/路径";

    ModalWatcher watcher;
    DialogRun run;
    if (folder.startsWith("#"))
        run.folderIndex = folder.mid(1).toInt();
    else
        run.folder = folder.replace("/", sep());
    run.name = name;
    run.address = address;
    editRow(w, watcher, row, run);
    QVERIFY(run.opened);
    QCOMPARE(run.openAfterPress, !applied);
    QCOMPARE(watcher.messageTexts().size(), applied ? 0 : 1);
    if (!applied) {
        // Told in Chinese: no Latin letter outside the names and paths, and the standard button reads 确定.
        const ModalWatcher::Seen& box = watcher.seen().at(1);
        QVERIFY2(box.text.startsWith(kEditFailed) && !testsupport::hasLatinOutsidePaths(box.text),
                 qPrintable(box.text));
        QCOMPARE(box.buttons, QStringList{"确定"});
    }
    if (!message.isEmpty()) {
        const qsizetype at = message.indexOf("%fav");
        if (at >= 0)
            message = message.left(at) + QDir::toNativeSeparators(m_f->fav() + message.mid(at + 4));
        QCOMPARE(watcher.messageTexts().constFirst(), message);
    }

    if (untouched)
        QCOMPARE(folderContents(m_f->root()), disk);
    // The favorite is at one place only; nothing else on disk changed.
    QMap<QString, QByteArray> now = folderContents(m_f->root());
    QMap<QString, QByteArray> expected = disk;
    const QString favRel = QDir(m_f->root()).relativeFilePath(m_f->fav()) + "/";
    const QByteArray bytes = now.value(favRel + result);
    QVERIFY2(!bytes.isEmpty(), qPrintable(result));
    expected.remove(favRel + original);
    now.remove(favRel + result);
    QCOMPARE(now, expected);

    // The grid row shows what is on disk, its result and history untouched; the other rows are as they were.
    const QStringList cells = gridRows(w.model()).at(row - 1).split('|');
    const QString shownAddress = cells.at(LinkTableModel::AddressColumn);
    QVERIFY(bytes.contains("URL=" + shownAddress.toUtf8() + "\r\n"));
    QCOMPARE(cells.mid(3), before.at(row - 1).split('|').mid(3));
    if (applied) {
        QCOMPARE(shownAddress, address);
        QCOMPARE(cells.at(LinkTableModel::FolderColumn),
                 run.folderIndex >= 0 ? run.folderList.at(run.folderIndex) : run.folder);
        QCOMPARE(cells.at(LinkTableModel::NameColumn), name);
    } else {
        QCOMPARE(cells.mid(0, 2), before.at(row - 1).split('|').mid(0, 2));
    }
    for (int r = 1; r <= before.size(); ++r) {
        if (r != row)
            QCOMPARE(gridRows(w.model()).at(r - 1), before.at(r - 1));
    }
}

void EditDialogTest::cancelAndCloseBoxChangeNothing_data()
{
    QTest::addColumn<QString>("press");
    QTest::newRow("取消") << "cancel";
    QTest::newRow("close box") << "close";
}

void EditDialogTest::cancelAndCloseBoxChangeNothing()
{
    QFETCH(QString, press);
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    const QStringList rows = gridRows(w.model());
    const QMap<QString, QByteArray> disk = folderContents(m_f->root());
    const favorites::Catalogue catalogue = m_f->state.catalogue;
    const QVector<table::LinkRow> table = m_f->state.table.rows();

    ModalWatcher watcher;
    DialogRun run;
    run.folderIndex = 1;
    run.name = "other";
    run.address = "http://other.test/";
    run.press = press;
    editRow(w, watcher, 2, run);
    QVERIFY(run.opened);
    QVERIFY(!run.openAfterPress);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(folderContents(m_f->root()), disk);
    QCOMPARE(gridRows(w.model()), rows);
    QCOMPARE(m_f->state.catalogue.fileName, catalogue.fileName);
    QCOMPARE(m_f->state.catalogue.filePath, catalogue.filePath);
    QCOMPARE(m_f->state.table.rows(), table);
}

void EditDialogTest::enterAndEscDoNotPressButtons()
{
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    const QStringList rows = gridRows(w.model());
    const QMap<QString, QByteArray> disk = folderContents(m_f->root());
    ModalWatcher watcher;
    DialogRun run;
    run.folder = "";
    run.name = "pressed";
    run.address = "http://pressed.test/";
    run.press = "keys";
    editRow(w, watcher, 1, run);
    QVERIFY(run.opened);
    QVERIFY(run.openAfterPress);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(folderContents(m_f->root()), disk);
    QCOMPARE(gridRows(w.model()), rows);
}

void EditDialogTest::doubleClickOffDataRowsDoesNothing()
{
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalWatcher watcher;
    for (int row : {0, -1, 4, 100})
        w.openEditor(row);
    QHeaderView* header = w.grid()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    // Below the last row.
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, w.grid()->viewport()->height() - 3));
    QTest::mouseDClick(w.grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(5, w.grid()->viewport()->height() - 3));
    // While a command's reload is pending the grid holds only its blank row.
    w.runCommand(jobs::Command::DeleteDead);
    w.openEditor(1);
    QTest::qWait(50);
    QCOMPARE(watcher.count(), 0);
}

void EditDialogTest::doubleClickOnEmptyTableDoesNothing()
{
    WindowFixture empty;
    QVERIFY(empty.start());
    ui::MainWindow& w = empty.window();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.model().rowCount(), 1);
    ModalWatcher watcher;
    w.openEditor(1);
    const QRect blank = w.grid()->visualRect(w.grid()->model()->index(0, LinkTableModel::NameColumn));
    QVERIFY(blank.isValid());
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, Qt::NoModifier, blank.center());
    QTest::mouseDClick(w.grid()->viewport(), Qt::LeftButton, Qt::NoModifier, blank.center());
    QTest::qWait(50);
    QCOMPARE(watcher.count(), 0);
}

void EditDialogTest::savedHistoryFollowsTheNewName()
{
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    ModalWatcher watcher;
    DialogRun run;
    run.folderIndex = 1; // Other
    run.name = "z";
    run.address = "http://z.test/";
    editRow(w, watcher, 1, run);
    QVERIFY(run.opened && !run.openAfterPress);
    QVERIFY(QFileInfo::exists(m_f->fav() + "/Other/z.url"));

    w.runCommand(jobs::Command::SaveResults);
    const QString lines = QString::fromUtf8(readFile(m_f->results()));
    QVERIFY2(lines.contains(m_f->fav() + sep() + "Other|z.url|NO|YES||\r\n"), qPrintable(lines));
    QVERIFY2(!lines.contains("|a.url|"), qPrintable(lines));
    QTRY_VERIFY(gridRows(w.model()).contains(sep() + "Other|z|http://z.test/||NO|YES||"));
}

// The folder list is the Favorites folder's as the last load found it: after 还原 the backup's folders, after a save
// a folder made by hand meanwhile, and none that is gone.
void EditDialogTest::folderListFollowsEveryLoad()
{
    QVERIFY(m_f->start());
    ui::MainWindow& w = m_f->window();
    ModalWatcher watcher; // closes the message 备份收藏夹完成！
    const auto runToTheEnd = [&w](jobs::Command command) {
        QSignalSpy finished(&w, &ui::MainWindow::commandFinished);
        QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
        w.runCommand(command);
        return (!finished.isEmpty() || finished.wait(30000)) &&
               (command == jobs::Command::Backup || !loaded.isEmpty() || loaded.wait(10000));
    };
    const auto shownFolders = [&] {
        DialogRun run;
        run.press = "cancel";
        editRow(w, watcher, 1, run);
        return run.folderList;
    };
    QCOMPARE(shownFolders(), QStringList({"", sep() + "Other", sep() + "Sub", sep() + "Sub" + sep() + "Deep"}));

    // The backup holds other folders than start-up found; 还原 brings them back.
    QVERIFY(QDir(m_f->fav()).rename("Other", "Renamed"));
    QVERIFY(QDir().mkpath(m_f->fav() + "/Sub/New"));
    QVERIFY(runToTheEnd(jobs::Command::Backup));
    QVERIFY(QDir(m_f->fav()).rename("Renamed", "Other"));
    QVERIFY(QDir(m_f->fav() + "/Sub/New").removeRecursively());
    QVERIFY(runToTheEnd(jobs::Command::Restore));
    const QStringList restored{"", sep() + "Renamed", sep() + "Sub", sep() + "Sub" + sep() + "Deep",
                               sep() + "Sub" + sep() + "New"};
    QCOMPARE(shownFolders(), restored);

    // A folder made meanwhile is there after the next load, and an edit takes the favorite into it.
    QVERIFY(QDir().mkpath(m_f->fav() + "/Later"));
    QVERIFY(runToTheEnd(jobs::Command::SaveResults));
    DialogRun run;
    run.folderIndex = 1;
    run.name = "a";
    run.address = "http://a.test/";
    editRow(w, watcher, 1, run);
    QCOMPARE(run.folderList, QStringList({"", sep() + "Later"}) + restored.mid(1));
    QVERIFY(!run.openAfterPress);
    QVERIFY(QFileInfo::exists(m_f->fav() + "/Later/a.url"));
}

void EditDialogTest::lockedFolderFailures_data()
{
    QTest::addColumn<QString>("locked"); // the folder that cannot be written, relative to the Favorites
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    // Rows: 1 a.url, 2 Sub/b.url, 3 Sub/taken.url.
    QTest::newRow("address of a favorite in a locked folder") << "Sub" << 2 << "/Sub"
                                                              << "b";
    QTest::newRow("move out of a locked folder") << "Sub" << 2 << ""
                                                 << "b";
    QTest::newRow("move into a locked folder") << "Other" << 1 << "/Other"
                                               << "a";
}

// The locked folder is prepared as root and the edit made as the user "nobody".
void EditDialogTest::lockedFolderFailures()
{
    QFETCH(QString, locked);
    QFETCH(int, row);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    if (testsupport::isUnprivilegedChild()) {
        const QString root = qEnvironmentVariable("TESSALY_TEST_ROOT");
        qputenv("TESSALY_FAVORITES", (root + "/Favorites").toUtf8());
        jobs::AppState state;
        state.programFolder = root + "/prog";
        ui::MainWindow w(state);
        QSignalSpy loaded(&w, &ui::MainWindow::tableLoaded);
        QVERIFY(loaded.wait(5000));
        const QStringList before = gridRows(w.model());
        ModalWatcher watcher;
        DialogRun run;
        run.folder = folder.replace("/", sep());
        run.name = name;
        run.address = "http://new.test/";
        editRow(w, watcher, row, run);
        QVERIFY(run.opened);
        QVERIFY(run.openAfterPress);
        QCOMPARE(watcher.messageTexts().size(), 1);
        // The system's reason (the folder refuses the user) is told in Chinese too.
        QVERIFY2(watcher.messageTexts().constFirst().startsWith(kEditFailed) &&
                     !testsupport::hasLatinOutsidePaths(watcher.messageTexts().constFirst()),
                 qPrintable(watcher.messageTexts().constFirst()));
        // The grid row names a place where the favorite is, holding the address it shows.
        const QStringList cells = gridRows(w.model()).at(row - 1).split('|');
        const QString path = root + "/Favorites" + cells.at(0) + sep() + cells.at(1) + ".url";
        QVERIFY2(readFile(path).contains("URL=" + cells.at(2).toUtf8() + "\r\n"), qPrintable(path));
        QCOMPARE(cells.mid(3), before.at(row - 1).split('|').mid(3));
        return;
    }
    if (!testsupport::isSuperuser())
        QSKIP("The locked folder is prepared as root and the edit made as nobody; this run is not root.");
#ifdef Q_OS_UNIX
    QVERIFY(testsupport::setMode(m_f->root(), 0755));
    QVERIFY(testsupport::giveToNobody(m_f->root()));
    const QString lockedPath = m_f->fav() + "/" + locked;
    QVERIFY(::lchown(QFile::encodeName(lockedPath).constData(), 0, 0) == 0);
    QVERIFY(testsupport::setMode(lockedPath, 0755));
    const QMap<QString, QByteArray> before = folderContents(m_f->fav());

    const testsupport::NobodyRun run = testsupport::runCurrentRowAsNobody(m_f->root());
    if (!run.made)
        QSKIP(qPrintable("cannot run as nobody: " + run.why));
    QVERIFY2(run.passed, qPrintable(run.output));

    // All or nothing: a step that fails after the copy (deleting the old file) takes the copy away again.
    QCOMPARE(folderContents(m_f->fav()), before);
#endif
}

// The context menus of the text boxes come from Qt, in Chinese once its translation is loaded.
void EditDialogTest::textBoxMenusAreChinese()
{
    QVERIFY(m_f->start());
    ui::EditDialog dialog(m_f->state, 1);
    for (QLineEdit* box : {dialog.folderBox()->lineEdit(), dialog.nameBox(), dialog.addressBox()}) {
        std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text();
        }
        QVERIFY(texts.size() >= 5);
        for (const QString& text : texts)
            QVERIFY2(!testsupport::hasLatinOutsidePaths(text), qPrintable(texts.join(" | ")));
    }
}

QTEST_MAIN(EditDialogTest)
#include "tst_editdialog.moc"
