#include "ui/MainWindow.h"

#include <QDate>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <QTimer>

#include "favorites/Enumeration.h"
#include "platform/Registry.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"

namespace ui {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips)
{
    return twips / kTwipsPerPixel;
}

const QString kProductName = QStringLiteral("Tessaly(2005版)");

QTimer* oneShotTimer(QObject* parent, int intervalMs)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(intervalMs);
    timer->setSingleShot(true);
    return timer;
}

} // namespace

MainWindow::MainWindow(table::AppState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setWindowTitle(kProductName);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0x80));
    setPalette(pal);
    resize(px(12165), px(8400));

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("MSHFlexGrid1"));
    m_grid->setAccessibleName(QStringLiteral("收藏夹列表"));
    m_grid->setModel(&m_model);

    m_loadStart = oneShotTimer(this, 100);
    m_loadIe = oneShotTimer(this, 200);
    m_loadStop = oneShotTimer(this, 100);
    connect(m_loadStart, &QTimer::timeout, this, &MainWindow::load_start_Timer);
    connect(m_loadIe, &QTimer::timeout, this, &MainWindow::load_ie_Timer);
    connect(m_loadStop, &QTimer::timeout, this, &MainWindow::load_stop_Timer);

    setupStatusBar();
    setupBusyNotice();
    Form_Load();
}

void MainWindow::Form_Load()
{
    setupGrid();

    favorites::Catalogue& cat = m_state.catalogue;
    cat.clearFiles();
    cat.clearFolders();
    cat.favPath = platform::GetRegString(platform::RegRoot::CurrentUser,
                                         QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
                                         QStringLiteral("Favorites"));
    // No Favorites value, or no such folder: an empty catalogue, and the program stays usable.
    if (!cat.favPath.isEmpty() && QFileInfo(cat.favPath).isDir()) {
        favorites::ListFolders(cat, cat.favPath);
        favorites::collectFiles(cat);
    }
    showFavoritesCount();
    m_loadStart->start();
    m_loadIe->start();
}

void MainWindow::setupGrid()
{
    const QVector<int> widths = table::LinkTableModel::columnWidthsTwips();
    for (int k = 0; k < widths.size(); ++k)
        m_grid->setColumnWidth(k, px(widths.at(k)));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(18);
    m_grid->setWordWrap(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void MainWindow::setupStatusBar()
{
    m_statusBar = new QWidget(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    auto* layout = new QHBoxLayout(m_statusBar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const std::array<int, 7> widths{2800, 0, 2000, 800, 2000, 800, 1000};
    const std::array<QString, 7> texts{kProductName, QStringLiteral("信息"), QString(), QStringLiteral("状态"),
                                       QString(), QStringLiteral("日期"), QString()};
    const std::array<QString, 7> descriptions{QStringLiteral("程序名称"), QString(), QStringLiteral("信息"),
                                              QString(), QStringLiteral("状态"), QString(),
                                              QStringLiteral("日期")};
    for (int p = 0; p < 7; ++p) {
        auto* label = new QLabel(texts.at(p), m_statusBar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAccessibleName(texts.at(p));
        label->setAccessibleDescription(descriptions.at(p));
        if (widths.at(p) > 0) {
            label->setFixedWidth(px(widths.at(p)));
            layout->addWidget(label);
        } else {
            label->setMinimumWidth(px(570));
            layout->addWidget(label, 1);
        }
        m_panels[p] = label;
    }
    // Panel 7 shows today's date and follows it past midnight.
    auto showDate = [this] { setPanelText(7, QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)); };
    showDate();
    m_dateTimer = new QTimer(this);
    m_dateTimer->setInterval(30 * 1000);
    connect(m_dateTimer, &QTimer::timeout, this, showDate);
    m_dateTimer->start();
}

void MainWindow::setupBusyNotice()
{
    m_frame1 = new QFrame(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setAutoFillBackground(true);
    QPalette pal = m_frame1->palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0xFF));
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x80));
    m_frame1->setPalette(pal);
    m_label1 = new QLabel(QStringLiteral("正在处理数据，请稍候......"), m_frame1);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAccessibleName(m_label1->text());
    m_label1->setAccessibleDescription(QStringLiteral("忙碌提示"));
    QFont font(QStringLiteral("SimSun"));
    font.setPointSizeF(10.5);
    font.setBold(true);
    m_label1->setFont(font);
    m_label1->setGeometry(px(960), px(300), px(3135) + 40, px(255) + 4);
    m_frame1->hide();
}

void MainWindow::setPanelText(int panel, const QString& text)
{
    QLabel* label = m_panels.at(panel - 1);
    label->setText(text);
    label->setAccessibleName(text);
}

QString MainWindow::panelText(int panel) const
{
    return m_panels.at(panel - 1)->text();
}

void MainWindow::showFavoritesCount()
{
    setPanelText(3, QStringLiteral("地址 ") + QString::number(m_state.catalogue.fileCount) + QStringLiteral(" 条"));
}

void MainWindow::myClear()
{
    m_model.clear();
    setPanelText(3, QString());
}

void MainWindow::load_start_Timer()
{
    m_loadStart->stop();
    m_frame1->show();
    m_frame1->raise();
}

void MainWindow::load_ie_Timer()
{
    m_loadIe->stop();
    table::loadTable(m_state.catalogue, m_state.table, m_model, table::resultsFilePath(m_state.programFolder));
    m_loadStop->start();
}

void MainWindow::load_stop_Timer()
{
    m_loadStop->stop();
    m_frame1->hide();
    emit tableLoaded();
}

void MainWindow::Form_Resize()
{
    const int w = width();
    const int h = height();
    const int toolbar = px(600);
    const int status = px(315);
    m_grid->setGeometry(0, toolbar, w, qMax(0, h - toolbar - status));
    m_statusBar->setGeometry(0, h - status, w, status);
    m_frame1->setGeometry((w - px(5000)) / 2, (h - px(800)) / 2, px(5000), px(800));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

} // namespace ui
