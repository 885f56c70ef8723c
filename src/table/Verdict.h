#pragma once

#include <array>

#include <QString>

namespace table
{

/// What a check found of a favorite: it answered (alive), it did not (dead), or it has not been asked.
enum class Verdict
{
    None,
    Alive,
    Dead,
};

/// The verdict as the results file writes it: "YES", "NO", or "" for none.
QString verdictText(Verdict verdict);

/// Why the current check judged a favorite as it did: the kind of answer, or of failure to get one.
enum class Reason
{
    Unknown,                // nobody said (a verdict from elsewhere than a request)
    Answered,               // the server's own answer; its status says more
    NameNotResolved,        // the host name does not resolve
    ConnectionRefused,      // the server refused the connection
    CouldNotConnect,        // any other failure to connect (unreachable, no route)
    ConnectionReset,        // the server reset the connection
    ClosedWithoutAnswer,    // the server closed the connection before answering
    NotHttp,                // what came back is no HTTP answer
    HeadTooLarge,           // the answer's head is larger than the client takes
    TimedOut,               // no answer within the request's time-out
    ProxyCouldNotReach,     // the proxy answered for itself: it could not reach or hear from the server
    SecureConnectionFailed, // the TLS handshake of an https address failed
};

/// What the current check learnt of one favorite: the verdict and why. It lives until the next save; the results
/// file keeps only the verdict.
struct Outcome
{
    Verdict verdict = Verdict::None;
    Reason reason = Reason::Unknown;
    int status = 0;  // the answer's HTTP status code; 0 for none
    QString movedTo; // for a redirect, the address it names, made absolute against the address asked

    bool operator==(const Outcome& other) const;
    bool operator!=(const Outcome& other) const { return !(*this == other); }

    /// A verdict with nothing known of its reason.
    static Outcome of(Verdict verdict);
    /// The server's own answer with this status (and, for a redirect, the address it names).
    static Outcome answer(int status, const QString& movedTo = QString());
    /// No answer, for this reason.
    static Outcome failure(Reason reason);
};

/// One saved check of a favorite, as the results file holds it: a verdict, or, in a results file edited by hand, a
/// text that is neither "YES" nor "NO" (compared exactly), which is kept as it stands, shown as text and written
/// back unchanged.
class SavedCheck
{
public:
    SavedCheck() = default;
    SavedCheck(Verdict verdict) : m_verdict(verdict) {} // NOLINT(google-explicit-constructor): a verdict is one

    /// The check a field of the results file holds.
    static SavedCheck fromText(const QString& text);

    /// Alive or Dead for "YES" or "NO"; None for an empty field and for any other text.
    Verdict verdict() const { return m_verdict; }
    /// The field as the results file holds it.
    QString text() const;
    /// True for an empty field.
    bool isEmpty() const { return m_verdict == Verdict::None && m_other.isEmpty(); }

    bool operator==(const SavedCheck& other) const { return m_verdict == other.m_verdict && m_other == other.m_other; }
    bool operator!=(const SavedCheck& other) const { return !(*this == other); }

private:
    Verdict m_verdict = Verdict::None;
    QString m_other; // the field's text when it is neither empty, "YES" nor "NO"
};

/// A favorite's history: its last four saved checks (一次 to 四次), the first saved first.
struct History
{
    static constexpr int kDepth = 4;

    std::array<SavedCheck, kDepth> checks;

    /// The number of checks filled from the first on, 0..4: a check is added after them, and only four filled
    /// checks make a full history.
    int count() const;
    /// Adds the current verdict (or nothing, for a favorite not asked) after the filled checks; a full history
    /// drops its first.
    void fold(Verdict current);
    /// True when four checks are saved and every one of them is Dead.
    bool failedEveryCheck() const;

    bool operator==(const History& other) const { return checks == other.checks; }
    bool operator!=(const History& other) const { return !(*this == other); }
};

} // namespace table
