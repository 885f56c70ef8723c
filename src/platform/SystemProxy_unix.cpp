#include "platform/SystemProxy.h"

#include <QHostAddress>
#include <QUrl>

namespace platform
{

namespace
{

// A variable as curl reads it: set to an empty value is not set at all.
QByteArray variable(const char* name)
{
    return qgetenv(name);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// An address against one entry of the list: an address, or an address range in CIDR notation.
bool addressMatches(const QHostAddress& host, const QByteArray& entry)
{
    const int slash = int(entry.indexOf('/'));
    const QHostAddress network(QString::fromLatin1(slash < 0 ? entry : entry.left(slash)));
    if (network.isNull() || network.protocol() != host.protocol())
        return false;
    const int width = host.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
    // As atoi reads it: no number, or 0, is the whole address.
    const int bits = slash < 0 ? 0 : entry.mid(slash + 1).toInt();
    if (bits < 0 || bits > width)
        return false;
    return host.isInSubnet(network, bits == 0 ? width : bits);
}

// A host name against one entry: the name itself or a domain above it, letter case ignored.
bool nameMatches(QByteArray name, QByteArray entry)
{
    if (name.endsWith('.'))
        name.chop(1);
    if (entry.endsWith('.'))
        entry.chop(1);
    if (entry.startsWith('.'))
        entry.remove(0, 1);
    if (entry.isEmpty())
        return false;
    name = name.toLower();
    entry = entry.toLower();
    return name == entry ||
           (name.size() > entry.size() && name.endsWith(entry) && name.at(name.size() - entry.size() - 1) == '.');
}

// Whether the no_proxy list names host, a host name in its ASCII (IDNA) form or an address without brackets.
bool noProxyNames(const QByteArray& noProxy, const QString& host)
{
    if (noProxy.isEmpty() || host.isEmpty())
        return false;
    if (noProxy == "*")
        return true;
    const QHostAddress address(host);
    // Entries are separated by commas and blanks.
    for (int at = 0; at < noProxy.size();) {
        while (at < noProxy.size() && (isBlank(noProxy[at]) || noProxy[at] == ','))
            ++at;
        const int start = at;
        while (at < noProxy.size() && !isBlank(noProxy[at]) && noProxy[at] != ',')
            ++at;
        const QByteArray entry = noProxy.mid(start, at - start);
        if (entry.isEmpty())
            continue;
        if (address.isNull() ? nameMatches(host.toLatin1(), entry) : addressMatches(address, entry))
            return true;
    }
    return false;
}

} // namespace

QByteArray systemProxy(const QUrl& url)
{
    QByteArray noProxy = variable("no_proxy");
    if (noProxy.isEmpty())
        noProxy = variable("NO_PROXY");
    if (noProxyNames(noProxy, url.host(QUrl::FullyEncoded)))
        return QByteArray();
    const QByteArray scheme = url.scheme().toLower().toLatin1();
    QByteArray proxy = variable(scheme + "_proxy");
    // Anyone who can set a request's headers in a CGI program sets HTTP_PROXY: curl never reads it.
    if (proxy.isEmpty() && scheme != "http")
        proxy = variable(scheme.toUpper() + "_PROXY");
    if (proxy.isEmpty())
        proxy = variable("all_proxy");
    if (proxy.isEmpty())
        proxy = variable("ALL_PROXY");
    return proxy;
}

} // namespace platform
