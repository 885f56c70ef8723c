// Times start-up to a loaded table: enumeration, reading every shortcut file, reading and merging the
// results file, filling the model; and, for comparison, just reading the same files. Then what the window's grid
// adds: making the last cell current once at the end of the load, against moving it along with each row. Last, what
// the grid's extra cell data costs, each figure from a process of its own so that one's memory does not hide in
// another's: the grid through the filter of 显示 against the bare model, a check's reasons and moved-to addresses
// for every row, the 结果 cells' tool tips, a sort by a column and the choices of 显示.
//
// Usage: bench_load [favorites=10000] [folders=500]

#include <cstdio>
#include <functional>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QApplication>
#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMap>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include "FavoritesGenerator.h"
#include "favorites/Enumeration.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
#include "ui/FavoritesFilter.h"
#include "ui/LinkTableModel.h"

namespace
{

long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

#ifndef __GLIBC__
long currentRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}
#endif

bool dropCaches()
{
    // Only possible as root.
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2;
}

double readOnlyMs(const QString& root)
{
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll().size();
    }
    QFile results(QDir(root).filePath(QStringLiteral("../data.txt")));
    if (results.open(QIODevice::ReadOnly))
        bytes += results.readAll().size();
    Q_UNUSED(bytes);
    return timer.nsecsElapsed() / 1e6;
}

// What start-up does from the Favorites folder to the loaded table.
void loadFavorites(const QString& root, const QString& resultsPath, table::LinkTable& linkTable)
{
    favorites::Catalogue cat;
    cat.favPath = root;
    favorites::ListFolders(cat, root);
    favorites::collectFiles(cat);
    table::loadTable(cat, linkTable, resultsPath);
}

