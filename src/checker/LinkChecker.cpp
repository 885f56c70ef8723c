#include "checker/LinkChecker.h"

#include <algorithm>

#include <QTimer>

#include "checker/TransferChannel.h"
#include "favorites/Catalogue.h"
#include "table/LinkTable.h"

namespace checker
{

LinkChecker::LinkChecker(favorites::Catalogue& catalogue, table::LinkTable& table, QObject* parent)
    : QObject(parent), m_catalogue(catalogue), m_table(table), m_timer1(new QTimer(this))
{
    m_timer1->setInterval(kWatchIntervalMs);
    connect(m_timer1, &QTimer::timeout, this, &LinkChecker::Timer1_Timer);
    m_channels.push_back(makeChannel(0));
    m_threadCount = 1;
    m_channelRow = QVector<int>(1, 0);
}

LinkChecker::~LinkChecker()
{
    for (Channel& channel : m_channels) {
        delete channel.inet; // cancels silently
        delete channel.timer;
    }
}

int LinkChecker::picture(int channel) const
{
    if (channel < 0 || channel >= int(m_channels.size()))
        return 0;
    return m_channels[std::size_t(channel)].picture;
}

int LinkChecker::requestsInProgress() const
{
    return int(std::count_if(m_channels.begin(), m_channels.end(),
                             [](const Channel& channel) { return channel.inet->StillExecuting(); }));
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

int LinkChecker::pictureForState(int state)
{
    if (state < TransferChannel::icNone || state > TransferChannel::icResponseCompleted)
        return 0;
    if (state >= TransferChannel::icError)
        return kIdlePicture;
    // The dial turns one twelfth per state: state 0 shows picture 2, state 10 picture 12.
    return state + 2;
}

void LinkChecker::Slider1_Change(int value)
{
    const int n = qBound(kMinThreads, value, kMaxThreads);
    const int old = m_threadCount;

    // During a run the surviving channels keep their rows, so that the requests they have in progress
    // are still written where they belong. Outside a run nothing is in progress.
    QVector<int> rows(n, 0);
    if (m_running) {
        for (int i = 0; i < std::min(n, old); ++i)
            rows[i] = m_channelRow[i];
    }

    if (n > old) {
        for (int i = old; i < n; ++i)
            m_channels.push_back(makeChannel(i));
    } else {
        for (int i = n; i < old; ++i) {
            Channel& channel = m_channels[std::size_t(i)];
            // The request of a removed channel is cancelled without a verdict: its row is handed out
            // again, so that every row of the run still gets exactly one.
            if (channel.inet->StillExecuting() && channel.generation == m_table.generation)
                returnRow(m_channelRow[i]);
            destroyChannel(channel);
        }
        m_channels.resize(std::size_t(n));
    }
    m_channelRow = rows;
    m_threadCount = n;

    // New channels join a run in progress and take the next rows; so do channels that had found every
    // row handed out, when rows have come back.
    for (int i = 0; i < n; ++i) {
        const Channel& channel = m_channels[std::size_t(i)];
        if (i >= old || (!m_returnedRows.isEmpty() && !channel.timer->isActive() && !channel.inet->StillExecuting()))
            arm(i);
    }
    emit threadCountChanged(n);
}

void LinkChecker::StartTh()
{
    if (dispatching())
        return;
    // A start between a stop and the watch's tick that ends the stopped run begins the new run at once:
    // the stopped run ends here without a message of its own, and the new run brings the one message.
    const bool afterStop = m_running;
    m_running = true;
    m_stopped = false;
    m_rowCursor = 0;
    m_channelRow.fill(0);
    m_returnedRows.clear();
    for (int i = 0; i < m_threadCount; ++i) {
        m_channels[std::size_t(i)].inet->Cancel();
        arm(i);
    }
    m_timer1->start();
    if (!afterStop)
        emit runStarted();
}

void LinkChecker::StopTh()
{
    for (int i = 0; i < m_threadCount; ++i) {
        Channel& channel = m_channels[std::size_t(i)];
        channel.timer->stop();
        if (channel.inet->StillExecuting())
            channel.inet->Cancel();
        setPicture(i, kIdlePicture);
    }
    // The watch reports the end at its next tick, once for however many stops.
    if (m_running)
        m_stopped = true;
}

void LinkChecker::Timer_Timer(int Index)
{
    if (Index < 0 || Index >= m_threadCount)
        return;
    Channel& channel = m_channels[std::size_t(Index)];
    channel.timer->stop();
    if (!dispatching() || channel.inet->StillExecuting())
        return;

    const int r = takeRow();
    m_channelRow[Index] = r;
    if (r == 0) {
        // Every row has been handed out: the channel stays idle for the rest of the run.
        return;
    }
    const QString& address = m_table.rowUrl.at(r);
    if (!address.contains(QLatin1String("http://"), Qt::CaseSensitive)) {
        arm(Index);
        return;
    }
    if (channel.inet->Execute(address, QStringLiteral("HEAD"))) {
        channel.generation = m_table.generation;
        return;
    }
    // No request can be made of this address (a bookmarklet, no host, a port out of range), or none can
    // be made right now (out of descriptors): the row keeps its previous result, as no server was asked,
    // and the channel goes on with the next row rather than fall silent for the rest of the run.
    arm(Index);
}

void LinkChecker::Inet_StateChanged(int Index, int state)
{
    if (Index < 0 || Index >= m_threadCount)
        return;
    const int shown = pictureForState(state);
    if (shown == 0)
        return;
    // A final state can only come from a request that has ended; one arriving while the channel still
    // probes is not about that request.
    const bool final = state >= TransferChannel::icError;
    if (final && m_channels[std::size_t(Index)].inet->StillExecuting())
        return;
    setPicture(Index, shown);
    if (!final)
        return;
    const Channel& channel = m_channels[std::size_t(Index)];
    const bool answered = state == TransferChannel::icResponseCompleted;
    // No answer because this program ran out of descriptors or sockets says nothing about the server:
    // the row keeps its previous result.
    if (answered || !channel.inet->failedLocally())
        writeVerdict(m_channelRow[Index], channel.generation, answered ? table::kYes : table::kNo);
    arm(Index);
}

void LinkChecker::Timer1_Timer()
{
    if (!m_running) {
        m_timer1->stop();
        return;
    }
    if (requestsInProgress() > 0)
        return;
    if (!m_stopped && rowsLeft()) {
        // Rows are left: channels between two rows go on. A channel that found the table exhausted
        // before a reload made it longer is idle and is woken again here.
        for (int i = 0; i < m_threadCount; ++i) {
            if (!m_channels[std::size_t(i)].timer->isActive())
                arm(i);
        }
        return;
    }
    m_timer1->stop();
    for (Channel& channel : m_channels)
        channel.timer->stop();
    m_running = false;
    m_stopped = false;
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
            [this, index](int state) { Inet_StateChanged(index, state); });
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
    if (index < 0 || index >= m_threadCount || !dispatching())
        return;
    m_channels[std::size_t(index)].timer->start(m_dispatchMs);
}

void LinkChecker::setPicture(int index, int picture)
{
    Channel& channel = m_channels[std::size_t(index)];
    if (channel.picture == picture)
        return;
    channel.picture = picture;
    emit indicatorChanged(index, picture);
}

void LinkChecker::writeVerdict(int row, quint64 generation, const QString& value)
{
    // A request sent before the table was reloaded was for a row of another table.
    if (generation != m_table.generation)
        return;
    if (row < 1 || row > lastRow() || row >= m_table.rowState.size())
        return;
    m_table.rowState[row] = value;
    emit verdict(row, value);
}

void LinkChecker::returnRow(int row)
{
    if (row < 1)
        return;
    if (m_returnedGeneration != m_table.generation) {
        m_returnedRows.clear();
        m_returnedGeneration = m_table.generation;
    }
    m_returnedRows.append(row);
    std::sort(m_returnedRows.begin(), m_returnedRows.end());
}

bool LinkChecker::rowsLeft() const
{
    return m_rowCursor < lastRow() ||
           (!m_returnedRows.isEmpty() && m_returnedGeneration == m_table.generation);
}

int LinkChecker::takeRow()
{
    // Rows handed back by removed channels come first; they belong to the table they were taken from.
    if (m_returnedGeneration != m_table.generation)
        m_returnedRows.clear();
    while (!m_returnedRows.isEmpty()) {
        const int row = m_returnedRows.takeFirst();
        if (row <= lastRow())
            return row;
    }
    if (m_rowCursor >= lastRow())
        return 0;
    return ++m_rowCursor;
}

int LinkChecker::lastRow() const
{
    return std::max(0, std::min(m_catalogue.fileCount, m_table.rowCount()));
}

} // namespace checker
