#include "platform/SystemProxy.h"

#include <QNetworkProxyFactory>
#include <QUrl>

namespace platform
{

QByteArray systemProxy(const QUrl& url)
{
    for (const QNetworkProxy& proxy : QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url))) {
        QUrl named;
        if (proxy.type() == QNetworkProxy::HttpProxy)
            named.setScheme(QStringLiteral("http"));
        else if (proxy.type() == QNetworkProxy::Socks5Proxy)
            named.setScheme(QStringLiteral("socks5h")); // the proxy looks the name up
        else if (proxy.type() == QNetworkProxy::NoProxy)
            return QByteArray();
        else
            continue;
        named.setHost(proxy.hostName());
        named.setPort(proxy.port());
        named.setUserName(proxy.user());
        named.setPassword(proxy.password());
        return named.toEncoded();
    }
    // None libcurl can use: a direct connection, whatever the environment says.
    return QByteArray();
}

} // namespace platform
