#include "table/Verdict.h"

#include <algorithm>

namespace table
{

namespace
{

const QString& yesText()
{
    static const QString text = QStringLiteral("YES");
    return text;
}

const QString& noText()
{
    static const QString text = QStringLiteral("NO");
    return text;
}

} // namespace

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Alive:
        return yesText();
    case Verdict::Dead:
        return noText();
    case Verdict::None:
        break;
    }
    return QString();
}

bool Outcome::operator==(const Outcome& other) const
{
    return verdict == other.verdict && reason == other.reason && status == other.status && movedTo == other.movedTo;
}

Outcome Outcome::of(Verdict verdict)
{
    Outcome outcome;
    outcome.verdict = verdict;
    return outcome;
}

Outcome Outcome::answer(int status, const QString& movedTo)
{
    Outcome outcome;
    outcome.verdict = Verdict::Alive;
    outcome.reason = Reason::Answered;
    outcome.status = status;
    outcome.movedTo = movedTo;
    return outcome;
}

Outcome Outcome::failure(Reason reason)
{
    Outcome outcome;
    outcome.verdict = Verdict::Dead;
    outcome.reason = reason;
    return outcome;
}

SavedCheck SavedCheck::fromText(const QString& text)
{
    if (text == yesText())
        return SavedCheck(Verdict::Alive);
    if (text == noText())
        return SavedCheck(Verdict::Dead);
    SavedCheck check;
    check.m_other = text;
    return check;
}

QString SavedCheck::text() const
{
    return m_verdict == Verdict::None ? m_other : verdictText(m_verdict);
}

int History::count() const
{
    const auto firstEmpty = std::find_if(checks.begin(), checks.end(), [](const SavedCheck& c) { return c.isEmpty(); });
    return int(firstEmpty - checks.begin());
}

void History::fold(Verdict current)
{
    const int filled = count();
    if (filled < kDepth) {
        checks[std::size_t(filled)] = current;
        return;
    }
    std::rotate(checks.begin(), checks.begin() + 1, checks.end());
    checks.back() = current;
}

bool History::failedEveryCheck() const
{
    return std::all_of(checks.begin(), checks.end(), [](const SavedCheck& c) { return c.verdict() == Verdict::Dead; });
}

} // namespace table
