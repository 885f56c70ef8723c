#include "ui/FavoritesGrid.h"

#include <algorithm>

#include <QHeaderView>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include "checker/LinkChecker.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/FormLayout.h"
#include "ui/LinkTableModel.h"
#include "ui/ResultDelegate.h"

namespace ui
{

FavoritesGrid::FavoritesGrid(LinkTableModel& model, QWidget* parent)
    : QTableView(parent), m_model(model), m_followTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("MSHFlexGrid1"));
    setAccessibleName(QStringLiteral("收藏夹列表"));
    setModel(&m_model);
    setItemDelegate(new ResultDelegate(this));
    m_model.setResultPictures(yesPicture(devicePixelRatioF()), noPicture(devicePixelRatioF()));

    setFont(songTi(9));
    const QVector<int> widths = LinkTableModel::columnWidthsTwips();
    // Qt's own minimum is the header font's widest glyph plus margins: with a CJK face on Windows (whose widest
    // glyph is several ems) it exceeded the 500 twips of the result columns and widened them.
    horizontalHeader()->setMinimumSectionSize(twipsToPixels(*std::min_element(widths.begin(), widths.end())));
    for (int k = 0; k < widths.size(); ++k)
        setColumnWidth(k, twipsToPixels(widths.at(k)));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setStyleSheet(QStringLiteral("QTableView { color: #C000C0; background-color: #FFC0FF; }"
                                 "QHeaderView::section { color: #800080; background-color: #FFFF80;"
                                 " border: 1px solid #C0C0A0; padding: 1px; }"));
    // The arrow keys move between the cells; Tab leaves the grid, or it would never reach the toolbar again.
    setTabKeyNavigation(false);

    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowActivated(index.row() + 1); });
    // Return, Enter (the keypad's: shortcuts match it without its keypad modifier) and F2 open the edit dialog for
    // the current row, as a double click on it does.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_F2}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { emit rowActivated(currentIndex().row() + 1); });
    }

    m_followTimer->setSingleShot(true);
    m_followTimer->setInterval(checker::LinkChecker::kDispatchIntervalMs);
    connect(m_followTimer, &QTimer::timeout, this, [this] {
        if (m_followRow > 0) {
            setCurrentCell(m_followRow, LinkTableModel::ResultColumn);
            m_followTimer->start();
        }
    });
}

void FavoritesGrid::followVerdict(int row)
{
    // The verdict's cell becomes the current cell and stays so: the user sees how far the check has come. Moving
    // the cell repaints the grid each time: the cell moves at once, then at most once a dispatch tick, to the latest
    // verdict's cell.
    if (m_followTimer->isActive()) {
        m_followRow = row;
        return;
    }
    setCurrentCell(row, LinkTableModel::ResultColumn);
    m_followTimer->start();
}

void FavoritesGrid::setCurrentCell(int row, int column, CellScroll scroll)
{
    m_followRow = 0;
    if (row < 1 || row > m_model.dataRowCount())
        return;
    const QModelIndex index = m_model.index(row - 1, column);
    const int left = horizontalScrollBar()->value();
    setCurrentIndex(index);
    scrollTo(index);
    if (scroll == VerticalScroll)
        horizontalScrollBar()->setValue(left);
}

} // namespace ui
