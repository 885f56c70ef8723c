#include "ui/MainWindow.h"

#include <algorithm>

#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QSlider>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include "checker/LinkChecker.h"
#include "favorites/Enumeration.h"
#include "favorites/Maintenance.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"
#include "ui/AboutBox.h"
#include "ui/Artwork.h"
#include "ui/EditDialog.h"
#include "ui/Fonts.h"
#include "ui/FormLayout.h"
#include "ui/ResultDelegate.h"

namespace ui {

namespace {

const QString kProductName = QStringLiteral("Tessaly(2005版)");

QRect twips(int left, int top, int width, int height)
{
    return twipsToPixels(QRect(left, top, width, height));
}

QTimer* oneShotTimer(QObject* parent, int intervalMs)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(intervalMs);
    timer->setSingleShot(true);
    return timer;
}

struct ToolbarButton
{
    const char* key;
    const char* tooltip;
    int cell;
};

// The eight commands, in their order on the toolbar.
const std::array<ToolbarButton, 8> kButtons{{
    {"a", "开始检测", StartCell},
    {"b", "停止检测", StopCell},
    {"c", "保存检测结果", SaveCell},
    {"d", "删除收藏夹无效地址", DeleteInvalidCell},
    {"e", "备份收藏夹", BackupCell},
    {"f", "还原收藏夹", RestoreCell},
    {"g", "关于软件", AboutCell},
    {"h", "退出程序", ExitCell},
}};

QLabel* caption(const QString& text, const QColor& colour, const QFont& font, const QRect& geometry, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->setGeometry(geometry);
    label->setAccessibleName(text.simplified().remove(QLatin1Char(' ')));
    return label;
}

} // namespace

MainWindow::MainWindow(table::AppState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kProductName);
    setWindowIcon(windowIcon());
    setAccessibleName(kProductName);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0x80));
    setPalette(pal);
    resize(twipsToPixels(12165), twipsToPixels(8400));

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("MSHFlexGrid1"));
    m_grid->setAccessibleName(QStringLiteral("收藏夹列表"));
    m_grid->setModel(&m_model);
    m_grid->setItemDelegate(new ResultDelegate(m_grid));
    m_model.setResultPictures(yesPicture(devicePixelRatioF()), noPicture(devicePixelRatioF()));
    connect(m_grid, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { MSHFlexGrid1_DblClick(index.row() + 1); });

    m_loadStart = oneShotTimer(this, 100);
    m_loadIe = oneShotTimer(this, 200);
    m_loadStop = oneShotTimer(this, 100);
    connect(m_loadStart, &QTimer::timeout, this, &MainWindow::load_start_Timer);
    connect(m_loadIe, &QTimer::timeout, this, &MainWindow::load_ie_Timer);
    connect(m_loadStop, &QTimer::timeout, this, &MainWindow::load_stop_Timer);

    m_dial = dialPictures(devicePixelRatioF());
    setupStatusBar();
    setupBusyNotice();
    setupChecker();
    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load()
{
    setupToolbar();
    setupGrid();

    favorites::Catalogue& cat = m_state.catalogue;
    cat.clearFiles();
    cat.clearFolders();
    cat.favPath = platform::GetRegString(platform::RegRoot::CurrentUser,
                                         QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
                                         QStringLiteral("Favorites"));
    // No Favorites value, or no such folder: an empty catalogue, and the program stays usable.
    if (favorites::favoritesFolderProblem(cat.favPath).isEmpty()) {
        favorites::ListFolders(cat, cat.favPath);
        favorites::collectFiles(cat);
    }
    showFavoritesCount();
    m_loadStart->start();
    m_loadIe->start();
}

void MainWindow::setupToolbar()
{
    m_toolbar1 = new QToolBar(this);
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setAccessibleName(QStringLiteral("工具栏"));
    m_toolbar1->setIconSize(QSize(ToolbarCellSize, ToolbarCellSize));
    m_toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar1->setMovable(false);
    m_toolbar1->setFloatable(false);
    m_toolbar1->setAutoFillBackground(true);
    for (int a = 0; a < int(kButtons.size()); ++a) {
        const ToolbarButton& button = kButtons.at(a);
        const QString key = QString::fromLatin1(button.key);
        // The tooltip is also the action's text, so screen readers name the button; it shows the image only.
        QAction* action = m_toolbar1->addAction(toolbarIcon(button.cell), QString::fromUtf8(button.tooltip));
        action->setToolTip(QString::fromUtf8(button.tooltip));
        action->setData(key);
        connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
        m_actions[a] = action;
    }
    setupSliderGroup();
}

