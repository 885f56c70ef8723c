#include "checker/LinkChecker.h"

#include <algorithm>
#include <utility>

#include <QHash>
#include <QTimer>

#include "checker/ProxyProfiles.h"
#include "table/LinkTable.h"

namespace checker
{

LinkChecker::LinkChecker(table::LinkTable& table, QObject* parent)
    : QObject(parent), m_table(table), m_completionWatch(new QTimer(this))
{
    m_completionWatch->setInterval(kWatchIntervalMs);
    connect(m_completionWatch, &QTimer::timeout, this, &LinkChecker::completionTick);
    connect(&m_table, &table::LinkTable::rowsAboutToBeReset, this, &LinkChecker::tableAboutToBeReloaded);
    connect(&m_table, &table::LinkTable::rowsReset, this, &LinkChecker::tableReloaded);
    m_channels.push_back(makeChannel(0));
}

LinkChecker::~LinkChecker()
{
    for (std::vector<Channel>* channels : {&m_channels, &m_leaving}) {
        for (Channel& channel : *channels) {
            delete channel.transfer; // cancels silently
            delete channel.dispatchTimer;
        }
    }
}

QVector<int> LinkChecker::channelRow() const
{
    QVector<int> rows;
    rows.reserve(threadCount());
    for (const Channel& channel : m_channels)
        rows.append(channel.row);
    return rows;
}

int LinkChecker::rowCursor() const
{
    return m_cursorGeneration == m_table.generation() ? m_rowCursor : 0;
}

std::optional<TransferChannel::Stage> LinkChecker::shownStage(int channel) const
{
    if (channel < 0 || channel >= threadCount())
        return std::nullopt;
    return m_channels[std::size_t(channel)].shown;
}

int LinkChecker::requestsInProgress() const
{
    return int(std::count_if(m_channels.begin(), m_channels.end(),
                             [](const Channel& channel) { return channel.phase == Channel::Phase::Probing; }) +
               m_leaving.size());
}

void LinkChecker::setDispatchInterval(int ms)
{
    m_dispatchMs = qMax(0, ms);
}

void LinkChecker::setWatchInterval(int ms)
{
    m_completionWatch->setInterval(qMax(0, ms));
}

void LinkChecker::setRequestTimeout(int ms)
{
    m_requestTimeoutMs = qMax(1, ms);
    for (Channel& channel : m_channels)
        channel.transfer->setRequestTimeout(m_requestTimeoutMs);
}

void LinkChecker::setThreadCount(int value)
{
    const int n = qBound(kMinThreads, value, kMaxThreads);
    const int old = threadCount();

    if (n > old) {
        for (int i = old; i < n; ++i)
            m_channels.push_back(makeChannel(i));
    } else {
        for (int i = n; i < old; ++i) {
            Channel& channel = m_channels[std::size_t(i)];
            // A request already sent is not sent again by another channel: the channel finishes it and goes then.
            if (channel.phase == Channel::Phase::Probing && channel.transfer->isBusy())
                letGo(channel);
            else
                destroyChannel(channel);
        }
        m_channels.resize(std::size_t(n));
    }
    // Outside a run nothing is in progress and every channel starts from no row. During a run the surviving
    // channels keep their rows, so that the requests they have in progress are still written where they belong.
    if (!isRunning()) {
        for (Channel& channel : m_channels)
            channel.row = 0;
    }
    // New channels join a run in progress and take the next rows.
    std::vector<int> joining;
    for (int i = old; i < n; ++i)
        joining.push_back(i);
    armTogether(joining);
    emit threadCountChanged(n);
}

void LinkChecker::start()
{
    if (m_runState == RunState::Running)
        return;
    // A start between a stop and the watch's tick that ends the stopped run begins the new run at once: the
    // stopped run ends here without a message of its own, and the new run brings the one message.
    const bool afterStop = m_runState == RunState::Stopping;
    m_runState = RunState::Running;
    m_rowCursor = 0;
    m_cursorGeneration = m_table.generation();
    m_askedBefore.clear();
    // A run learns afresh how the proxies answer for themselves: the user may have set another one since.
    ProxyProfiles::forThisThread()->forget();
    for (Channel& channel : m_leaving)
        destroyChannel(channel);
    m_leaving.clear();
    std::vector<int> all;
    for (int i = 0; i < threadCount(); ++i) {
        Channel& channel = m_channels[std::size_t(i)];
        channel.transfer->cancel();
        channel.row = 0;
        all.push_back(i);
    }
    armTogether(all);
    m_completionWatch->start();
    if (!afterStop)
        emit runStarted();
}

void LinkChecker::stop()
{
    for (int i = 0; i < threadCount(); ++i) {
        Channel& channel = m_channels[std::size_t(i)];
        channel.dispatchTimer->stop();
        channel.transfer->cancel();
        channel.phase = Channel::Phase::Idle;
        show(i, std::nullopt);
    }
    for (Channel& channel : m_leaving)
        destroyChannel(channel);
    m_leaving.clear();
    // The watch reports the end at its next tick, once for however many stops.
    if (m_runState == RunState::Running)
        m_runState = RunState::Stopping;
}

bool LinkChecker::isAsked(const QString& address, bool httpsAsked)
{
    if (address.contains(QLatin1String("http://"), Qt::CaseSensitive))
        return true;
    if (!httpsAsked)
        return false;
    const QStringView scheme = QStringView(address).left(address.indexOf(QLatin1Char(':')));
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

void LinkChecker::setHttpsAsked(bool on)
{
    m_httpsAsked = on;
}

void LinkChecker::dispatchTick(int index)
{
    if (index < 0 || index >= threadCount())
        return;
    Channel& channel = m_channels[std::size_t(index)];
    channel.dispatchTimer->stop();
    if (m_runState != RunState::Running || channel.phase == Channel::Phase::Probing)
        return;
    channel.phase = Channel::Phase::Idle;

    channel.row = takeRow();
    channel.generation = m_table.generation();
    if (channel.row == 0) {
        // Every row has been handed out: the channel stays idle for the rest of the run.
        return;
    }
    const QString& address = m_table.rowUrl(channel.row);
    if (!isAsked(address, m_httpsAsked)) {
        arm(index);
        return;
    }
    channel.favorite = {m_table.filePath(channel.row), m_table.fileName(channel.row), address};
    if (channel.transfer->head(address)) {
        channel.phase = Channel::Phase::Probing;
        return;
    }
    // No request can be made of this address (a bookmarklet, no host, a port out of range), or none can be
    // made right now (out of descriptors): the row keeps its previous result, as no server was asked, and the
    // channel goes on with the next row rather than fall silent for the rest of the run.
    arm(index);
}

void LinkChecker::stageReported(int index, TransferChannel::Stage stage)
{
    if (index >= 0 && index < threadCount())
        show(index, stage);
}

void LinkChecker::probeFinished(int index, const table::Outcome& outcome)
{
    if (index < 0 || index >= threadCount())
        return;
    Channel& channel = m_channels[std::size_t(index)];
    // Everything the verdict needs is taken, and the channel is idle, before anything is announced: whoever
    // hears of it may resize the pool, this very channel included, and must not take its row for one whose
    // request is still out.
    const bool write = judged(channel, outcome);
    const Channel asked = channel;
    channel.phase = Channel::Phase::Idle;
    show(index, std::nullopt);
    if (write)
        writeVerdict(asked, outcome);
    arm(index);
}

void LinkChecker::completionTick()
{
    if (!isRunning()) {
        m_completionWatch->stop();
        return;
    }
    // While a reload is pending, the answers that wait for the new table, and the rows it brings, are still to come.
    if (requestsInProgress() > 0 || m_table.isReloadPending())
        return;
    if (m_runState == RunState::Running && nextRow() != 0) {
        // Rows are left: channels between two rows go on. A channel that found the table exhausted before a
        // reload made it longer is idle and is woken again here.
        std::vector<int> idle;
        for (int i = 0; i < threadCount(); ++i) {
            if (m_channels[std::size_t(i)].phase == Channel::Phase::Idle)
                idle.push_back(i);
        }
        armTogether(idle);
        return;
    }
    m_completionWatch->stop();
    for (Channel& channel : m_channels) {
        channel.dispatchTimer->stop();
        channel.phase = Channel::Phase::Idle;
    }
    m_runState = RunState::Idle;
    emit runFinished();
}

LinkChecker::Channel LinkChecker::makeChannel(int index)
{
    Channel channel;
    channel.transfer = new TransferChannel(m_requestTimeoutMs, this);
    channel.dispatchTimer = new QTimer(this);
    channel.dispatchTimer->setSingleShot(true);
    // The pace of a run is one row per tick and channel: keep the period exact.
    channel.dispatchTimer->setTimerType(Qt::PreciseTimer);
    connect(channel.transfer, &TransferChannel::stageReached, this,
            [this, index](TransferChannel::Stage stage) { stageReported(index, stage); });
    connect(channel.transfer, &TransferChannel::finished, this,
            [this, index](const table::Outcome& outcome) { probeFinished(index, outcome); });
    connect(channel.dispatchTimer, &QTimer::timeout, this, [this, index] { dispatchTick(index); });
    return channel;
}

void LinkChecker::destroyChannel(Channel& channel)
{
    disconnect(channel.transfer, nullptr, this, nullptr);
    channel.transfer->cancel();
    // Later, in case this runs inside one of the channel's own reports.
    channel.transfer->deleteLater();
    channel.transfer = nullptr;
    if (channel.dispatchTimer) {
        disconnect(channel.dispatchTimer, nullptr, this, nullptr);
        channel.dispatchTimer->stop();
        channel.dispatchTimer->deleteLater();
        channel.dispatchTimer = nullptr;
    }
}

void LinkChecker::letGo(Channel& channel)
{
    // The pool no longer has the channel: no dial, no tick; only its request's end is still heard.
    disconnect(channel.transfer, nullptr, this, nullptr);
    disconnect(channel.dispatchTimer, nullptr, this, nullptr);
    channel.dispatchTimer->deleteLater();
    channel.dispatchTimer = nullptr;
    TransferChannel* transfer = channel.transfer;
    connect(transfer, &TransferChannel::finished, this,
            [this, transfer](const table::Outcome& outcome) { leavingChannelFinished(transfer, outcome); });
    m_leaving.push_back(channel);
}

void LinkChecker::leavingChannelFinished(TransferChannel* transfer, const table::Outcome& outcome)
{
    const auto it = std::find_if(m_leaving.begin(), m_leaving.end(),
                                 [transfer](const Channel& channel) { return channel.transfer == transfer; });
    if (it == m_leaving.end())
        return;
    // Gone before the verdict is announced, for the same reason as in probeFinished.
    Channel asked = *it;
    m_leaving.erase(it);
    const bool write = judged(asked, outcome);
    destroyChannel(asked);
    if (write)
        writeVerdict(asked, outcome);
}

void LinkChecker::arm(int index, std::optional<int> ms)
{
    if (index < 0 || index >= threadCount() || m_runState != RunState::Running)
        return;
    Channel& channel = m_channels[std::size_t(index)];
    channel.phase = Channel::Phase::Armed;
    channel.dispatchTimer->start(ms.value_or(m_dispatchMs));
}

void LinkChecker::armTogether(const std::vector<int>& indices)
{
    // Their first ticks are spread over one period instead of all falling at its end. Requests that leave in
    // the same instant queue behind each other, here and at the server, and channels that start in step stay
    // in step for the whole run: forty of them lost a tenth of the pace that way. Every row still has its full
    // period after it.
    const int n = int(indices.size());
    for (int k = 0; k < n; ++k)
        arm(indices[std::size_t(k)], m_dispatchMs * (k + 1) / n);
}

void LinkChecker::show(int index, std::optional<TransferChannel::Stage> stage)
{
    Channel& channel = m_channels[std::size_t(index)];
    if (channel.shown == stage)
        return;
    channel.shown = stage;
    if (stage)
        emit channelStageChanged(index, *stage);
    else
        emit channelIdle(index);
}

bool LinkChecker::judged(const Channel& channel, const table::Outcome& outcome)
{
    // A server that was never asked (this program ran out of descriptors or sockets, the proxy refused) has said
    // nothing: the row keeps its previous result.
    return channel.phase == Channel::Phase::Probing && outcome.verdict != table::Verdict::None;
}

void LinkChecker::writeVerdict(const Channel& channel, const table::Outcome& outcome)
{
    const bool current = m_table.isCurrent(channel.row, channel.generation);
    if (m_table.isReloadPending()) {
        // The rows are about to be replaced (after a save they would also lose it): the answer waits for the new
        // table, and goes to the same favorite there. An edit since the request may have renamed it.
        Favorite asked = channel.favorite;
        if (current) {
            asked.filePath = m_table.filePath(channel.row);
            asked.fileName = m_table.fileName(channel.row);
        }
        m_held.push_back({asked, outcome});
        return;
    }
    int row = 0;
    if (current) {
        row = channel.row;
    } else if (channel.generation != m_table.generation()) {
        // Sent before the table was loaded again: the answer belongs to the same favorite in the new table, if it
        // is still there with the address that was asked.
        for (int r = 1; r <= m_table.rowCount() && row == 0; ++r) {
            if (isRowOf(r, channel.favorite))
                row = r;
        }
    }
    if (row != 0)
        write(row, outcome);
}

void LinkChecker::write(int row, const table::Outcome& outcome)
{
    m_table.setOutcome(row, outcome);
    emit verdict(row, outcome.verdict);
}

bool LinkChecker::isRowOf(int row, const Favorite& favorite) const
{
    return m_table.fileName(row) == favorite.fileName && m_table.filePath(row) == favorite.filePath &&
           m_table.rowUrl(row) == favorite.url;
}

void LinkChecker::tableReloaded()
{
    if (m_held.empty())
        return;
    // Each answer that waited for the new table goes to its favorite's row there, if it is still there with the
    // address that was asked.
    QHash<QPair<QString, QString>, int> rows;
    for (int r = m_table.rowCount(); r >= 1; --r)
        rows.insert({m_table.filePath(r), m_table.fileName(r)}, r);
    for (const HeldVerdict& held : std::exchange(m_held, {})) {
        const int row = rows.value({held.favorite.filePath, held.favorite.fileName});
        if (row != 0 && isRowOf(row, held.favorite))
            write(row, held.outcome);
    }
}

void LinkChecker::tableAboutToBeReloaded()
{
    if (m_runState != RunState::Running)
        return;
    // The favorites handed out so far are known from now on by folder and file name: a new table has other row
    // numbers. An edit since they were handed out has renamed them in the table, so they are read from it now.
    const int cursor = rowCursor();
    for (int r = 1; r <= cursor; ++r)
        m_askedBefore.insert({m_table.filePath(r), m_table.fileName(r)});
    for (std::vector<Channel>* channels : {&m_channels, &m_leaving}) {
        for (Channel& channel : *channels) {
            if (channel.phase == Channel::Phase::Probing && m_table.isCurrent(channel.row, channel.generation)) {
                channel.favorite.filePath = m_table.filePath(channel.row);
                channel.favorite.fileName = m_table.fileName(channel.row);
            }
        }
    }
}

bool LinkChecker::handedOutBefore(int row) const
{
    return !m_askedBefore.isEmpty() && m_askedBefore.contains({m_table.filePath(row), m_table.fileName(row)});
}

int LinkChecker::nextRow() const
{
    for (int r = rowCursor() + 1; r <= m_table.rowCount(); ++r) {
        if (!handedOutBefore(r))
            return r;
    }
    return 0;
}

int LinkChecker::takeRow()
{
    const int row = nextRow();
    m_rowCursor = row != 0 ? row : m_table.rowCount();
    m_cursorGeneration = m_table.generation();
    return row;
}

} // namespace checker
