#include "ui/MainWindow.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSlider>

#include "checker/LinkChecker.h"
#include "ui/Artwork.h"
#include "ui/ChannelDial.h"
#include "ui/CommandBar.h"
#include "ui/Commands.h"
#include "ui/EditDialog.h"
#include "ui/FavoritesGrid.h"
#include "ui/Fonts.h"
#include "ui/FormLayout.h"
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
    setObjectName(QStringLiteral("Form1"));
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
    m_client->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(m_client);
    resize(twipsToPixels(12165), twipsToPixels(8400));

    m_grid = new FavoritesGrid(m_model, m_client);
    connect(m_grid, &FavoritesGrid::rowActivated, this, &MainWindow::MSHFlexGrid1_DblClick);

    m_statusBar = new StatusPanels(kProductName, m_client);
    connect(m_statusBar, &StatusPanels::panelsWidthChanged, this, [this] {
        if (m_toolbar)
            updateMinimumSize();
    });
    m_dial = dialPictures(devicePixelRatioF());
    setupBusyNotice();
    setupChecker();

    m_load = new jobs::LoadSequence(m_state, this);
    connect(m_load, &jobs::LoadSequence::cleared, this, &MainWindow::myClear);
    connect(m_load, &jobs::LoadSequence::favoritesCounted, this, [this](int n) {
        m_statusBar->setPanelText(3, QStringLiteral("地址 ") + QString::number(n) + QStringLiteral(" 条"));
    });
    connect(m_load, &jobs::LoadSequence::busyChanged, this, [this](bool shown) {
        m_busyNotice->setVisible(shown);
        m_busyNotice->raise();
    });
    connect(m_load, &jobs::LoadSequence::progressChanged, this, &MainWindow::showProgress);
    // While the favorites are being read or changed, the commands that change data wait (greyed), and so does the
    // edit dialog; a check goes on.
    connect(m_load, &jobs::LoadSequence::workingChanged, this, [this](bool working) { enableDataCommands(!working); });
    connect(m_load, &jobs::LoadSequence::loaded, this, [this] {
        // The load writes every row, the last cell of the last row last; the current cell is moved there once, at
        // the end, rather than along with each row. Only the row is scrolled to: the folder and name stay in sight.
        m_grid->setCurrentCell(m_model.dataRowCount(), LinkTableModel::History4Column, FavoritesGrid::VerticalScroll);
    });
    connect(m_load, &jobs::LoadSequence::finished, this, &MainWindow::tableLoaded);

    m_commands = new Commands(m_state, *m_checker, *m_load, this);
    connect(m_commands, &Commands::failed, this, &MainWindow::commandFailed);
    connect(m_commands, &Commands::finished, this, &MainWindow::commandFinished);
    connect(m_load, &jobs::LoadSequence::interruptedRestoreHandled, m_commands, &Commands::tellInterruptedRestore);
    connect(m_load, &jobs::LoadSequence::loadFailed, m_commands, &Commands::tellLoadFailure);

    Form_Load();
    setupKeyboard();
    updateMinimumSize();
    centreOnScreen();
}

MainWindow::~MainWindow()
{
    hide();
    m_load->stop();
}

void MainWindow::Form_Load()
{
    m_toolbar =
        new CommandBar(Commands::all(), checker::LinkChecker::kMinThreads, checker::LinkChecker::kMaxThreads, m_client);
    connect(m_toolbar, &CommandBar::triggered, this, &MainWindow::Toolbar1_ButtonClick);
    connect(m_toolbar->slider(), &QSlider::valueChanged, m_checker, &checker::LinkChecker::setThreadCount);
    m_load->startUp();
    enableDataCommands(!m_load->isWorking());
}

void MainWindow::setupBusyNotice()
{
    m_busyNotice = new QFrame(m_client);
    m_busyNotice->setObjectName(QStringLiteral("Frame1"));
    m_busyNotice->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_busyNotice->setAutoFillBackground(true);
    QPalette pal = m_busyNotice->palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0xFF));
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x80));
    m_busyNotice->setPalette(pal);
    m_busyText = new QLabel(Commands::progressText(jobs::LongWork::Load, 0, 0), m_busyNotice);
    m_busyText->setObjectName(QStringLiteral("Label1"));
    m_busyText->setAccessibleName(m_busyText->text());
    m_busyText->setAccessibleDescription(QStringLiteral("忙碌提示"));
    m_busyText->setFont(songTi(10.5, true));
    QRect geometry = twipsToPixels(QRect(960, 300, 3135, 255));
    m_busyTextWidth = geometry.width();
    geometry.setHeight(qMax(geometry.height(), m_busyText->sizeHint().height()));
    m_busyText->setGeometry(geometry);
    fitBusyNotice();
    m_busyNotice->hide();
}

void MainWindow::showProgress(jobs::LongWork kind, int done, int total)
{
    const QString text = Commands::progressText(kind, done, total);
    if (text == m_busyText->text())
        return;
    m_busyText->setText(text);
    m_busyText->setAccessibleName(text);
    fitBusyNotice();
}

