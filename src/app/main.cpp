#include <QApplication>
#include <QTimer>

#include "platform/Descriptors.h"
#include "platform/Paths.h"
#include "table/AppState.h"
#include "ui/Artwork.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"

namespace
{

// Test hook, not a user option: TESSALY_EXIT_AFTER_MS=N quits the program N milliseconds after its window
// opened, so that scripts (the package test) can start an installed copy and see it end on its own.
void quitLaterWhenAsked(QApplication& app)
{
    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("TESSALY_EXIT_AFTER_MS", &ok);
    if (ok && delay >= 0)
        QTimer::singleShot(delay, &app, &QCoreApplication::quit);
}

} // namespace

int main(int argc, char* argv[])
{
    // A check opens a connection per channel at a time, but a desktop session may start programs with
    // as few as 1024 descriptors: take whatever the system allows.
    platform::raiseOpenFileLimit();
    QApplication app(argc, argv);
    // Qt's own texts (standard buttons, context menus) in Chinese like the rest, whatever the locale.
    ui::loadQtTranslation();
    // The application name also names the user's data folder (~/.local/share/Tessaly, %APPDATA%\Tessaly).
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    // Ties the window to the installed io.github.tessaly.Tessaly.desktop (its icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tessaly.Tessaly"));
    QApplication::setWindowIcon(ui::windowIcon());

    table::AppState state;
    // Beside the program when that folder is writable, else in the user's data folder (an installed copy).
    state.programFolder = platform::dataFolder(platform::programFolder());
    ui::MainWindow window(state);
    window.show();
    quitLaterWhenAsked(app);
    return QApplication::exec();
}
