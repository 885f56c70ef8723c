#include <cstdio>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "jobs/AppState.h"
#include "jobs/FolderLock.h"
#include "platform/AppMutex.h"
#include "platform/Descriptors.h"
#include "platform/FavoritesFolder.h"
#include "platform/Paths.h"
#include "ui/Artwork.h"
#include "ui/FailureText.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"

namespace
{

// Test hook, not a user option: TESSALY_EXIT_AFTER_MS=N quits the program N milliseconds after it started, so that
// scripts (the package test) can start an installed copy and see it end on its own.
void quitLaterWhenAsked(QApplication& app)
{
    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("TESSALY_EXIT_AFTER_MS", &ok);
    if (ok && delay >= 0)
        QTimer::singleShot(delay, &app, &QCoreApplication::quit);
}

// The exit code of a second start on a data folder or a Favorites folder that a running copy already uses.
constexpr int kAlreadyRunning = 2;

// Another copy of the program works on the folder of this lock: its window is brought up, the user is told, and this
// copy ends without having touched anything.
int tellAlreadyRunning(const jobs::FolderLock& lock, const QString& text)
{
    lock.askHolderToShow();
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tessaly"), text, QMessageBox::Ok);
    // In the application's own loop, so that the program ends however the box goes.
    QObject::connect(&box, &QMessageBox::finished, qApp, &QCoreApplication::quit);
    box.show();
    QApplication::exec();
    return kAlreadyRunning;
}

} // namespace

int main(int argc, char* argv[])
{
    // A check opens a connection per channel at a time, but a desktop session may start programs with
    // as few as 1024 descriptors: take whatever the system allows.
    platform::raiseOpenFileLimit();
    // The Windows installer and uninstaller wait until no copy runs before they touch the program's files.
    platform::holdAppMutex();
    QApplication app(argc, argv);
    // Qt's own texts (standard buttons, context menus) in Chinese like the rest, whatever the locale.
    ui::loadQtTranslation();
    // The application name also names the user's data folder (~/.local/share/Tessaly, %APPDATA%\Tessaly).
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    // Ties the window to the installed io.github.tessaly.Tessaly.desktop (its icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tessaly.Tessaly"));
    QApplication::setWindowIcon(ui::windowIcon());

    quitLaterWhenAsked(app);

    jobs::AppState state;
    // Beside the program when that folder is writable, else in the user's data folder (an installed copy).
    state.programFolder = platform::dataFolder(platform::programFolder());
    const std::unique_ptr<jobs::FolderLock> dataLock = jobs::FolderLock::onDataFolder(state.programFolder);
    if (!dataLock->tryLock())
        return tellAlreadyRunning(*dataLock, ui::alreadyRunningText(state.programFolder));
    // Both locks are held before anything of the Favorites folder is looked at: the window's start-up finishes or
    // undoes a restore it finds stopped, which must never be another copy's restore at work.
    const QString favPath = platform::favoritesFolder();
    std::unique_ptr<jobs::FolderLock> favoritesLock;
    if (!favPath.isEmpty()) {
        favoritesLock = jobs::FolderLock::onFavorites(favPath);
        if (!favoritesLock->tryLock())
            return tellAlreadyRunning(*favoritesLock, ui::favoritesInUseText(favPath));
    }
    ui::MainWindow window(state);
    for (jobs::FolderLock* lock : {dataLock.get(), favoritesLock.get()}) {
        if (!lock)
            continue;
        QObject::connect(lock, &jobs::FolderLock::showRequested, &window, [&window] {
            window.showNormal();
            window.raise();
            window.activateWindow();
        });
    }
    window.show();
    return QApplication::exec();
}
