#include "support/WindowFixture.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QThread>

#include "favorites/Maintenance.h"
#include "jobs/LoadSequence.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "support/ChildRun.h"
#include "support/TempFavorites.h"
#include "table/ResultsFile.h"
#include "ui/BusyNotice.h"
#include "ui/CommandBar.h"
#include "ui/Fonts.h"
#include "ui/GridPanel.h"
#include "ui/LinkTableModel.h"
#include "ui/MainWindow.h"
#include "ui/StatusPanels.h"

namespace testsupport
{

namespace
{

QString describe(const QWidget* widget)
{
    QString name =
        widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className()) : widget->objectName();
    if (const auto* label = qobject_cast<const QLabel*>(widget); label && !label->text().isEmpty())
        name += QStringLiteral(" \"%1\"").arg(label->text());
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget); button && !button->text().isEmpty())
        name += QStringLiteral(" \"%1\"").arg(button->text());
    return name;
}

QString show(const QRectF& r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Where the glyphs of text fall when drawn with these flags in rect, as Qt's styles draw a label's or a button's
// text, but without clipping: the bounding box of its dark pixels (the faint edge of smoothing left out).
QRect inkOf(const QFont& font, const QString& text, int flags, const QRect& rect)
{
    const int room = 4 * QFontMetrics(font).height() + 16;
    QImage image(rect.size() + QSize(2 * room, 2 * room), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(QPoint(room, room), rect.size()), flags | Qt::TextDontClip, text);
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(line[x]) < 128)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink.translated(rect.topLeft() - QPoint(room, room));
}

// The room a label draws its text or picture in: inside its frame and margin, and its indent on the aligned sides
// (a framed label without an indent of its own is indented by half an "x").
QRect labelRoom(const QLabel* label, Qt::Alignment alignment)
{
    const int margin = label->margin();
    QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0)
        indent = label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin;
    if (indent > 0) {
        if (alignment & Qt::AlignLeft)
            room.setLeft(room.left() + indent);
        if (alignment & Qt::AlignRight)
            room.setRight(room.right() - indent);
        if (alignment & Qt::AlignTop)
            room.setTop(room.top() + indent);
        if (alignment & Qt::AlignBottom)
            room.setBottom(room.bottom() - indent);
    }
    return room;
}

QString textCutOff(const QWidget* widget, const QString& text, int flags, const QRect& drawnIn, const QRect& room)
{
    const QRect ink = inkOf(widget->font(), text, flags, drawnIn);
    if (ink.isNull() || room.contains(ink))
        return QString();
    return QStringLiteral("%1: the text takes %2, the room is %3").arg(describe(widget), show(ink), show(room));
}

} // namespace

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

WindowParts windowParts(const ui::MainWindow& window)
{
    WindowParts parts;
    parts.client = window.centralWidget()->rect();
    parts.toolbar = window.toolbar()->geometry();
    parts.grid = window.gridPanel()->geometry();
    parts.busyNotice = window.busyNotice()->geometry();
    for (int i = 0; i < window.indicatorCount(); ++i)
        parts.dials.append(window.indicator(i)->geometry());
    parts.statusBar = window.statusPanels()->geometry();
    return parts;
}

