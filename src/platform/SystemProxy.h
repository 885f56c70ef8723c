#pragma once

#include <QByteArray>

class QUrl;

namespace platform
{

/// The proxy the user has set for a request to url, as libcurl takes it ("http://host:port", "host:port",
/// "socks5h://host:port"), or "" for none. Windows: the system's settings (those of Internet Options). Elsewhere: the
/// environment, read as curl reads it: no_proxy (or NO_PROXY) first, a list of host names and domains ("*" for every
/// host; a leading or trailing dot ignored), of addresses and of address ranges (192.168.0.0/16); then
/// <scheme>_proxy (http_proxy, https_proxy; for every scheme but http also in capitals), then all_proxy (or
/// ALL_PROXY). The upper-case HTTP_PROXY is never read, as curl never reads it; an empty variable is none.
QByteArray systemProxy(const QUrl& url);

} // namespace platform
