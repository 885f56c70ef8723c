#pragma once

#include <memory>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "table/AppState.h"

namespace ui
{
class LinkTableModel;
class MainWindow;
} // namespace ui

namespace testsupport
{

/// The data rows of the grid, each as its eight cells joined by "|".
QStringList gridRows(const ui::LinkTableModel& model);

/// A temporary folder holding a Favorites folder "Favorites" and a program folder "prog", and a main
/// window started on them.
class WindowFixture
{
public:
    WindowFixture();
    ~WindowFixture();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString fav() const { return m_fav; }
    QString program() const { return m_program; }
    QString backup() const;
    QString results() const;

    /// Writes a shortcut file for address at fav/relativePath, creating its folders.
    bool addFavorite(const QString& relativePath, const QString& address) const;
    /// Writes the results file from lines "relative folder|file name|v1|v2|v3|v4", the folder relative to
    /// the Favorites folder ("" or "/Sub"); each line is stored with the folder's full path.
    bool writeResults(const QStringList& lines) const;

    /// Opens the window with the given Favorites value (the fixture's Favorites folder by default) and program
    /// folder; its start-up has scheduled the first load, which the event loop then runs.
    void open(const QString& favoritesValue = QString(), const QString& programFolder = QString());
    /// Opens the window as open() does and waits for the first load. False when the load does not come.
    bool start(const QString& favoritesValue = QString(), const QString& programFolder = QString());
    /// Waits for the next load of the table.
    bool waitLoaded() const;

    ui::MainWindow& window() const { return *m_window; }
    table::AppState state;

private:
    QTemporaryDir m_dir;
    QString m_fav;
    QString m_program;
    std::unique_ptr<ui::MainWindow> m_window;
};

} // namespace testsupport
