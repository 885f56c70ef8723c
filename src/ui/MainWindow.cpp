#include "ui/MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSlider>

#include "checker/LinkChecker.h"
#include "ui/Artwork.h"
#include "ui/BusyNotice.h"
#include "ui/ChannelDial.h"
#include "ui/ChannelDials.h"
#include "ui/CommandBar.h"
#include "ui/CommandList.h"
#include "ui/Commands.h"
#include "ui/EditDialog.h"
#include "ui/FavoritesGrid.h"
#include "ui/FormLayout.h"
#include "ui/GridPanel.h"
#include "ui/HttpsOption.h"
#include "ui/StatusPanels.h"

namespace ui
{

namespace
{

const QString kProductName = QStringLiteral("Tessaly(2005版)");

} // namespace

MainWindow::MainWindow(jobs::AppState& state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_model(state.table)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kProductName);
    setWindowIcon(windowIcon());
    setAccessibleName(kProductName);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0x80));
    setPalette(pal);
    // No menu bar, docked toolbar or managed status bar: the client widget is the whole client area, and the
    // layout rule places everything on it.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);
    resize(twipsToPixels(12165), twipsToPixels(8400));

    m_gridPanel = new GridPanel(m_state, m_model, m_client);
    connect(grid(), &FavoritesGrid::rowActivated, this, &MainWindow::openEditor);

    m_statusBar = new StatusPanels(kProductName, m_client);
    connect(m_statusBar, &StatusPanels::panelsWidthChanged, this, [this] {
        if (m_toolbar)
            updateMinimumSize();
    });
    m_dials = std::make_unique<ChannelDials>(m_client);
    m_busyNotice = new BusyNotice(m_client);
    setupChecker();
    m_httpsOption = new HttpsOption(*m_checker, m_state.programFolder);
    m_gridPanel->addToBar(m_httpsOption);
    setupLoadSequence();

    m_commands = new Commands(m_state, *m_checker, *m_load, this);
    connect(m_commands, &Commands::failed, this, &MainWindow::commandFailed);
    connect(m_commands, &Commands::finished, this, &MainWindow::commandFinished);
    connect(m_load, &jobs::LoadSequence::interruptedRestoreHandled, m_commands, &Commands::tellInterruptedRestore);
    connect(m_load, &jobs::LoadSequence::loadFailed, m_commands, &Commands::tellLoadFailure);

    setupToolbar();
    m_load->startUp();
    enableDataCommands(!m_load->isWorking());
    setupKeyboard();
    updateMinimumSize();
    centreOnScreen();
}

MainWindow::~MainWindow()
{
    hide();
    m_load->stop();
}

void MainWindow::setupToolbar()
{
    m_toolbar =
        new CommandBar(commandList(), checker::LinkChecker::kMinThreads, checker::LinkChecker::kMaxThreads, m_client);
    connect(m_toolbar, &CommandBar::triggered, this, &MainWindow::runCommand);
    connect(m_toolbar->slider(), &QSlider::valueChanged, m_checker, &checker::LinkChecker::setThreadCount);
}

void MainWindow::setupLoadSequence()
{
    m_load = new jobs::LoadSequence(m_state, this);
    connect(m_load, &jobs::LoadSequence::cleared, this, &MainWindow::clearGrid);
    connect(m_load, &jobs::LoadSequence::favoritesCounted, this, [this](int n) {
        m_statusBar->setPanelText(3, QStringLiteral("地址 ") + QString::number(n) + QStringLiteral(" 条"));
    });
    connect(m_load, &jobs::LoadSequence::busyChanged, this, [this](bool shown) {
        m_busyNotice->setVisible(shown);
        m_busyNotice->raise();
    });
    connect(m_load, &jobs::LoadSequence::progressChanged, m_busyNotice, &BusyNotice::showProgress);
    // While the favorites are being read or changed, the commands that change data wait (greyed), and so do the edit
    // dialog and the row menu's edits; a check goes on.
    connect(m_load, &jobs::LoadSequence::workingChanged, this, [this](bool working) { enableDataCommands(!working); });
    connect(m_load, &jobs::LoadSequence::loaded, this, [this] {
        // The load writes every row, the last cell of the last row last; the current cell is moved there once, at
        // the end, rather than along with each row. Only the row is scrolled to: the folder and name stay in sight.
        grid()->setCurrentCell(m_model.dataRowCount(), LinkTableModel::History4Column, FavoritesGrid::VerticalScroll);
    });
    connect(m_load, &jobs::LoadSequence::finished, this, &MainWindow::tableLoaded);
}

void MainWindow::enableDataCommands(bool enabled)
{
    grid()->setEditsAllowed(enabled);
    if (!m_toolbar)
        return;
    for (const CommandEntry& entry : commandList()) {
        if (changesData(entry.id))
            m_toolbar->action(entry.id)->setEnabled(enabled);
    }
}