void MainWindow::fitBusyNotice()
{
    // The text keeps its place in the notice and grows as it needs; the notice grows with it, around its centre,
    // keeping as much room to the text's right as to its left.
    m_busyText->resize(qMax(m_busyTextWidth, m_busyText->sizeHint().width()), m_busyText->height());
    QRect frame = m_busyNotice->geometry();
    if (frame.isEmpty()) // a minimized window
        return;
    const int needed = m_busyText->geometry().right() + 1 + m_busyText->x();
    if (needed > frame.width()) {
        const int more = needed - frame.width();
        frame.adjust(-more / 2, 0, more - more / 2, 0);
        m_busyNotice->setGeometry(frame);
    }
}

void MainWindow::enableDataCommands(bool enabled)
{
    if (!m_toolbar)
        return;
    for (const Commands::Entry& entry : Commands::all()) {
        if (Commands::changesData(entry.id))
            m_toolbar->action(entry.id)->setEnabled(enabled);
    }
}

void MainWindow::setupChecker()
{
    m_checker = new checker::LinkChecker(m_state.table, this);
    // The grid shows the verdict through the table; the window only follows it with the current cell.
    connect(m_checker, &checker::LinkChecker::verdict, m_grid, &FavoritesGrid::followVerdict);
    connect(m_checker, &checker::LinkChecker::channelStateChanged, this,
            [this](int channel, checker::TransferChannel::State state) { showIndicator(channel, dialPicture(state)); });
    connect(m_checker, &checker::LinkChecker::channelIdle, this,
            [this](int channel) { showIndicator(channel, IdleDialPicture); });
    connect(m_checker, &checker::LinkChecker::threadCountChanged, this, [this](int n) {
        m_statusBar->setPanelText(3, QStringLiteral("线程数：") + QString::number(n));
        updateIndicators(n);
        Form_Resize();
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
    updateIndicators(m_checker->threadCount());
}

void MainWindow::showIndicator(int channel, int picture)
{
    QLabel* label = indicator(channel);
    if (!label || picture < 1 || picture >= m_dial.size())
        return;
    label->setPixmap(m_dial.at(picture));
    label->setAccessibleDescription(picture == IdleDialPicture ? QStringLiteral("空闲") : QStringLiteral("正在检测"));
}

void MainWindow::updateIndicators(int count)
{
    while (int(m_indicators.size()) > count) {
        delete m_indicators.back();
        m_indicators.pop_back();
    }
    while (int(m_indicators.size()) < count) {
        const int channel = int(m_indicators.size());
        auto* label = new QLabel(m_client);
        label->setObjectName(QStringLiteral("myShow_%1").arg(channel));
        label->setAccessibleName(QStringLiteral("探测通道 %1").arg(channel + 1));
        label->setAlignment(Qt::AlignCenter);
        m_indicators.push_back(label);
        showIndicator(channel, dialPicture(m_checker->shownState(channel)));
        label->show();
    }
}

QLabel* MainWindow::indicator(int channel) const
{
    return channel >= 0 && channel < int(m_indicators.size()) ? m_indicators.at(channel) : nullptr;
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

void MainWindow::myClear()
{
    m_model.clear();
    m_statusBar->setPanelText(3, QString());
}

void MainWindow::StopTh()
{
    m_checker->stop();
}

void MainWindow::Toolbar1_ButtonClick(jobs::Command command)
{
    m_commands->run(command);
}

void MainWindow::MSHFlexGrid1_DblClick(int row)
{
    // Only a row that shows a favorite: not the header, not the blank row of an empty or cleared grid, and not while
    // the favorites are being read or changed.
    if (row < 1 || row > m_model.dataRowCount() || m_load->isWorking())
        return;
    EditDialog dialog(m_state, row, this);
    // An applied edit has written the row's folder, name and address, the address last.
    if (dialog.exec() == QDialog::Accepted)
        m_grid->setCurrentCell(row, LinkTableModel::AddressColumn);
}

void MainWindow::Form_Resize()
{
    const int threads = m_checker ? m_checker->threadCount() : 1;
    const FormLayout layout =
        computeFormLayout(pixelsToTwips(width()), pixelsToTwips(height()), isMinimized(), threads);
    m_grid->setGeometry(twipsToPixels(layout.grid));
    m_busyNotice->setGeometry(twipsToPixels(layout.frame));
    fitBusyNotice();
    for (int i = 0; i < int(m_indicators.size()) && i < layout.indicators.size(); ++i)
        m_indicators.at(i)->setGeometry(twipsToPixels(layout.indicators.at(i)));
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
    // Tab reaches every toolbar button, then the slider and the grid. Each command also has its shortcut on its
    // action.
    QWidget* previous = nullptr;
    for (QWidget* button : m_toolbar->buttons()) {
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }
    setTabOrder(previous, slider());
    setTabOrder(slider(), m_grid);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

} // namespace ui
