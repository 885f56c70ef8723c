#include <atomic>
#include <cstdio>
#include <memory>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include "jobs/AppState.h"
#include "jobs/FolderLock.h"
#include "platform/AppMutex.h"
#include "platform/Descriptors.h"
#include "platform/FavoritesFolder.h"
#include "platform/Paths.h"
#include "platform/ProcessLock.h"
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

// Test hook, not a user option: TESSALY_STALL_WORK=exit:PATH (or close:PATH) holds the worker in one long system call
// at the first entry of its first work, as a hung network drive would: it says so on stderr, asks the program to end
// as 退出程序 does (or closes the window), and opens the named pipe at PATH for reading, which waits in the system
// until something opens it for writing. Scripts see the program end all the same.
void stallWorkWhenAsked(ui::MainWindow& window)
{
    const QString asked = qEnvironmentVariable("TESSALY_STALL_WORK");
    const bool close = asked.startsWith(QLatin1String("close:"));
    if (!close && !asked.startsWith(QLatin1String("exit:")))
        return;
    const QString pipe = asked.section(u':', 1);
    auto stalled = std::make_shared<std::atomic<bool>>(false);
    window.loadSequence().setStepHook([&window, close, pipe, stalled](int, int) {
        if (stalled->exchange(true))
            return;
        std::fprintf(stderr, "the worker is stalled\n");
        if (close)
            QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(
                &window, [&window] { window.runCommand(jobs::Command::Exit); }, Qt::QueuedConnection);
        QFile stall(pipe);
        stall.open(QIODevice::ReadOnly);
    });
}

// The exit code of a second start on a data folder or a Favorites folder that a running copy already uses.
constexpr int kAlreadyRunning = 2;

// How long the end of the program waits for work on the favorites to stop at its next entry.
constexpr int kExitWaitMs = 500;

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
    stallWorkWhenAsked(window);
    window.show();
    const int status = QApplication::exec();
    // Work on the favorites still under way stops at its next entry, as it would at a failure there. Work stuck in one
    // long system call (a hung network drive) is not waited for: the program ends as a kill would end it, and the next
    // start finishes or undoes what the work left, as after a crash.
    if (!window.loadSequence().stop(kExitWaitMs))
        platform::endProcessNow(status);
    return status;
}