void MainWindow::setupSliderGroup()
{
    // The slider group stands on the toolbar at fixed places, to the right of the buttons.
    QFont captionFont = songTi(9, true);
    QLabel* text1 = caption(QStringLiteral("线\n程数"), QColor(0xFF, 0x80, 0x00), captionFont, twips(6000, 120, 615, 375),
                            m_toolbar1);
    text1->setObjectName(QStringLiteral("Text1"));
    text1->setAlignment(Qt::AlignCenter);

    m_slider1 = new QSlider(Qt::Horizontal, m_toolbar1);
    m_slider1->setObjectName(QStringLiteral("Slider1"));
    m_slider1->setAccessibleName(QStringLiteral("线程数"));
    m_slider1->setRange(checker::LinkChecker::kMinThreads, checker::LinkChecker::kMaxThreads);
    m_slider1->setSingleStep(1);
    m_slider1->setPageStep(1);
    m_slider1->setValue(1);
    m_slider1->setGeometry(twips(6720, 0, 3735, 300));
    connect(m_slider1, &QSlider::valueChanged, m_checker, &checker::LinkChecker::Slider1_Change);

    const QFont figureFont = font();
    const QColor blue(0x00, 0x00, 0xFF);
    const struct
    {
        const char* name;
        const char* text;
        int left;
        int width;
    } figures[] = {{"Text2", "1", 6820, 135},
                   {"Text5", "10", 7580, 255},
                   {"Text4", "20", 8460, 255},
                   {"Text6", "30", 9340, 255},
                   {"Text3", "40", 10230, 255}};
    for (const auto& figure : figures) {
        QLabel* label = caption(QString::fromLatin1(figure.text), blue, figureFont,
                                twips(figure.left, 340, figure.width, 255), m_toolbar1);
        label->setObjectName(QString::fromLatin1(figure.name));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        // Tall enough for the font's line; the slider group still ends inside the toolbar.
        label->resize(label->width() + 2, qMax(label->height(), label->fontMetrics().height()));
    }
}

QAction* MainWindow::action(const QString& key) const
{
    for (QAction* a : m_actions) {
        if (a && a->data().toString() == key)
            return a;
    }
    return nullptr;
}

void MainWindow::setupGrid()
{
    m_grid->setFont(songTi(9));
    const QVector<int> widths = table::LinkTableModel::columnWidthsTwips();
    // Qt's own minimum is the header font's widest glyph plus margins: with a CJK face on Windows (whose widest
    // glyph is several ems) it exceeded the 500 twips of the result columns and widened them.
    m_grid->horizontalHeader()->setMinimumSectionSize(twipsToPixels(*std::min_element(widths.begin(), widths.end())));
    for (int k = 0; k < widths.size(); ++k)
        m_grid->setColumnWidth(k, twipsToPixels(widths.at(k)));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setStretchLastSection(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_grid->font()).height() + 4);
    m_grid->setWordWrap(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setStyleSheet(QStringLiteral("QTableView { color: #C000C0; background-color: #FFC0FF; }"
                                         "QHeaderView::section { color: #800080; background-color: #FFFF80;"
                                         " border: 1px solid #C0C0A0; padding: 1px; }"));
}

void MainWindow::setupStatusBar()
{
    m_statusBar = new QWidget(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setAccessibleName(QStringLiteral("状态栏"));
    auto* layout = new QHBoxLayout(m_statusBar);
    layout->setContentsMargins(0, 1, 0, 1);
    layout->setSpacing(2);
    const std::array<int, 7> widths{2800, 0, 2000, 800, 2000, 800, 1000};
    const std::array<QString, 7> texts{kProductName, QStringLiteral("信息"), QString(), QStringLiteral("状态"),
                                       QString(), QStringLiteral("日期"), QString()};
    const std::array<QString, 7> descriptions{QStringLiteral("程序名称"), QStringLiteral("信息栏标题"),
                                              QStringLiteral("信息"), QStringLiteral("状态栏标题"),
                                              QStringLiteral("检测状态"), QStringLiteral("日期栏标题"),
                                              QStringLiteral("今天的日期")};
    for (int p = 0; p < 7; ++p) {
        auto* label = new QLabel(texts.at(p), m_statusBar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAccessibleName(texts.at(p));
        label->setAccessibleDescription(descriptions.at(p));
        if (widths.at(p) > 0) {
            label->setFixedWidth(twipsToPixels(widths.at(p)));
            layout->addWidget(label);
        } else {
            label->setMinimumWidth(twipsToPixels(570));
            layout->addWidget(label, 1);
        }
        m_panels[p] = label;
    }
    // Panel 7 shows today's date and follows it past midnight.
    // Written the way the program's Chinese users read a date (2026/12/7), which also fits the panel.
    auto showDate = [this] {
        setPanelText(7, QLocale(QLocale::Chinese, QLocale::China).toString(QDate::currentDate(), QLocale::ShortFormat));
    };
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
    m_frame1->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_frame1->setAutoFillBackground(true);
    QPalette pal = m_frame1->palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0xFF));
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x80));
    m_frame1->setPalette(pal);
    m_label1 = new QLabel(QStringLiteral("正在处理数据，请稍候......"), m_frame1);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAccessibleName(m_label1->text());
    m_label1->setAccessibleDescription(QStringLiteral("忙碌提示"));
    m_label1->setFont(songTi(10.5, true));
    QRect geometry = twips(960, 300, 3135, 255);
    geometry.setWidth(qMax(geometry.width(), m_label1->sizeHint().width()));
    geometry.setHeight(qMax(geometry.height(), m_label1->sizeHint().height()));
    m_label1->setGeometry(geometry);
    m_frame1->hide();
}

