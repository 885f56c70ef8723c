#include "support/WindowFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include "favorites/Maintenance.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "support/TempFavorites.h"
#include "table/ResultsFile.h"
#include "ui/LinkTableModel.h"
#include "ui/MainWindow.h"

namespace testsupport
{

QStringList gridRows(const ui::LinkTableModel& model)
{
    QStringList rows;
    for (int r = 1; r <= model.dataRowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ui::LinkTableModel::ColumnCount; ++c)
            cells.append(model.cell(r, c));
        rows.append(cells.join(u'|'));
    }
    return rows;
}

WindowFixture::WindowFixture()
    : m_fav(platform::joinPath(m_dir.path(), QStringLiteral("Favorites"))),
      m_program(platform::joinPath(m_dir.path(), QStringLiteral("prog")))
{
    QDir().mkpath(m_fav);
    QDir().mkpath(m_program);
}

WindowFixture::~WindowFixture() = default;

QString WindowFixture::backup() const
{
    return favorites::backupFolderPath(state.programFolder.isEmpty() ? m_program : state.programFolder);
}

QString WindowFixture::results() const
{
    return table::resultsFilePath(state.programFolder.isEmpty() ? m_program : state.programFolder);
}

bool WindowFixture::addFavorite(const QString& relativePath, const QString& address) const
{
    return writeFile(platform::joinPath(m_fav, relativePath), shortcutBytes(address));
}

bool WindowFixture::writeResults(const QStringList& lines) const
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += platform::encodeSystem(m_fav + line) + "\r\n";
    return writeFile(results(), bytes);
}

void WindowFixture::open(const QString& favoritesValue, const QString& programFolder)
{
    qputenv("TESSALY_FAVORITES", (favoritesValue.isNull() ? m_fav : favoritesValue).toUtf8());
    state.programFolder = programFolder.isEmpty() ? m_program : programFolder;
    m_window = std::make_unique<ui::MainWindow>(state);
    m_window->show();
}

bool WindowFixture::start(const QString& favoritesValue, const QString& programFolder)
{
    open(favoritesValue, programFolder);
    return waitLoaded();
}

bool WindowFixture::waitLoaded() const
{
    QSignalSpy loaded(m_window.get(), &ui::MainWindow::tableLoaded);
    return loaded.wait(5000);
}

} // namespace testsupport
