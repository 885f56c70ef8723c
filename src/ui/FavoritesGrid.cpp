#include "ui/FavoritesGrid.h"

#include <algorithm>
#include <functional>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include "checker/LinkChecker.h"
#include "ui/Artwork.h"
#include "ui/FavoritesFilter.h"
#include "ui/Fonts.h"
#include "ui/FormLayout.h"
#include "ui/LinkTableModel.h"
#include "ui/ResultDelegate.h"
#include "ui/RowMenu.h"

namespace ui
{

FavoritesGrid::FavoritesGrid(jobs::AppState& state, LinkTableModel& model, QWidget* parent)
    : QTableView(parent), m_model(model), m_filter(new FavoritesFilter(model, this)), m_menu(new RowMenu(state, this)),
      m_followTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("favoritesGrid"));
    setAccessibleName(QStringLiteral("收藏夹列表"));
    setModel(m_filter);
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
    // In the table's order until a header is clicked.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
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

    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const int row = tableRow(index))
            emit rowActivated(row);
    });
    const auto onCurrentRow = [this](const QKeySequence& keys, const std::function<void(int row)>& act) {
        auto* shortcut = new QShortcut(keys, this, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, act] {
            if (const int row = tableRow(currentIndex()))
                act(row);
        });
    };
    // Return, Enter (the keypad's: shortcuts match it without its keypad modifier) and F2 open the edit dialog for
    // the current row, as a double click on it does; the Menu key and Shift+F10 open its menu.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_F2})
        onCurrentRow(QKeySequence(key), [this](int row) { emit rowActivated(row); });
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)})
        onCurrentRow(keys, [this](int) { openMenu(currentIndex()); });
    onCurrentRow(QKeySequence::Copy, [this](int row) { m_menu->copyAddress(row); });
    connect(m_menu, &RowMenu::editRequested, this, &FavoritesGrid::rowActivated);
    connect(m_menu, &RowMenu::addressReplaced, this,
            [this](int row) { setCurrentCell(row, LinkTableModel::AddressColumn); });

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

int FavoritesGrid::tableRow(const QModelIndex& index) const
{
    const QModelIndex source = m_filter->mapToSource(index);
    return source.isValid() && source.row() < m_model.dataRowCount() ? source.row() + 1 : 0;
}

QModelIndex FavoritesGrid::indexOf(int row, int column) const
{
    if (row < 1 || row > m_model.dataRowCount())
        return QModelIndex();
    return m_filter->mapFromSource(m_model.index(row - 1, column));
}

void FavoritesGrid::setEditsAllowed(bool allowed)
{
    m_menu->setEditsAllowed(allowed);
}

void FavoritesGrid::contextMenuEvent(QContextMenuEvent* event)
{
    // From the keyboard, the current row's; from the pointer, the row under it (the header's events come here too,
    // and open nothing), which becomes current.
    if (event->reason() != QContextMenuEvent::Mouse) {
        openMenu(currentIndex());
        return;
    }
    const QPoint at = viewport()->mapFromGlobal(event->globalPos());
    const QModelIndex index = viewport()->rect().contains(at) ? indexAt(at) : QModelIndex();
    if (tableRow(index))
        setCurrentIndex(index);
    openMenu(index);
}

void FavoritesGrid::openMenu(const QModelIndex& index)
{
    const int row = tableRow(index);
    if (!row || m_menu->isVisible())
        return;
    // Under the cell, where the eye is.
    const QRect cell = visualRect(index);
    const QPoint at = viewport()->rect().contains(cell.center()) ? cell.bottomLeft() : QPoint(0, 0);
    m_menu->openFor(row, viewport()->mapToGlobal(at));
}

void FavoritesGrid::setCurrentCell(int row, int column, CellScroll scroll)
{
    m_followRow = 0;
    const QModelIndex index = indexOf(row, column);
    if (!index.isValid())
        return;
    const int left = horizontalScrollBar()->value();
    setCurrentIndex(index);
    scrollTo(index);
    if (scroll == VerticalScroll)
        horizontalScrollBar()->setValue(left);
}

} // namespace ui
