#include "checker/LinkChecker.h"

#include <algorithm>

#include <QTimer>

#include "table/LinkTable.h"

namespace checker
{

LinkChecker::LinkChecker(table::LinkTable& table, QObject* parent)
    : QObject(parent), m_table(table), m_timer1(new QTimer(this))
{
    m_timer1->setInterval(kWatchIntervalMs);
    connect(m_timer1, &QTimer::timeout, this, &LinkChecker::Timer1_Timer);
    m_channels.push_back(makeChannel(0));
}

LinkChecker::~LinkChecker()
{
    for (Channel& channel : m_channels) {
        delete channel.inet; // cancels silently
        delete channel.timer;
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

std::optional<TransferChannel::State> LinkChecker::shownState(int channel) const
{
    if (channel < 0 || channel >= threadCount())
        return std::nullopt;
    return m_channels[std::size_t(channel)].shown;
}

int LinkChecker::requestsInProgress() const
{
    return int(std::count_if(m_channels.begin(), m_channels.end(),
                             [](const Channel& channel) { return channel.phase == Channel::Phase::Probing; }));
}

void LinkChecker::setDispatchInterval(int ms)
{
    m_dispatchMs = qMax(0, ms);
}

void LinkChecker::setWatchInterval(int ms)
{
    m_timer1->setInterval(qMax(0, ms));
}

void LinkChecker::setRequestTimeout(int ms)
{
    m_requestTimeoutMs = qMax(1, ms);
    for (Channel& channel : m_channels)
        channel.inet->setRequestTimeout(m_requestTimeoutMs);
}

void LinkChecker::Slider1_Change(int value)
{
    const int n = qBound(kMinThreads, value, kMaxThreads);
    const int old = threadCount();

    if (n > old) {
        for (int i = old; i < n; ++i)
            m_channels.push_back(makeChannel(i));
    } else {
        for (int i = n; i < old; ++i) {
            Channel& channel = m_channels[std::size_t(i)];
            // The request of a removed channel is cancelled without a verdict: its row is handed out again,
            // so that every row of the run still gets exactly one.
            if (channel.phase == Channel::Phase::Probing && m_table.isCurrent(channel.row, channel.generation))
                returnRow(channel.row);
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

    // New channels join a run in progress and take the next rows; so do channels that had found every row
    // handed out, when rows have come back.
    for (int i = 0; i < n; ++i) {
        const Channel& channel = m_channels[std::size_t(i)];
        if (i >= old || (!m_returnedRows.isEmpty() && channel.phase == Channel::Phase::Idle))
            arm(i);
    }
    emit threadCountChanged(n);
}

void LinkChecker::StartTh()
{
    if (m_runState == RunState::Running)
        return;
    // A start between a stop and the watch's tick that ends the stopped run begins the new run at once: the
    // stopped run ends here without a message of its own, and the new run brings the one message.
    const bool afterStop = m_runState == RunState::Stopping;
    m_runState = RunState::Running;
    m_rowCursor = 0;
    m_returnedRows.clear();
    for (int i = 0; i < threadCount(); ++i) {
        Channel& channel = m_channels[std::size_t(i)];
        channel.inet->Cancel();
        channel.row = 0;
        arm(i);
    }
    m_timer1->start();
    if (!afterStop)
        emit runStarted();
}

void LinkChecker::StopTh()
{
    for (int i = 0; i < threadCount(); ++i) {
        Channel& channel = m_channels[std::size_t(i)];
        channel.timer->stop();
        if (channel.inet->StillExecuting())
            channel.inet->Cancel();
        channel.phase = Channel::Phase::Idle;
        show(i, std::nullopt);
    }
    // The watch reports the end at its next tick, once for however many stops.
    if (m_runState == RunState::Running)
        m_runState = RunState::Stopping;
}

void LinkChecker::Timer_Timer(int Index)
{
    if (Index < 0 || Index >= threadCount())
        return;
    Channel& channel = m_channels[std::size_t(Index)];
    channel.timer->stop();
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
    if (!address.contains(QLatin1String("http://"), Qt::CaseSensitive)) {
        arm(Index);
        return;
    }
    if (channel.inet->Execute(address, QStringLiteral("HEAD"))) {
        channel.phase = Channel::Phase::Probing;
        return;
    }
    // No request can be made of this address (a bookmarklet, no host, a port out of range), or none can be
    // made right now (out of descriptors): the row keeps its previous result, as no server was asked, and the
    // channel goes on with the next row rather than fall silent for the rest of the run.
    arm(Index);
}

void LinkChecker::Inet_StateChanged(int Index, TransferChannel::State state)
{
    if (Index < 0 || Index >= threadCount() || state < TransferChannel::icNone ||
        state > TransferChannel::icResponseCompleted)
        return;
    if (state < TransferChannel::icError) {
        show(Index, state);
        return;
    }
    Channel& channel = m_channels[std::size_t(Index)];
    // A final state can only come from a request that has ended; one arriving while the channel still probes
    // is not about that request.
    if (channel.inet->StillExecuting())
        return;
    // Everything the verdict needs is taken, and the channel is idle, before anything is announced: whoever
    // hears of it may resize the pool, this very channel included, and must not take its row for one whose
    // request is still out.
    const bool answered = state == TransferChannel::icResponseCompleted;
    // No answer because this program ran out of descriptors or sockets says nothing about the server: the row
    // keeps its previous result.
    const bool judged = channel.phase == Channel::Phase::Probing && (answered || !channel.inet->failedLocally());
    const int row = channel.row;
    const quint64 generation = channel.generation;
    channel.phase = Channel::Phase::Idle;
    show(Index, std::nullopt);
    if (judged)
        writeVerdict(row, generation, answered ? table::kYes : table::kNo);
    arm(Index);
}

void LinkChecker::Timer1_Timer()
{
    if (!isRunning()) {
        m_timer1->stop();
        return;
    }
    if (requestsInProgress() > 0)
        return;
    if (m_runState == RunState::Running && rowsLeft()) {
        // Rows are left: channels between two rows go on. A channel that found the table exhausted before a
        // reload made it longer is idle and is woken again here.
        for (int i = 0; i < threadCount(); ++i) {
            if (m_channels[std::size_t(i)].phase == Channel::Phase::Idle)
                arm(i);
        }
        return;
    }
    m_timer1->stop();
    for (Channel& channel : m_channels) {
        channel.timer->stop();
        channel.phase = Channel::Phase::Idle;
    }
    m_runState = RunState::Idle;
    emit runFinished();
}

LinkChecker::Channel LinkChecker::makeChannel(int index)
{
    Channel channel;
    channel.inet = new TransferChannel(m_requestTimeoutMs, this);
    channel.timer = new QTimer(this);
    channel.timer->setSingleShot(true);
    // The pace of a run is one row per tick and channel: keep the period exact.
    channel.timer->setTimerType(Qt::PreciseTimer);
    connect(channel.inet, &TransferChannel::StateChanged, this,
            [this, index](TransferChannel::State state) { Inet_StateChanged(index, state); });
    connect(channel.timer, &QTimer::timeout, this, [this, index] { Timer_Timer(index); });
    return channel;
}

void LinkChecker::destroyChannel(Channel& channel)
{
    disconnect(channel.inet, nullptr, this, nullptr);
    disconnect(channel.timer, nullptr, this, nullptr);
    channel.inet->Cancel();
    channel.timer->stop();
    // Later, in case this runs inside one of the channel's own reports.
    channel.inet->deleteLater();
    channel.timer->deleteLater();
    channel.inet = nullptr;
    channel.timer = nullptr;
}

void LinkChecker::arm(int index)
{
    if (index < 0 || index >= threadCount() || m_runState != RunState::Running)
        return;
    Channel& channel = m_channels[std::size_t(index)];
    channel.phase = Channel::Phase::Armed;
    channel.timer->start(m_dispatchMs);
}

void LinkChecker::show(int index, std::optional<TransferChannel::State> state)
{
    Channel& channel = m_channels[std::size_t(index)];
    if (channel.shown == state)
        return;
    channel.shown = state;
    if (state)
        emit channelStateChanged(index, *state);
    else
        emit channelIdle(index);
}

void LinkChecker::writeVerdict(int row, quint64 generation, const QString& value)
{
    // A request sent before the table was reloaded was for a row of another table.
    if (!m_table.isCurrent(row, generation))
        return;
    m_table.setRowState(row, value);
    emit verdict(row, value);
}

void LinkChecker::returnRow(int row)
{
    if (row < 1)
        return;
    if (m_returnedGeneration != m_table.generation()) {
        m_returnedRows.clear();
        m_returnedGeneration = m_table.generation();
    }
    m_returnedRows.append(row);
    std::sort(m_returnedRows.begin(), m_returnedRows.end());
}

bool LinkChecker::rowsLeft() const
{
    return m_rowCursor < m_table.rowCount() ||
           (!m_returnedRows.isEmpty() && m_returnedGeneration == m_table.generation());
}

int LinkChecker::takeRow()
{
    // Rows handed back by removed channels come first; they belong to the table they were taken from.
    if (m_returnedGeneration != m_table.generation())
        m_returnedRows.clear();
    while (!m_returnedRows.isEmpty()) {
        const int row = m_returnedRows.takeFirst();
        if (m_table.hasRow(row))
            return row;
    }
    if (m_rowCursor >= m_table.rowCount())
        return 0;
    return ++m_rowCursor;
}

} // namespace checker
