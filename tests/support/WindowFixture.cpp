#include "support/WindowFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "favorites/Maintenance.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "support/TempFavorites.h"
#include "table/LoadSequence.h"
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

FavoritesFixture::FavoritesFixture()
    : m_fav(platform::joinPath(m_dir.path(), QStringLiteral("Favorites"))),
      m_program(platform::joinPath(m_dir.path(), QStringLiteral("prog"))), m_dataHomeBefore(qgetenv("XDG_DATA_HOME"))
{
    QDir().mkpath(m_fav);
    QDir().mkpath(m_program);
    m_trash = trashInside(m_dir.path());
}

FavoritesFixture::~FavoritesFixture()
{
    if (m_dataHomeBefore.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_dataHomeBefore);
}

QString FavoritesFixture::backup() const
{
    return favorites::backupFolderPath(state.programFolder.isEmpty() ? m_program : state.programFolder);
}

QString FavoritesFixture::results() const
{
    return table::resultsFilePath(state.programFolder.isEmpty() ? m_program : state.programFolder);
}

bool FavoritesFixture::addFavorite(const QString& relativePath, const QString& address) const
{
    return writeFile(platform::joinPath(m_fav, relativePath), shortcutBytes(address));
}

bool FavoritesFixture::writeResults(const QStringList& lines) const
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += platform::encodeSystem(m_fav + line) + "\r\n";
    return writeFile(results(), bytes);
}

void FavoritesFixture::prepare(const QString& favoritesValue, const QString& programFolder)
{
    qputenv("TESSALY_FAVORITES", (favoritesValue.isNull() ? m_fav : favoritesValue).toUtf8());
    state.programFolder = programFolder.isEmpty() ? m_program : programFolder;
}

WindowFixture::WindowFixture() = default;

WindowFixture::~WindowFixture() = default;

void WindowFixture::open(const QString& favoritesValue, const QString& programFolder)
{
    prepare(favoritesValue, programFolder);
    m_window = std::make_unique<ui::MainWindow>(state);
    m_window->show();
}

bool WindowFixture::start(const QString& favoritesValue, const QString& programFolder)
{
    open(favoritesValue, programFolder);
    return waitLoaded();
}

void WindowFixture::close()
{
    m_window.reset();
}

bool WindowFixture::waitLoaded() const
{
    QSignalSpy loaded(m_window.get(), &ui::MainWindow::tableLoaded);
    return loaded.wait(5000);
}

WorkerGate::WorkerGate(table::LoadSequence& load, int step)
{
    // The worker may still be in the hook when the gate has gone: it holds on to the state.
    load.setStepHook([state = m_state, step, &load](int done, int) {
        state->reached = std::max(state->reached.load(), done);
        if (done != step || state->open)
            return;
        state->held = true;
        while (!state->open && !load.isStopping())
            QThread::msleep(1);
    });
}

CommandFixture::CommandFixture()
    : m_load(std::make_unique<table::LoadSequence>(state)),
      m_rules(std::make_unique<table::CommandRules>(state, *m_load, *this))
{
    QObject::connect(m_load.get(), &table::LoadSequence::loaded, [this] { ++loads; });
    QObject::connect(m_load.get(), &table::LoadSequence::cleared, [this] { ++cleared; });
}

CommandFixture::~CommandFixture() = default;

bool CommandFixture::start(const QString& favoritesValue, const QString& programFolder)
{
    prepare(favoritesValue, programFolder);
    m_load->startUp();
    return QTest::qWaitFor([this] { return !m_load->isWorking(); }, 5000) && loads == 1;
}

void CommandFixture::click(table::Command command)
{
    switch (command) {
    case table::Command::SaveResults:
        m_rules->saveResults();
        break;
    case table::Command::DeleteDead:
        m_rules->deleteDead();
        break;
    case table::Command::Backup:
        m_rules->backup();
        break;
    case table::Command::Restore:
        m_rules->restore();
        break;
    default:
        break;
    }
}

bool CommandFixture::run(table::Command command)
{
    QSignalSpy finished(m_rules.get(), &table::CommandRules::commandFinished);
    click(command);
    return (!finished.isEmpty() || finished.wait(30000)) &&
           QTest::qWaitFor([this] { return !m_load->isWorking(); }, 5000);
}

bool CommandFixture::confirmSaveWithoutAnswers()
{
    ++questions;
    return saveAnyway;
}

bool CommandFixture::confirmDeleteForGood(table::Command command, const QStringList& paths,
                                          const platform::SystemError&)
{
    deleteQuestions.append({command, paths});
    return deleteForGood;
}

QString CommandFixture::replacedFavoritesName()
{
    return QStringLiteral("Favorites before the restore");
}

void CommandFixture::reportFailure(table::Command command, const platform::Failure& failure)
{
    failures.append({command, failure});
}

void CommandFixture::reportDone(table::Command command, const table::CommandReport& report)
{
    reports.append({command, report});
}

} // namespace testsupport