void MainWindow::setupChecker()
{
    m_checker = new checker::LinkChecker(m_state.table, this);
    // The grid shows the verdict through the table; the window only follows it with the current cell.
    connect(m_checker, &checker::LinkChecker::verdict, grid(), &FavoritesGrid::followVerdict);
    connect(m_checker, &checker::LinkChecker::channelStageChanged, this,
            [this](int channel, checker::TransferChannel::Stage stage) { showIndicator(channel, dialPicture(stage)); });
    connect(m_checker, &checker::LinkChecker::channelIdle, this,
            [this](int channel) { showIndicator(channel, IdleDialPicture); });
    const auto setDialCount = [this](int n) {
        m_dials->setCount(n, [this](int channel) { return dialPicture(m_checker->shownStage(channel)); });
    };
    connect(m_checker, &checker::LinkChecker::threadCountChanged, this, [this, setDialCount](int n) {
        m_statusBar->setPanelText(3, QStringLiteral("线程数：") + QString::number(n));
        setDialCount(n);
        layOut();
    });
    connect(m_checker, &checker::LinkChecker::runStarted, this,
            [this] { m_statusBar->setPanelText(5, QStringLiteral("正在检测")); });
    connect(m_checker, &checker::LinkChecker::runFinished, this, [this] {
        m_statusBar->setPanelText(5, QStringLiteral("检测完毕"));
        emit checkFinished();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("检测"), QStringLiteral("检测完毕"), QMessageBox::Ok,
                        this);
        box.exec();
    });
    setDialCount(m_checker->threadCount());
}

void MainWindow::showIndicator(int channel, int picture)
{
    m_dials->show(channel, picture);
}

QLabel* MainWindow::indicator(int channel) const
{
    return m_dials->dial(channel);
}

int MainWindow::indicatorCount() const
{
    return m_dials->count();
}

FavoritesGrid* MainWindow::grid() const
{
    return m_gridPanel->grid();
}

QString MainWindow::panelText(int panel) const
{
    return m_statusBar->panelText(panel);
}

QLabel* MainWindow::panel(int panel) const
{
    return m_statusBar->panel(panel);
}

QSlider* MainWindow::slider() const
{
    return m_toolbar->slider();
}

QAction* MainWindow::action(jobs::Command command) const
{
    return m_toolbar->action(command);
}

void MainWindow::clearGrid()
{
    m_model.clear();
    m_statusBar->setPanelText(3, QString());
}

void MainWindow::runCommand(jobs::Command command)
{
    m_commands->run(command);
}

void MainWindow::openEditor(int row)
{
    // Only a row that shows a favorite: not the header, not the blank row of an empty or cleared grid, and not while
    // the favorites are being read or changed.
    if (row < 1 || row > m_model.dataRowCount() || m_load->isWorking())
        return;
    EditDialog dialog(m_state, row, this);
    // An applied edit has written the row's folder, name and address, the address last.
    if (dialog.exec() == QDialog::Accepted)
        grid()->setCurrentCell(row, LinkTableModel::AddressColumn);
}

void MainWindow::layOut()
{
    const int threads = m_checker ? m_checker->threadCount() : 1;
    const FormLayout layout =
        computeFormLayout(pixelsToTwips(width()), pixelsToTwips(height()), isMinimized(), threads);
    m_gridPanel->setGeometry(twipsToPixels(layout.grid));
    m_busyNotice->place(twipsToPixels(layout.frame));
    QVector<QRect> dials;
    for (const QRect& dial : layout.indicators)
        dials.append(twipsToPixels(dial));
    m_dials->place(dials);
    if (m_toolbar)
        m_toolbar->setGeometry(0, 0, width(), twipsToPixels(ToolbarHeightTwips));
    const int status = twipsToPixels(StatusBarHeightTwips);
    m_statusBar->setGeometry(0, height() - status, width(), status);
}

void MainWindow::updateMinimumSize()
{
    // Wide enough for the toolbar's buttons and slider group and for every status panel; high enough for the
    // toolbar, the status bar, the rows of indicators of the most channels and a grid that holds the busy notice.
    const int w = qMax(m_toolbar->contentWidth(), m_statusBar->minimumPanelsWidth());
    const int h = ceilTwipsToPixels(minimumClientHeightTwips(pixelsToTwips(w), checker::LinkChecker::kMaxThreads));
    setMinimumSize(w, h);
}

void MainWindow::centreOnScreen()
{
    if (const QScreen* s = screen())
        move(centredTopLeft(size(), s->availableGeometry()));
}

void MainWindow::setupKeyboard()
{
    // Tab reaches every toolbar button, then the slider, the choice of what the grid shows, the options and the
    // grid. Each command also has its shortcut on its action.
    QWidget* previous = nullptr;
    for (QWidget* next : m_toolbar->buttons()) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
    for (QWidget* next : {static_cast<QWidget*>(slider()), static_cast<QWidget*>(m_gridPanel->shownChoice()),
                          static_cast<QWidget*>(m_httpsOption), static_cast<QWidget*>(grid())}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layOut();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layOut();
}

} // namespace ui