void MainWindow::setupChecker()
{
    m_checker = new checker::LinkChecker(m_state.catalogue, m_state.table, this);
    connect(m_checker, &checker::LinkChecker::verdict, this,
            [this](int row, const QString& value) { m_model.setCell(row, table::LinkTableModel::ResultColumn, value); });
    connect(m_checker, &checker::LinkChecker::indicatorChanged, this, [this](int channel, int picture) {
        if (QLabel* label = indicator(channel); label && picture >= 1 && picture < m_dial.size()) {
            label->setPixmap(m_dial.at(picture));
            label->setAccessibleDescription(picture == checker::LinkChecker::kIdlePicture ? QStringLiteral("空闲")
                                                                                          : QStringLiteral("正在检测"));
        }
    });
    connect(m_checker, &checker::LinkChecker::threadCountChanged, this, [this](int n) {
        setPanelText(3, QStringLiteral("线程数：") + QString::number(n));
        updateIndicators(n);
        Form_Resize();
    });
    connect(m_checker, &checker::LinkChecker::runStarted, this,
            [this] { setPanelText(5, QStringLiteral("正在检测")); });
    connect(m_checker, &checker::LinkChecker::runFinished, this, [this] {
        setPanelText(5, QStringLiteral("检测完毕"));
        emit checkFinished();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("检测"), QStringLiteral("检测完毕"), QMessageBox::Ok, this);
        box.exec();
    });
    updateIndicators(m_checker->threadCount());
}

void MainWindow::updateIndicators(int count)
{
    while (int(m_myShow.size()) > count) {
        delete m_myShow.back();
        m_myShow.pop_back();
    }
    while (int(m_myShow.size()) < count) {
        const int channel = int(m_myShow.size());
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("myShow_%1").arg(channel));
        label->setAccessibleName(QStringLiteral("探测通道 %1").arg(channel + 1));
        label->setAccessibleDescription(QStringLiteral("空闲"));
        label->setAlignment(Qt::AlignCenter);
        label->setPixmap(m_dial.at(qBound(1, m_checker->picture(channel), int(m_dial.size()) - 1)));
        label->show();
        m_myShow.push_back(label);
    }
}