QStringList layoutFaults(const WindowParts& parts, int slack)
{
    QStringList faults;
    const auto near = [slack](double a, double b) { return std::abs(a - b) <= slack; };
    const QRect& client = parts.client;
    // Rectangles here are of whole units: the first unit below r is r.y() + r.height().
    const auto below = [](const QRect& r) { return r.y() + r.height(); };

    if (parts.toolbar.topLeft() != client.topLeft() || parts.toolbar.width() != client.width())
        faults << QStringLiteral("the toolbar %1 is not across the top of %2").arg(show(parts.toolbar), show(client));
    if (below(parts.statusBar) != below(client) || parts.statusBar.x() != client.x() ||
        parts.statusBar.width() != client.width())
        faults << QStringLiteral("the status bar %1 is not across the bottom of %2")
                      .arg(show(parts.statusBar), show(client));
    if (parts.grid.x() != client.x() || parts.grid.width() != client.width() ||
        !near(parts.grid.y(), below(parts.toolbar)))
        faults << QStringLiteral("the grid %1 does not fill the width under the toolbar %2")
                      .arg(show(parts.grid), show(parts.toolbar));

    // What lies between the grid and the status bar: the rows of dials, with less than a dial's height to spare
    // above and below them.
    const int dialHeight = parts.dials.isEmpty() ? 0 : parts.dials.first().height();
    const int firstTop = parts.dials.isEmpty() ? parts.statusBar.y() : parts.dials.first().y();
    int lastBelow = below(parts.grid);
    for (const QRect& dial : parts.dials)
        lastBelow = std::max(lastBelow, below(dial));
    const int spareAbove = firstTop - below(parts.grid);
    const int spareBelow = parts.statusBar.y() - lastBelow;
    if (spareAbove < 0 || spareAbove > dialHeight + slack)
        faults << QStringLiteral("the grid %1 does not reach down to the dials or the status bar at %2")
                      .arg(show(parts.grid))
                      .arg(firstTop);
    if (spareBelow < 0 || spareBelow > dialHeight + slack)
        faults << QStringLiteral("the last dials end at %1, not just above the status bar %2")
                      .arg(lastBelow)
                      .arg(show(parts.statusBar));

    // The dials: all alike, inside the client area and clear of the grid and the status bar, in rows from the left
    // edge in channel order, a row broken only where the next dial would not fit beside the last.
    int rowStart = 0;
    for (int i = 0; i < parts.dials.size(); ++i) {
        const QRect& dial = parts.dials.at(i);
        const QString name = QStringLiteral("dial %1 %2").arg(i + 1).arg(show(dial));
        if (!near(dial.width(), parts.dials.first().width()) || !near(dial.height(), dialHeight) || dial.isEmpty())
            faults << name + QStringLiteral(" differs from dial 1");
        if (!client.contains(dial))
            faults << name + QStringLiteral(" is outside the client area");
        if (dial.intersects(parts.grid) || dial.intersects(parts.statusBar) || dial.intersects(parts.toolbar))
            faults << name + QStringLiteral(" overlaps the grid, the toolbar or the status bar");
        for (int j = 0; j < i; ++j) {
            if (dial.intersects(parts.dials.at(j)))
                faults << name + QStringLiteral(" overlaps dial %1").arg(j + 1);
        }
        if (i == 0) {
            if (!near(dial.x(), client.x()))
                faults << name + QStringLiteral(" does not begin the first row at the left edge");
            continue;
        }
        const QRect& previous = parts.dials.at(i - 1);
        if (near(dial.y(), previous.y())) {
            if (dial.x() <= previous.x())
                faults << name + QStringLiteral(" is not right of dial %1").arg(i);
            continue;
        }
        // A new row: at the left edge, lower than the last, which is as full as the width allows: one more dial,
        // as far from it as the dials of its row stand apart (or the rows, where each holds one), would not fit.
        if (!near(dial.x(), client.x()) || dial.y() < below(previous))
            faults << name + QStringLiteral(" does not begin a row at the left edge under dial %1").arg(i);
        const double pitch = i - 1 > rowStart ? double(previous.x() - parts.dials.at(rowStart).x()) / (i - 1 - rowStart)
                                              : double(dial.y() - previous.y());
        if (previous.x() + 2 * pitch <= client.x() + client.width() - slack)
            faults << name + QStringLiteral(" begins a row though dial %1 left room for one more").arg(i);
        rowStart = i;
    }

    const QPointF centre = QRectF(client).center();
    if (!near(parts.busyNotice.center().x(), centre.x()) || !near(parts.busyNotice.center().y(), centre.y()))
        faults << QStringLiteral("the busy notice %1 is not centred in %2").arg(show(parts.busyNotice), show(client));
    // Over the grid: within its height, and within its width unless the grid is narrower than the notice.
    const QRectF grid(parts.grid);
    const QRectF notice = parts.busyNotice;
    if (notice.top() < grid.top() || notice.bottom() > grid.bottom() ||
        (notice.width() <= grid.width() && (notice.left() < grid.left() || notice.right() > grid.right())))
        faults << QStringLiteral("the busy notice %1 is not over the grid %2")
                      .arg(show(parts.busyNotice), show(parts.grid));
    return faults;
}

QStringList cutOffTexts(const QWidget* root)
{
    QStringList faults;
    QList<const QWidget*> widgets{root};
    for (const QWidget* child : root->findChildren<QWidget*>())
        widgets.append(child);
    for (const QWidget* widget : widgets) {
        if (widget != root && !widget->isVisibleTo(root))
            continue;
        QString fault;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            const Qt::Alignment alignment = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
            const QRect room = labelRoom(label, alignment);
            if (!label->pixmap().isNull()) {
                const QSizeF picture = label->pixmap().deviceIndependentSize();
                if (picture.width() > room.width() || picture.height() > room.height())
                    fault = QStringLiteral("%1: the picture is %2 x %3, the room is %4")
                                .arg(describe(label))
                                .arg(picture.width())
                                .arg(picture.height())
                                .arg(show(room));
            } else {
                fault = textCutOff(label, label->text(), int(alignment), room, label->contentsRect());
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            fault = textCutOff(button, button->text(), Qt::AlignCenter | Qt::TextShowMnemonic, room, room);
        }
        if (!fault.isEmpty())
            faults << fault;
    }
    return faults;
}

