#include "ui/GridPanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

#include "ui/FavoritesFilter.h"
#include "ui/FavoritesGrid.h"

namespace ui
{

GridPanel::GridPanel(jobs::AppState& state, LinkTableModel& model, QWidget* parent)
    : QWidget(parent), m_bar(new QWidget(this)), m_shownChoice(new QComboBox(m_bar)),
      m_grid(new FavoritesGrid(state, model, this))
{
    setObjectName(QStringLiteral("gridPanel"));
    m_bar->setObjectName(QStringLiteral("gridBar"));
    auto* caption = new QLabel(QStringLiteral("显示"), m_bar);
    caption->setBuddy(m_shownChoice);
    m_shownChoice->setObjectName(QStringLiteral("shownChoice"));
    m_shownChoice->setAccessibleName(caption->text());
    m_shownChoice->addItems(FavoritesFilter::shownNames());
    m_shownChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_shownChoice, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_grid->filter()->setShown(FavoritesFilter::Shown(index)); });
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->addWidget(caption);
    layout->addWidget(m_shownChoice);
    layout->addSpacing(16);
    layout->addStretch();
}

void GridPanel::addToBar(QWidget* widget)
{
    auto* layout = static_cast<QHBoxLayout*>(m_bar->layout());
    widget->setParent(m_bar);
    layout->insertWidget(layout->count() - 1, widget);
}

int GridPanel::barHeight() const
{
    return m_bar->sizeHint().height();
}

void GridPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The bar as high as it needs, the grid the rest; a panel of no size (a minimized window) shows neither.
    const int bar = qMin(height(), barHeight());
    m_bar->setGeometry(0, 0, width(), bar);
    m_grid->setGeometry(0, bar, width(), height() - bar);
}

} // namespace ui