QLabel* MainWindow::indicator(int channel) const
{
    return channel >= 0 && channel < int(m_myShow.size()) ? m_myShow.at(channel) : nullptr;
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

void MainWindow::StopTh()
{
    m_checker->StopTh();
}

void MainWindow::rebuildTable()
{
    favorites::collectFiles(m_state.catalogue);
    showFavoritesCount();
    m_loadIe->start();
}

void MainWindow::finishPendingLoad()
{
    // Between a rebuild and its load the catalogue already lists the files on disk while the rows still
    // hold the table before it: row i of one is not file i of the other until the table is loaded.
    if (m_loadIe->isActive())
        load_ie_Timer();
}

void MainWindow::reportFailure(const QString& command, const QString& what)
{
    const QString message = command + QStringLiteral("失败：") + what;
    emit commandFailed(message);
    QMessageBox::warning(this, command, message);
}

void MainWindow::Toolbar1_ButtonClick(const QString& key)
{
    if (key == QLatin1String("a"))
        m_checker->StartTh();
    else if (key == QLatin1String("b"))
        StopTh();
    else if (key == QLatin1String("c"))
        saveResults();
    else if (key == QLatin1String("d"))
        deleteInvalid();
    else if (key == QLatin1String("e"))
        backup();
    else if (key == QLatin1String("f"))
        restore();
    else if (key == QLatin1String("g"))
        AboutBox::showAbout(this);
    else if (key == QLatin1String("h"))
        QCoreApplication::exit(0);
}

void MainWindow::saveResults()
{
    // Without a Favorites folder the table is empty: saving would only wipe every saved history.
    const QString problem = favorites::favoritesFolderProblem(m_state.catalogue.favPath);
    if (!problem.isEmpty()) {
        reportFailure(QStringLiteral("保存检测结果"), problem);
        return;
    }
    finishPendingLoad();
    QString error;
    // The file is written first: when it cannot be, the table stays as it is and nothing is lost.
    if (!table::saveResults(table::resultsFilePath(m_state.programFolder), m_state.catalogue, m_state.table, &error)) {
        reportFailure(QStringLiteral("保存检测结果"), table::resultsFilePath(m_state.programFolder) + QStringLiteral("：") + error);
        return;
    }
    myClear();
    m_loadStart->start();
    rebuildTable();
}

void MainWindow::deleteInvalid()
{
    const favorites::Catalogue& cat = m_state.catalogue;
    const QString problem = favorites::favoritesFolderProblem(cat.favPath);
    if (!problem.isEmpty()) {
        reportFailure(QStringLiteral("删除收藏夹无效地址"), problem);
        return;
    }
    finishPendingLoad();
    QStringList dead;
    const int rows = qMin(cat.fileCount, m_state.table.rowCount());
    for (int i = 1; i <= rows; ++i) {
        const table::History& h = m_state.table.rowHistory.at(i);
        if (h[0] == QLatin1String("4") && h[1] == table::kNo && h[2] == table::kNo && h[3] == table::kNo &&
            h[4] == table::kNo)
            dead.append(platform::joinPath(cat.filePath.at(i), cat.fileName.at(i)));
    }
    QString error;
    const bool ok = favorites::deleteFavorites(cat.favPath, dead, nullptr, &error);
    // Whatever happened, the table is rebuilt from what is on disk.
    myClear();
    m_loadStart->start();
    rebuildTable();
    if (!ok)
        reportFailure(QStringLiteral("删除收藏夹无效地址"), error);
}

void MainWindow::backup()
{
    QString error;
    if (!favorites::backupFavorites(m_state.catalogue.favPath, favorites::backupFolderPath(m_state.programFolder),
                                    &error)) {
        reportFailure(QStringLiteral("备份收藏夹"), error);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tessaly"), QStringLiteral("备份收藏夹完成！"), QMessageBox::Ok,
                    this);
    box.exec();
}

void MainWindow::restore()
{
    const QString favPath = m_state.catalogue.favPath;
    const QString problem = favorites::favoritesFolderProblem(favPath);
    if (!problem.isEmpty()) {
        reportFailure(QStringLiteral("还原收藏夹"), problem);
        return;
    }
    QString error;
    const bool ok = favorites::restoreFavorites(favorites::backupFolderPath(m_state.programFolder), favPath, &error);
    myClear();
    m_loadStart->start();
    rebuildTable();
    if (!ok)
        reportFailure(QStringLiteral("还原收藏夹"), error);
}

void MainWindow::MSHFlexGrid1_DblClick(int row)
{
    // Only a row that holds a favorite: not the header, not the blank row of an empty table.
    if (row < 1 || row > m_state.catalogue.fileCount || row > m_state.table.rowCount() || row > m_model.dataRowCount())
        return;
    m_state.editRow = row;
    EditDialog dialog(m_state, m_model, this);
    dialog.exec();
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
    const int threads = m_checker ? m_checker->threadCount() : 1;
    const FormLayout layout =
        computeFormLayout(pixelsToTwips(width()), pixelsToTwips(height()), isMinimized(), threads);
    m_grid->setGeometry(twipsToPixels(layout.grid));
    m_frame1->setGeometry(twipsToPixels(layout.frame));
    for (int i = 0; i < int(m_myShow.size()) && i < layout.indicators.size(); ++i)
        m_myShow.at(i)->setGeometry(twipsToPixels(layout.indicators.at(i)));
    if (m_toolbar1)
        m_toolbar1->setGeometry(0, 0, width(), twipsToPixels(ToolbarHeightTwips));
    const int status = twipsToPixels(StatusBarHeightTwips);
    m_statusBar->setGeometry(0, height() - status, width(), status);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

} // namespace ui
