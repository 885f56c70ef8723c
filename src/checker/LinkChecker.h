#pragma once

#include <vector>

#include <QObject>
#include <QString>
#include <QVector>

class QTimer;

namespace favorites
{
struct Catalogue;
}
namespace table
{
struct LinkTable;
}

namespace checker
{

class TransferChannel;

/// The link checker: a pool of 1 to 40 probe channels that send one HEAD request per table row.
///
/// Everything runs on the thread that owns the checker. A run hands the rows 1..fileCount out in
/// ascending order, each row once, to whichever channel's one-shot dispatch timer fires next; a row
/// whose address lacks "http://" (case-sensitive, anywhere in the address) is skipped. The final state
/// of a request writes "YES" (any HTTP answer) or "NO" (none) into rowState of the row it was sent for
/// and re-arms the channel. The completion watch ends the run once every row has been handed out and
/// no request is in progress, or at its first tick after StopTh.
///
/// Guarantees the window can rely on:
/// - a verdict is written only to the row it was probed for, and only when the table has not been
///   reloaded since (the loader bumps LinkTable::generation after refilling the table); nothing is ever
///   written to row 0 or beyond the table. A run that sees a reload goes on with the new table's rows
///   after the cursor;
/// - StartTh during a run does nothing; between StopTh and the watch's tick that would end the stopped
///   run it starts the new run from row 1 at once, and the stopped run ends without a runFinished of
///   its own. runStarted and runFinished always come in pairs;
/// - the pool can be resized during a run: surviving channels finish their request for their own row,
///   new channels join the run, removed channels' requests are cancelled without a verdict and their
///   rows are handed out again, so every row of a run still gets exactly one verdict;
/// - an address no request can be made of keeps its previous result and its channel goes on; so does a
///   row whose request failed because this program ran out of descriptors or sockets (never "NO" for
///   that: the server was not asked). Every row handed out reaches its outcome within the time-out.
class LinkChecker : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkChecker)

public:
    static constexpr int kMinThreads = 1;
    static constexpr int kMaxThreads = 40;
    static constexpr int kDispatchIntervalMs = 40;
    static constexpr int kWatchIntervalMs = 800;
    static constexpr int kRequestTimeoutMs = 40000;
    static constexpr int kIdlePicture = 1;

    /// A pool of one idle channel working on the given catalogue and table, which must outlive it.
    LinkChecker(favorites::Catalogue& catalogue, table::LinkTable& table, QObject* parent = nullptr);
    ~LinkChecker() override;

    /// Number of channels, 1..40.
    int threadCount() const { return m_threadCount; }
    /// Entry i: the row channel i is probing or took last in this run; 0 for none.
    const QVector<int>& channelRow() const { return m_channelRow; }
    /// The number of the last row handed out in the current or last run; 0 before the first.
    int rowCursor() const { return m_rowCursor; }
    /// True from StartTh until runFinished.
    bool isRunning() const { return m_running; }
    /// Indicator picture 1..12 of a channel (1 is idle); 0 for a channel that does not exist.
    int picture(int channel) const;
    /// Number of channels with a request in progress.
    int requestsInProgress() const;

    /// Interval of the dispatch timers (default 40 ms), for channels armed from now on.
    void setDispatchInterval(int ms);
    /// Interval of the completion watch (default 800 ms), from its next start.
    void setWatchInterval(int ms);
    /// Request time-out of every channel (default 40 s), for requests started from now on.
    void setRequestTimeout(int ms);

    /// The indicator picture (1..12) for a transfer state 0..12; 0 for a state out of range.
    static int pictureForState(int state);

public slots:
    /// Resizes the pool to value channels (clamped to 1..40); emits threadCountChanged.
    void Slider1_Change(int value);
    /// Starts a run from row 1; does nothing while a run is in progress (a stopped run still ending is replaced).
    void StartTh();
    /// Silences every channel and shows them idle; a run in progress ends at the watch's next tick.
    void StopTh();
    /// Dispatch tick of channel Index: takes the next row and probes or skips it.
    void Timer_Timer(int Index);
    /// A state report of channel Index's transfer: moves the indicator, at 11/12 writes the verdict.
    void Inet_StateChanged(int Index, int state);
    /// Completion watch tick: ends the run when nothing is left to do.
    void Timer1_Timer();

signals:
    /// Channel's indicator now shows picture 1..12 (1 is idle).
    void indicatorChanged(int channel, int picture);
    /// rowState(row) has just been set to value ("YES" or "NO"); the window shows it in column 3.
    void verdict(int row, const QString& value);
    /// A run has started.
    void runStarted();
    /// The run has ended (all rows done, or stopped).
    void runFinished();
    /// The pool now has n channels; new channels show the idle picture.
    void threadCountChanged(int n);

private:
    struct Channel
    {
        TransferChannel* inet = nullptr; // the channel's transfer control
        QTimer* timer = nullptr;         // one-shot dispatch tick
        int picture = kIdlePicture;      // indicator picture 1..12
        quint64 generation = 0;          // table generation the request in progress was sent for
    };

    Channel makeChannel(int index);
    void destroyChannel(Channel& channel);
    void arm(int index);
    void setPicture(int index, int picture);
    void writeVerdict(int row, quint64 generation, const QString& value);
    void returnRow(int row);
    bool rowsLeft() const;
    int takeRow();
    int lastRow() const;
    bool dispatching() const { return m_running && !m_stopped; }

    favorites::Catalogue& m_catalogue;
    table::LinkTable& m_table;
    int m_threadCount = 1;
    QVector<int> m_channelRow;
    int m_rowCursor = 0;
    std::vector<Channel> m_channels;
    QTimer* m_timer1 = nullptr; // completion watch
    bool m_running = false;
    bool m_stopped = false; // the run was stopped and waits for the watch to end it
    QVector<int> m_returnedRows; // rows of removed channels, to be handed out again, ascending
    quint64 m_returnedGeneration = 0; // the table generation those rows belong to
    int m_dispatchMs = kDispatchIntervalMs;
    int m_requestTimeoutMs = kRequestTimeoutMs;
};

} // namespace checker
