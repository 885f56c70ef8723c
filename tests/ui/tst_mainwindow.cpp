#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QFrame>
#include <QLibraryInfo>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "platform/Paths.h"
#include "support/ChildRun.h"
#include "support/TempFavorites.h"
#include "table/AppState.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"

using table::LinkTableModel;

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpFindsFavoritesAndLoadsBehindBusyNotice();
    void missingFavoritesFolderGivesEmptyTable();
    void noFavoritesValueGivesEmptyTable();
    void myClearEmptiesGridAndInformationPanel();
    void qtTranslationWhateverTheLocale();
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

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