double msSince(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Bytes the program holds on the heap now (what it allocated and has not freed), where the C library tells.
long heapInUseKb()
{
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
#else
    return currentRssKb();
#endif
}

// In a process of its own: the rows read from disk, then put into the table of a grid at the window's first size,
// bare ("model") or through the filter of 显示 ("filter"); then, through the filter, what a check of every row, its
// tool tips, a sort and the choices cost. Prints "name value" lines: times in ms, memory in KB.
int measureGrid(const QString& variant, const QString& root, const QString& resultsPath)
{
    const bool filtered = variant == QLatin1String("filter");
    QVector<table::LinkRow> rows;
    {
        table::LinkTable scratch;
        loadFavorites(root, resultsPath, scratch);
        rows = scratch.rows();
    }
    const long heapBefore = heapInUseKb();
    QElapsedTimer timer;
    timer.start();
    table::LinkTable linkTable;
    ui::LinkTableModel model(linkTable);
    ui::FavoritesFilter filter(model);
    QTableView grid;
    grid.setModel(filtered ? static_cast<QAbstractItemModel*>(&filter) : &model);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid.setSortingEnabled(filtered);
    grid.resize(811, 474);
    grid.show();
    linkTable.load(std::move(rows)); // the rows read, whole: what is added is the grid's own
    QCoreApplication::processEvents();
    std::printf("load %.1f\nheap %ld\n", msSince(timer), heapInUseKb() - heapBefore);
    if (!filtered)
        return 0;

    // A check whose every answer is a permanent move to a new address: the most a row's outcome holds.
    const long heapLoaded = heapInUseKb();
    timer.restart();
    for (int row = 1; row <= linkTable.rowCount(); ++row)
        linkTable.setOutcome(row, table::Outcome::answer(301, QStringLiteral("https://www.moved.example.test/new/"
                                                                             "path/%1/index.html")
                                                                  .arg(row)));
    QCoreApplication::processEvents();
    std::printf("outcomes %.1f\noutcomesHeap %ld\n", msSince(timer), heapInUseKb() - heapLoaded);

    timer.restart();
    qsizetype characters = 0;
    for (int row = 0; row < filter.rowCount(); ++row) {
        const QModelIndex cell = filter.index(row, ui::LinkTableModel::ResultColumn);
        characters += cell.data(Qt::ToolTipRole).toString().size();
        characters += cell.data(Qt::AccessibleDescriptionRole).toString().size();
    }
    std::printf("tooltips %.1f\ntooltipCharacters %lld\n", msSince(timer), static_cast<long long>(characters));

    const auto timed = [&timer](const char* name, const std::function<void()>& work) {
        timer.restart();
        work();
        QCoreApplication::processEvents();
        std::printf("%s %.1f\n", name, msSince(timer));
    };
    const long heapUnsorted = heapInUseKb();
    timed("sortName", [&] { grid.sortByColumn(ui::LinkTableModel::NameColumn, Qt::AscendingOrder); });
    timed("sortAddress", [&] { grid.sortByColumn(ui::LinkTableModel::AddressColumn, Qt::DescendingOrder); });
    std::printf("sortedHeap %ld\n", heapInUseKb() - heapUnsorted);
    timed("sortResult", [&] { grid.sortByColumn(ui::LinkTableModel::ResultColumn, Qt::AscendingOrder); });
    timed("unsorted", [&] { grid.sortByColumn(-1, Qt::AscendingOrder); });
    timed("toBeDeleted", [&] { filter.setShown(ui::FavoritesFilter::Shown::ToBeDeleted); });
    std::printf("toBeDeletedRows %d\n", filter.rowCount());
    timed("deadThisCheck", [&] { filter.setShown(ui::FavoritesFilter::Shown::DeadThisCheck); });
    timed("all", [&] { filter.setShown(ui::FavoritesFilter::Shown::All); });
    std::printf("peakRss %ld\n", peakRssKb());
    return 0;
}

// measureGrid in a child process: its figures by name.
QMap<QString, double> gridFigures(const QString& variant, const QString& root, const QString& resultsPath)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--grid"), variant, root, resultsPath});
    QMap<QString, double> figures;
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            figures.insert(QString::fromLatin1(parts.at(0)), parts.at(1).toDouble());
    }
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--grid")
        return measureGrid(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                           QString::fromLocal8Bit(argv[4]));
    const int favorites = argc > 1 ? QString(argv[1]).toInt() : 10000;
    const int folders = argc > 2 ? QString(argv[2]).toInt() : 500;

    QTemporaryDir dir;
    const QString root = platform::joinPath(dir.path(), QStringLiteral("Favorites"));
    const QString resultsPath = table::resultsFilePath(dir.path());
    const bench::GeneratedTree tree = bench::generateFavorites(root, favorites, folders);
    bench::generateResults(resultsPath, tree);
    const long rssBefore = peakRssKb();

    auto loadMs = [&](int& rows) {
        QElapsedTimer timer;
        timer.start();
        table::LinkTable linkTable;
        ui::LinkTableModel model(linkTable);
        loadFavorites(root, resultsPath, linkTable);
        rows = model.dataRowCount();
        return timer.nsecsElapsed() / 1e6;
    };

    // Warm cache: best of three, alternating, so that neither gains from the other's cache.
    double bestRead = 1e18;
    double bestLoad = 1e18;
    int rows = 0;
    for (int round = 0; round < 3; ++round) {
        bestRead = qMin(bestRead, readOnlyMs(root));
        bestLoad = qMin(bestLoad, loadMs(rows));
    }
    // Cold cache (only where the page cache can be dropped, i.e. as root).
    const bool cold = dropCaches();
    const double coldRead = cold ? readOnlyMs(root) : 0;
    if (cold)
        dropCaches();
    int coldRows = 0;
    const double coldLoad = cold ? loadMs(coldRows) : 0;

    std::printf("favorites %d in %d folders, results file %d lines\n", favorites, folders, int(tree.files.size()));
    std::printf("rows loaded                          %d\n", rows);
    std::printf("warm cache: read the files only      %8.1f ms\n", bestRead);
    std::printf("warm cache: start-up to loaded table %8.1f ms  (%.2fx the plain read)\n", bestLoad,
                bestLoad / bestRead);
    if (cold) {
        std::printf("cold cache: read the files only      %8.1f ms\n", coldRead);
        std::printf("cold cache: start-up to loaded table %8.1f ms  (%.2fx the plain read)\n", coldLoad,
                    coldLoad / coldRead);
    }
    std::printf("peak RSS                             %8.1f MB  (%.1f MB before loading)\n", peakRssKb() / 1024.0,
                rssBefore / 1024.0);
    // What every load spends on the edit dialog's folder list, beside the files.
    QElapsedTimer listing;
    listing.start();
    favorites::Catalogue folderList;
    favorites::ListFolders(folderList, root);
    std::printf("warm cache: the folder list alone    %8.1f ms  (%d folders)\n", msSince(listing),
                folderList.folderCount);

    // The grid at the window's first size: current cell and scrolling as the window sets them after a load.
    table::LinkTable linkTable;
    ui::LinkTableModel model(linkTable);
    loadFavorites(root, resultsPath, linkTable);
    QTableView grid;
    grid.setModel(&model);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.resize(811, 474);
    grid.show();
    QCoreApplication::processEvents();
    auto moveTo = [&](int row) {
        const QModelIndex cell = model.index(row, ui::LinkTableModel::ColumnCount - 1);
        grid.setCurrentIndex(cell);
        grid.scrollTo(cell);
    };
    QElapsedTimer timer;
    timer.start();
    moveTo(model.dataRowCount() - 1);
    QCoreApplication::processEvents();
    const double onceMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    for (int row = 0; row < model.dataRowCount(); ++row)
        moveTo(row);
    QCoreApplication::processEvents();
    const double perRowMs = timer.nsecsElapsed() / 1e6;
    std::printf("grid: current cell once, at the end  %8.1f ms  (along with each row: %.1f ms)\n", onceMs, perRowMs);

    const QMap<QString, double> bare = gridFigures(QStringLiteral("model"), root, resultsPath);
    const QMap<QString, double> shown = gridFigures(QStringLiteral("filter"), root, resultsPath);
    if (bare.isEmpty() || shown.isEmpty()) {
        std::fprintf(stderr, "the grid's figures could not be taken\n");
        return 1;
    }
    std::printf("\nthe grid's extra cell data, %d rows (from processes of their own; memory is heap in use)\n", rows);
    std::printf("rows into a shown grid, bare model   %8.1f ms  %7.1f MB\n", bare.value("load"),
                bare.value("heap") / 1024.0);
    std::printf("  through the filter of 显示         %8.1f ms  %7.1f MB  (the filter adds %.1f ms, %.1f MB)\n",
                shown.value("load"), shown.value("heap") / 1024.0, shown.value("load") - bare.value("load"),
                (shown.value("heap") - bare.value("heap")) / 1024.0);
    std::printf("a check's outcome for every row (301 and its new address, one verdict at a time)\n"
                "                                     %8.1f ms  %7.1f MB  (%.2f us a verdict)\n",
                shown.value("outcomes"), shown.value("outcomesHeap") / 1024.0,
                1000.0 * shown.value("outcomes") / qMax(1, rows));
    std::printf("tool tip and description of every 结果 cell %5.1f ms  (%.2f us a cell)\n", shown.value("tooltips"),
                1000.0 * shown.value("tooltips") / qMax(1, rows));
    std::printf(
        "sort by 名称 / 地址 / 结果, back unsorted %.1f / %.1f / %.1f / %.1f ms  (sorted by 地址: %.1f MB more)\n",
        shown.value("sortName"), shown.value("sortAddress"), shown.value("sortResult"), shown.value("unsorted"),
        shown.value("sortedHeap") / 1024.0);
    std::printf("显示 将被删除 (%d rows) / 本次无应答 / 全部收藏 %.1f / %.1f / %.1f ms\n",
                int(shown.value("toBeDeletedRows")), shown.value("toBeDeleted"), shown.value("deadThisCheck"),
                shown.value("all"));
    std::printf("peak RSS of the filtered grid's process %.1f MB\n", shown.value("peakRss") / 1024.0);
    return rows == favorites ? 0 : 1;
}
