#include <QApplication>

#include "platform/Paths.h"
#include "table/AppState.h"
#include "ui/MainWindow.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));

    table::AppState state;
    state.programFolder = platform::programFolder();
    ui::MainWindow window(state);
    window.show();
    return QApplication::exec();
}
