#pragma once

#include <optional>
#include <vector>

#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVector>

#include "checker/TransferChannel.h"
#include "table/Verdict.h"

class QTimer;

namespace table
{
class LinkTable;
}

namespace checker
{

/// The link checker: a pool of 1 to 40 probe channels that send one HEAD request per table row.
///
/// Everything runs on the thread that owns the checker. A run hands the rows 1..rowCount out in ascending
/// order, each row once, to whichever channel's one-shot dispatch timer fires next; a row whose address is not
/// asked (isAsked: by default, one that lacks "http://", case-sensitive, anywhere in the address) is skipped. The end
/// of a request writes its outcome (alive or dead, and why: TransferChannel) into the row it was sent for and re-arms
/// the channel. The completion watch ends the run once every row has been handed out and no request is in progress,
/// or at its first tick after stop().
///
/// A run is Idle, Running, or Stopping (stopped, waiting for the watch's tick to end it). A channel is idle,
/// armed (its dispatch tick is due) or probing (its request is in progress); it remembers the row it took last
/// and the table generation that row belongs to.
///
/// Guarantees the window can rely on:
/// - every favorite of a run is asked once at most, and a verdict is written only to the favorite it was
///   probed for: within one load by row number (an edit of the row keeps it), across a reload to the row of
///   the new table with the same folder, file name and address, or nowhere when there is none; nothing is
///   ever written to row 0 or beyond the table;
/// - a reload during a run (the table's load, a new generation) does not restart it: the run goes on with the
///   favorites of the new table it has not handed out yet, by folder and file name, in the new table's row
///   order, and it ends only once every row of the table as it is then has been handed out (or the user
///   stopped), no request is in progress and no reload is pending;
/// - an answer that comes in while a reload is pending (LinkTable::isReloadPending: from the command that changes
///   what is on disk until the new table stands) is held and written to the same favorite once the new table
///   stands; so every favorite a run asked has its verdict in the table, or in its history when a save came
///   between, when runFinished comes;
/// - start() while Running does nothing; while Stopping it starts the new run from row 1 at once, and the
///   stopped run ends without a runFinished of its own. runStarted and runFinished always come in pairs;
/// - the pool can be resized during a run: new channels join the run; a channel that goes while its request
///   is in progress finishes that request first (its verdict counts, its row is never asked again) and goes
///   then, without a dial; one with no request goes at once;
/// - an address no request can be made of keeps its previous result and its channel goes on; so does a row whose
///   server was not asked, because this program ran out of descriptors or sockets or because the proxy refused (never
///   "NO" for that). Every row handed out reaches its outcome within the time-out (twice that when the proxy's way of
///   answering for itself is being learnt, see ProxyProfiles).
class LinkChecker : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkChecker)

    // A favorite as a request knows it: its folder and file name, and the address asked.
    struct Favorite
    {
        QString filePath;
        QString fileName;
        QString url;
    };

public:
    enum class RunState
    {
        Idle,     // no run
        Running,  // rows are being handed out and probed
        Stopping, // stopped; the watch's next tick ends the run
    };

    static constexpr int kMinThreads = 1;
    static constexpr int kMaxThreads = 40;
    static constexpr int kDispatchIntervalMs = 40;
    static constexpr int kWatchIntervalMs = 800;

    /// A pool of one idle channel working on the given table, which must outlive it.
    explicit LinkChecker(table::LinkTable& table, QObject* parent = nullptr);
    ~LinkChecker() override;

    /// Number of channels, 1..40.
    int threadCount() const { return int(m_channels.size()); }
    /// Entry i: the row channel i is probing or took last in this run; 0 for none.
    QVector<int> channelRow() const;
    /// The number of the last row handed out in the current or last run, in the table as it is now; 0 before
    /// the first, and after a reload until the next row is handed out.
    int rowCursor() const;
    RunState runState() const { return m_runState; }
    /// True from start() until runFinished.
    bool isRunning() const { return m_runState != RunState::Idle; }
    /// What the indicator of a channel shows: the last stage its request in progress reached, or nothing while the
    /// channel is idle (also for a channel that does not exist).
    std::optional<TransferChannel::Stage> shownStage(int channel) const;
    /// Number of requests in progress, those of channels on their way out included.
    int requestsInProgress() const;

    /// Interval of the dispatch timers (default 40 ms), for channels armed from now on.
    void setDispatchInterval(int ms);
    /// Interval of the completion watch (default 800 ms), from its next start.
    void setWatchInterval(int ms);
    /// Request time-out of every channel (default TransferChannel::kRequestTimeoutMs), for requests started from
    /// now on.
    void setRequestTimeout(int ms);

    /// True when a row is asked: its address contains "http://" (case-sensitive, anywhere), or, with httpsAsked,
    /// its scheme is http or https in any letter case.
    static bool isAsked(const QString& address, bool httpsAsked);
    /// Whether https addresses (and http ones in any letter case) are asked too, from the next row handed out on;
    /// off by default.
    void setHttpsAsked(bool on);
    bool httpsAsked() const { return m_httpsAsked; }

