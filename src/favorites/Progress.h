#pragma once

#include <functional>
#include <utility>

namespace favorites
{

/// How far a long piece of work on files has come, for whoever waits for it, and the one place where the work may be
/// asked to stop. The work says how many entries it has to do (start), then counts each one done (step); the
/// listener hears both and answers whether the work is to go on. Asked to stop, the work stops at that entry as it
/// would at a failure there (platform::FileFailure::Stopped): what it did before is put back or kept, as that
/// failure's rules say. Functions take a Progress* that may be null: then nobody is told and nothing stops.
class Progress
{
public:
    /// Hears the entries done of total (total 0 while not known); false asks the work to stop.
    using Listener = std::function<bool(int done, int total)>;

    explicit Progress(Listener listener = {}) : m_listener(std::move(listener)) {}

    /// From now on total entries are to be done, none of them yet. False when the work is to stop.
    bool start(int total)
    {
        m_total = total;
        m_done = 0;
        return tell();
    }
    /// One more entry is done. False when the work is to stop here.
    bool step()
    {
        ++m_done;
        return tell();
    }
    /// True once the listener has asked the work to stop.
    bool stopped() const { return m_stopped; }

private:
    bool tell()
    {
        if (!m_stopped && m_listener && !m_listener(m_done, m_total))
            m_stopped = true;
        return !m_stopped;
    }

    Listener m_listener;
    int m_done = 0;
    int m_total = 0;
    bool m_stopped = false;
};

/// progress->start(total) when there is a progress; true (go on) without one.
inline bool startOn(Progress* progress, int total)
{
    return !progress || progress->start(total);
}

/// progress->step() when there is a progress; true (go on) without one.
inline bool stepOn(Progress* progress)
{
    return !progress || progress->step();
}

} // namespace favorites
