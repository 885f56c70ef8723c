#pragma once

#include <QWidget>

#include "jobs/AppState.h"

class QComboBox;

namespace ui
{

class FavoritesGrid;
class LinkTableModel;

/// The grid's place in the window: a bar with the choice 显示 (which favorites the grid shows, FavoritesFilter) and
/// the window's options, and under it the grid, which takes the rest.
class GridPanel : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GridPanel)

public:
    /// A panel for model (which must outlive it); the grid's menu acts on state's favorites.
    GridPanel(jobs::AppState& state, LinkTableModel& model, QWidget* parent);

    FavoritesGrid* grid() const { return m_grid; }
    QComboBox* shownChoice() const { return m_shownChoice; }
    /// Adds a widget to the bar, after what it holds.
    void addToBar(QWidget* widget);
    /// The bar's height.
    int barHeight() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_bar = nullptr;
    QComboBox* m_shownChoice = nullptr;
    FavoritesGrid* m_grid = nullptr;
};

} // namespace ui