QStringList overlappingChildren(const QWidget* container, const QWidget* over)
{
    QStringList faults;
    QList<const QWidget*> children;
    for (const QWidget* child : container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(container) && !child->isWindow())
            children.append(child);
    }
    for (int i = 0; i < children.size(); ++i) {
        const QWidget* child = children.at(i);
        if (!container->rect().contains(child->geometry()))
            faults << QStringLiteral("%1 %2 sticks out of %3 %4")
                          .arg(describe(child), show(child->geometry()), describe(container), show(container->rect()));
        for (int j = 0; j < i; ++j) {
            const QWidget* other = children.at(j);
            if (child != over && other != over && child->geometry().intersects(other->geometry()))
                faults << QStringLiteral("%1 %2 overlaps %3 %4")
                              .arg(describe(child), show(child->geometry()), describe(other), show(other->geometry()));
        }
    }
    return faults;
}

QStringList rerunWithOtherStandIns(const QString& testFunction)
{
    const QString systemConfig = qEnvironmentVariableIsSet("FONTCONFIG_FILE") ? qEnvironmentVariable("FONTCONFIG_FILE")
                                                                              : QStringLiteral("/etc/fonts/fonts.conf");
    const QStringList standIns = ui::songTiFamilies();
    QTemporaryDir dir;
    if (!QFileInfo::exists(systemConfig) || !dir.isValid())
        return {};
    QStringList failures;
    for (int i = 1; i < standIns.size(); ++i) {
        QString rejected;
        for (const QString& family : standIns.mid(0, i))
            rejected += QStringLiteral("<pattern><patelt name=\"family\"><string>%1</string></patelt></pattern>")
                            .arg(family.toHtmlEscaped());
        const QString config = dir.filePath(QStringLiteral("fonts-%1.conf").arg(i));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(
                QStringLiteral("<?xml version=\"1.0\"?>\n<fontconfig><include>%1</include><selectfont><rejectfont>"
                               "%2</rejectfont></selectfont></fontconfig>\n")
                    .arg(systemConfig.toHtmlEscaped(), rejected)
                    .toUtf8()) < 0) {
            failures << QStringLiteral("%1: cannot write %2").arg(standIns.at(i), config);
            continue;
        }
        file.close();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("FONTCONFIG_FILE"), config);
        QByteArray output;
        if (runSelfInChild({}, testFunction, standIns.at(i), &output, 120000, QString(), environment) != 0)
            failures << QStringLiteral("with %1 for 宋体:\n%2").arg(standIns.at(i), QString::fromUtf8(output));
    }
    return failures;
}

FavoritesFixture::FavoritesFixture()
    : m_fav(platform::joinPath(m_dir.path(), QStringLiteral("Favorites"))),
      m_program(platform::joinPath(m_dir.path(), QStringLiteral("prog"))), m_dataHomeBefore(qgetenv("XDG_DATA_HOME"))
{
    QDir().mkpath(m_fav);
    QDir().mkpath(m_program);
    m_trash = emptyTrash();
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

WorkerGate::WorkerGate(jobs::LoadSequence& load, int step)
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
    : m_load(std::make_unique<jobs::LoadSequence>(state)),
      m_rules(std::make_unique<jobs::CommandRules>(state, *m_load, *this))
{
    QObject::connect(m_load.get(), &jobs::LoadSequence::loaded, [this] { ++loads; });
    QObject::connect(m_load.get(), &jobs::LoadSequence::cleared, [this] { ++cleared; });
}

CommandFixture::~CommandFixture() = default;

bool CommandFixture::start(const QString& favoritesValue, const QString& programFolder)
{
    prepare(favoritesValue, programFolder);
    m_load->startUp();
    return QTest::qWaitFor([this] { return !m_load->isWorking(); }, 5000) && loads == 1;
}

void CommandFixture::click(jobs::Command command)
{
    switch (command) {
    case jobs::Command::SaveResults:
        m_rules->saveResults();
        break;
    case jobs::Command::DeleteDead:
        m_rules->deleteDead();
        break;
    case jobs::Command::Backup:
        m_rules->backup();
        break;
    case jobs::Command::Restore:
        m_rules->restore();
        break;
    default:
        break;
    }
}

bool CommandFixture::run(jobs::Command command)
{
    QSignalSpy finished(m_rules.get(), &jobs::CommandRules::commandFinished);
    click(command);
    return (!finished.isEmpty() || finished.wait(30000)) &&
           QTest::qWaitFor([this] { return !m_load->isWorking(); }, 5000);
}

bool CommandFixture::confirmSaveWithoutAnswers()
{
    ++questions;
    return saveAnyway;
}

bool CommandFixture::confirmDeleteForGood(jobs::Command command, const QStringList& paths, const platform::SystemError&)
{
    deleteQuestions.append({command, paths});
    return deleteForGood;
}

QString CommandFixture::replacedFavoritesName()
{
    return QStringLiteral("Favorites before the restore");
}

void CommandFixture::reportFailure(jobs::Command command, const platform::Failure& failure)
{
    failures.append({command, failure});
}

void CommandFixture::reportDone(jobs::Command command, const jobs::CommandReport& report)
{
    reports.append({command, report});
}

} // namespace testsupport