public slots:
    /// Makes the pool n channels (clamped to 1..40); emits threadCountChanged. During a run new channels join it; a
    /// channel that goes finishes the request it has sent first.
    void setThreadCount(int n);
    /// Starts a run from row 1; does nothing while one is Running (a Stopping run is replaced).
    void start();
    /// Silences every channel and shows them idle; a run in progress ends at the watch's next tick.
    void stop();

signals:
    /// The request of a channel has reached a stage: its indicator shows it.
    void channelStageChanged(int channel, checker::TransferChannel::Stage stage);
    /// A channel is idle again (its request has ended, or it was stopped): its indicator shows the idle dial.
    void channelIdle(int channel);
    /// The current check's outcome of row `row` has just been set; its verdict is `value`.
    void verdict(int row, table::Verdict value);
    /// A run has started.
    void runStarted();
    /// The run has ended (all rows done, or stopped).
    void runFinished();
    /// The pool now has n channels; new channels are idle.
    void threadCountChanged(int n);

private:
    struct Channel
    {
        enum class Phase
        {
            Idle,    // no request, no tick due
            Armed,   // its dispatch tick is due
            Probing, // its request is in progress
        };
        TransferChannel* transfer = nullptr; // its requests
        QTimer* dispatchTimer = nullptr;     // its one-shot dispatch tick
        Phase phase = Phase::Idle;
        int row = 0;                                 // the row taken last in this run; 0 for none
        quint64 generation = 0;                      // the table generation that row belongs to
        Favorite favorite;                           // what the request in progress was sent for
        std::optional<TransferChannel::Stage> shown; // what the indicator shows; nothing while idle
    };

    // An answer that waits for the table being loaded: the favorite it is for, and the verdict.
    struct HeldVerdict
    {
        Favorite favorite;
        table::Outcome outcome;
    };

    /// Dispatch tick of a channel: takes the next row and probes or skips it.
    void dispatchTick(int channel);
    /// A channel's request has reached a stage: its indicator shows it.
    void stageReported(int channel, TransferChannel::Stage stage);
    /// A channel's request has ended: its outcome goes to the row it was sent for, and the channel takes the next.
    void probeFinished(int channel, const table::Outcome& outcome);
    /// Completion watch tick: ends the run when nothing is left to do.
    void completionTick();

    Channel makeChannel(int index);
    void destroyChannel(Channel& channel);
    void letGo(Channel& channel);
    void leavingChannelFinished(TransferChannel* transfer, const table::Outcome& outcome);
    void arm(int index, std::optional<int> ms = std::nullopt);
    void armTogether(const std::vector<int>& indices);
    void show(int index, std::optional<TransferChannel::Stage> stage);
    static bool judged(const Channel& channel, const table::Outcome& outcome);
    void writeVerdict(const Channel& channel, const table::Outcome& outcome);
    void write(int row, const table::Outcome& outcome);
    bool isRowOf(int row, const Favorite& favorite) const;
    void tableAboutToBeReloaded();
    void tableReloaded();
    bool handedOutBefore(int row) const;
    int nextRow() const;
    int takeRow();

    table::LinkTable& m_table;
    std::vector<Channel> m_channels;
    std::vector<Channel> m_leaving; // channels the pool no longer has, finishing their requests
    int m_rowCursor = 0;            // in the table generation m_cursorGeneration
    quint64 m_cursorGeneration = 0;
    QSet<QPair<QString, QString>> m_askedBefore; // favorites handed out before the last reload of this run
    std::vector<HeldVerdict> m_held;             // answers that came in while a reload was pending, for the new table
    RunState m_runState = RunState::Idle;
    QTimer* m_completionWatch = nullptr;
    int m_dispatchMs = kDispatchIntervalMs;
    int m_requestTimeoutMs = TransferChannel::kRequestTimeoutMs;
    bool m_httpsAsked = false;
};

} // namespace checker
