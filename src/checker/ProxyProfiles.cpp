#include "checker/ProxyProfiles.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QThreadStorage>
#include <QUrl>

#include "checker/TransferChannel.h"

namespace checker
{

namespace
{

QThreadStorage<std::weak_ptr<ProxyProfiles>> perThread;

// Headers that differ from one answer to the next, or that say nothing of who wrote it.
bool changesPerAnswer(const QByteArray& name)
{
    static const QSet<QByteArray> names = {
        "date",       "content-length", "connection", "keep-alive",  "proxy-connection", "transfer-encoding",
        "age",        "set-cookie",     "etag",       "x-cache",     "x-cache-lookup",   "x-request-id",
        "request-id", "x-squid-error",  "via",        "retry-after", "location",         "content-location"};
    return names.contains(name);
}

// Headers that servers' error pages carry as well: they cannot set a proxy's answer apart by themselves.
bool common(const QByteArray& name)
{
    static const QSet<QByteArray> names = {
        "content-type",     "cache-control",          "pragma",          "vary",
        "content-language", "mime-version",           "accept-ranges",   "x-content-type-options",
        "x-frame-options",  "x-xss-protection",       "referrer-policy", "strict-transport-security",
        "content-encoding", "content-security-policy"};
    return names.contains(name);
}

// The headers of a proxy's own answer that mark it: those that do not change from one answer to the next, nor
// repeat the answer's date or the name asked.
QList<std::pair<QByteArray, QByteArray>> marks(const ResponseHead& head, const QByteArray& asked = QByteArray())
{
    const QByteArray date = head.value("date");
    QList<std::pair<QByteArray, QByteArray>> kept;
    for (const auto& header : head.headers) {
        if (changesPerAnswer(header.first) || (!date.isEmpty() && header.second == date) ||
            (!asked.isEmpty() && header.second.contains(asked)))
            continue;
        kept.append(header);
    }
    return kept;
}

// An error named in Proxy-Status (RFC 9209): "name; error=dns_error; rcode=NXDOMAIN".
bool proxyStatusHasError(const QByteArray& value)
{
    static const QRegularExpression error(QStringLiteral("(^|;)\\s*error\\s*="));
    return !value.isEmpty() && error.match(QString::fromLatin1(value)).hasMatch();
}

} // namespace

std::shared_ptr<ProxyProfiles> ProxyProfiles::forThisThread()
{
    std::shared_ptr<ProxyProfiles> profiles = perThread.localData().lock();
    if (!profiles) {
        profiles.reset(new ProxyProfiles);
        perThread.localData() = profiles;
    }
    return profiles;
}

ProxyProfiles::~ProxyProfiles()
{
    for (Profile& profile : m_profiles)
        delete profile.probe; // cancels silently
}

ProxyProfiles::Judgement ProxyProfiles::ownError(int status)
{
    return status == 403 || status == 407 ? Judgement::ProxyRefused : Judgement::ProxyCouldNotReach;
}

ProxyProfiles::Judgement ProxyProfiles::judge(const QByteArray& proxy, const ResponseHead& head) const
{
    if (head.has("x-squid-error") || proxyStatusHasError(head.value("proxy-status")) || head.status == 407)
        return ownError(head.status);
    // A proxy's own answer for a server it could not reach is an error.
    if (head.status < 400)
        return Judgement::Server;
    const auto it = m_profiles.constFind(proxy);
    if (it == m_profiles.constEnd() || it->probe)
        return Judgement::NeedsProfile;
    if (!it->error)
        return Judgement::Server;
    const ResponseHead& own = *it->error;
    if (head.has("via") && !own.has("via"))
        return Judgement::Server;
    bool distinctive = false;
    for (const auto& mark : it->marks) {
        if (!head.headers.contains(mark))
            return Judgement::Server;
        distinctive = distinctive || !common(mark.first);
    }
    if (!distinctive) {
        // Nothing but what any error page may carry: the same status, and nothing more, or it is the server's.
        QSet<QByteArray> ownNames;
        QSet<QByteArray> names;
        for (const auto& mark : it->marks)
            ownNames.insert(mark.first);
        for (const auto& mark : marks(head))
            names.insert(mark.first);
        if (head.status != own.status || names != ownNames)
            return Judgement::Server;
    }
    return ownError(head.status);
}

void ProxyProfiles::learn(const QByteArray& proxy, int timeoutMs)
{
    if (proxy.isEmpty() || m_profiles.contains(proxy))
        return;
    Profile& profile = m_profiles[proxy];
    auto* probe = new TransferChannel(TransferChannel::ProxyProbe{}, timeoutMs, this);
    profile.probe = probe;
    connect(probe, &TransferChannel::finished, this, [this, proxy] { probeFinished(proxy); });
    // A name that cannot exist, and that no cache has seen.
    const QByteArray name = "tessaly-" + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".invalid";
    if (!probe->start("http://" + name + '/', proxy))
        probeFinished(proxy);
}

bool ProxyProfiles::isLearnt(const QByteArray& proxy) const
{
    const auto it = m_profiles.constFind(proxy);
    return it != m_profiles.constEnd() && !it->probe;
}

void ProxyProfiles::forget()
{
    for (auto it = m_profiles.begin(); it != m_profiles.end();) {
        if (it->probe)
            ++it;
        else
            it = m_profiles.erase(it);
    }
}

void ProxyProfiles::probeFinished(const QByteArray& proxy)
{
    const auto it = m_profiles.find(proxy);
    if (it == m_profiles.end() || !it->probe)
        return;
    TransferChannel* probe = std::exchange(it->probe, nullptr);
    // Only an error answer tells what the proxy's own errors look like (some answer a name that does not resolve with
    // a search page of their own, which says nothing about them).
    const ResponseHead& answer = probe->lastHead();
    if (answer.status >= 400) {
        it->error = answer;
        it->marks = marks(answer, QUrl::fromEncoded(probe->m_url).host(QUrl::FullyEncoded).toLatin1());
    }
    probe->deleteLater();
    emit learnt(proxy);
}

} // namespace checker
