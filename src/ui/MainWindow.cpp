#include "ui/MainWindow.h"

namespace ui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {}

} // namespace ui
