// Times start-up to a loaded table: enumeration, reading every shortcut file, reading and merging the
// results file, filling the model; and, for comparison, just reading the same files. Then what the window's grid
// adds: making the last cell current once at the end of the load, against moving it along with each row.
//
// Usage: bench_load [favorites=10000] [folders=500]

#include <cstdio>

#include <QApplication>
#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>

#include "FavoritesGenerator.h"
#include "favorites/Enumeration.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
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

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
    return rows == favorites ? 0 : 1;
}
