// How long the window does not answer while it does its long work on a generated Favorites tree: the load of the
// table at start-up, 备份收藏夹, 还原收藏夹 and 删除收藏夹无效地址 (every favorite has failed four saved checks, so
// all of them go), and how long each takes, from the click to the table loaded again and the command over.
//
// The window's event loop runs a 10 ms timer throughout; a turn of the loop that comes late means the window did
// not answer for that long (no repaint, no click, no key). The longest wait per work is the longest gap between
// two ticks, less the timer's own 10 ms. A message box that ends a command is closed at the next tick.
//
// Usage: bench_work [favorites=20000] [folders=500]

#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "FavoritesGenerator.h"
#include "jobs/AppState.h"
#include "table/ResultsFile.h"
#include "ui/LinkTableModel.h"
#include "ui/MainWindow.h"

namespace
{

constexpr int kTickMs = 10;

// The turns of the window's event loop: the longest gap between two ticks of a 10 ms timer since the last reset.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        connect(&m_timer, &QTimer::timeout, this, &StallMeter::tick);
        m_clock.start();
        m_timer.start();
    }

    void reset()
    {
        m_last = m_clock.nsecsElapsed();
        m_longest = 0;
    }
    /// The longest time the loop did not turn since the last reset, in milliseconds.
    double longestWaitMs() const
    {
        const qint64 sinceLast = m_clock.nsecsElapsed() - m_last;
        return std::max(0.0, std::max(m_longest, sinceLast) / 1e6 - kTickMs);
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
        // The message that ends a command is read at once.
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

struct Figures
{
    const char* work;
    double totalMs;
    double longestWaitMs;
    int rows;
};

// Waits until the signal has come `count` times in all, or a minute has passed.
bool waitFor(QSignalSpy& spy, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (spy.count() < count && clock.elapsed() < 60000)
        spy.wait(100);
    return spy.count() >= count;
}

Figures runCommand(const char* work, ui::MainWindow& window, StallMeter& meter, jobs::Command command, bool reloads)
{
    QSignalSpy finished(&window, &ui::MainWindow::commandFinished);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    QElapsedTimer clock;
    meter.reset();
    clock.start();
    window.runCommand(command);
    const bool over = waitFor(finished, 1) && (!reloads || waitFor(loaded, 1));
    const double total = clock.nsecsElapsed() / 1e6;
    if (!over)
        std::fprintf(stderr, "%s did not end within a minute\n", work);
    return {work, total, meter.longestWaitMs(), window.model().dataRowCount()};
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    // The Recycle Bin (the freedesktop Trash) on the same volume as the favorites, inside the benchmark's folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data-home"))));
    QApplication app(argc, argv);
    const int favorites = argc > 1 ? QString(argv[1]).toInt() : 20000;
    const int folders = argc > 2 ? QString(argv[2]).toInt() : 500;

    const QString root = dir.filePath(QStringLiteral("Favorites"));
    const QString program = dir.filePath(QStringLiteral("prog"));
    QDir().mkpath(program);
    const bench::GeneratedTree tree = bench::generateFavorites(root, favorites, folders);
    // Four saved checks, all failed, for every favorite: 删除收藏夹无效地址 takes them all.
    QFile results(table::resultsFilePath(program));
    if (!results.open(QIODevice::WriteOnly))
        return 1;
    for (int i = 0; i < tree.files.size(); ++i)
        results.write(
            (tree.filePaths.at(i) + u'|' + tree.fileNames.at(i) + QStringLiteral("|NO|NO|NO|NO\r\n")).toUtf8());
    results.close();
    qputenv("TESSALY_FAVORITES", root.toUtf8());

    jobs::AppState state;
    state.programFolder = program;
    StallMeter meter;
    QVector<Figures> figures;

    // Start-up: the window is made, collects the files and loads the table.
    QElapsedTimer clock;
    meter.reset();
    clock.start();
    ui::MainWindow window(state);
    QSignalSpy loaded(&window, &ui::MainWindow::tableLoaded);
    window.show();
    if (!waitFor(loaded, 1))
        std::fprintf(stderr, "the start-up load did not end within a minute\n");
    figures.append(
        {"load at start-up", clock.nsecsElapsed() / 1e6, meter.longestWaitMs(), window.model().dataRowCount()});

    figures.append(runCommand("backup", window, meter, jobs::Command::Backup, false));
    figures.append(runCommand("restore", window, meter, jobs::Command::Restore, true));
    figures.append(runCommand("delete (all dead)", window, meter, jobs::Command::DeleteDead, true));

    std::printf("favorites %d in %d folders\n", favorites, folders);
    std::printf("%-20s %12s %22s %8s\n", "work", "total", "longest wait (window)", "rows");
    for (const Figures& f : figures)
        std::printf("%-20s %9.0f ms %19.0f ms %8d\n", f.work, f.totalMs, f.longestWaitMs, f.rows);
    return figures.at(0).rows == favorites && figures.constLast().rows == 0 ? 0 : 1;
}
