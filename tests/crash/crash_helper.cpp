// Runs one of the commands that change data, through the program's own functions, over and over until it is
// killed, so that the crash-safety test can kill it at any point. Bounded: it stops by itself after a number
// of rounds or 30 seconds, whichever comes first.
//
//   crash_helper save|backup|restore|edit <work folder> [rounds]
//
// The work folder holds Favorites/, FavoritesB/ (the second source of "backup") and program/ with the
// results file data.txt and the backup folder data. It prints "ready" once it is set up and about to start.
// Exit codes: 0 all rounds done, 2 wrong arguments, 3 a command failed (the reason on stderr).

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "favorites/Enumeration.h"
#include "favorites/Backup.h"
#include "favorites/Maintenance.h"
#include "favorites/Restore.h"
#include "jobs/AppState.h"
#include "jobs/FavoriteEdit.h"
#include "platform/Paths.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"

namespace
{

constexpr qint64 timeLimitMs = 30000;

int failed(const QString& command, const QString& reason)
{
    std::fprintf(stderr, "%s failed: %s\n", qPrintable(command), qPrintable(reason));
    return 3;
}

// The helper links only the core; the kind's number, the paths and the system's text are enough for the log.
int failed(const QString& command, const platform::Failure& failure)
{
    return failed(command, QStringLiteral("failure kind %1 at %2 %3 (%4)")
                               .arg(failure.kind.code())
                               .arg(failure.path, failure.otherPath, failure.system.text));
}

void ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString command = args.at(1);
    const QString work = args.at(2);
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 1000000;
    const QString program = platform::joinPath(work, QStringLiteral("program"));
    const QString results = table::resultsFilePath(program);
    const QString backup = favorites::backupFolderPath(program);
    const QString favPath = platform::joinPath(work, QStringLiteral("Favorites"));
    const QString favPathB = platform::joinPath(work, QStringLiteral("FavoritesB"));

    jobs::AppState state;
    state.catalogue.favPath = favPath;
    state.programFolder = program;
    favorites::ListFolders(state.catalogue, favPath);
    favorites::collectFiles(state.catalogue);
    table::loadTable(state.catalogue, state.table, results);
    const QVector<table::LinkRow> loaded = state.table.rows();

    QElapsedTimer clock;
    clock.start();
    platform::Failure error;
    ready();
    for (int round = 0; round < rounds && clock.elapsed() < timeLimitMs; ++round) {
        const bool even = round % 2 == 0;
        if (command == QLatin1String("save")) {
            // Every round saves the same loaded table, with all verdicts "YES" or all "NO" in turn.
            QVector<table::LinkRow> rows = loaded;
            for (table::LinkRow& row : rows)
                row.outcome = table::Outcome::of(even ? table::Verdict::Alive : table::Verdict::Dead);
            state.table.load(rows);
            if (!table::saveResults(results, state.table, &error))
                return failed(command, error);
        } else if (command == QLatin1String("backup")) {
            if (!favorites::backupFavorites(even ? favPath : favPathB, backup, &error))
                return failed(command, error);
        } else if (command == QLatin1String("restore")) {
            if (!favorites::restoreFavorites(backup, favPath, &error))
                return failed(command, error);
        } else if (command == QLatin1String("edit")) {
            // The favorite One/moving.url moves to Two/moved.url with a new address, and back.
            int row = 0;
            bool atOne = false;
            for (int i = 1; i <= state.table.rowCount() && row == 0; ++i) {
                const QString& name = state.table.fileName(i);
                atOne = name == QLatin1String("moving.url");
                if (atOne || name == QLatin1String("moved.url"))
                    row = i;
            }
            if (row == 0)
                return failed(command, QStringLiteral("the moving favorite is not there"));
            const jobs::FavoriteEdit edit = atOne ? jobs::FavoriteEdit{QStringLiteral("/Two"), QStringLiteral("moved"),
                                                                       QStringLiteral("http://two.example/moved")}
                                                  : jobs::FavoriteEdit{QStringLiteral("/One"), QStringLiteral("moving"),
                                                                       QStringLiteral("http://one.example/moving")};
            if (!jobs::applyFavoriteEdit(state, row, edit, &error))
                return failed(command, error);
        } else {
            return 2;
        }
    }
    return 0;
}
