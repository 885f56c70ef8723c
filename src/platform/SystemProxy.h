#pragma once

#include <optional>

#include <QByteArray>

class QUrl;

namespace platform
{

/// The proxy the system's settings name for a request to url, as libcurl takes it ("http://host:port",
/// "socks5h://host:port"), "" for none; or nothing where the users of the platform name their proxy in the
/// environment, which libcurl then reads itself exactly as curl does (http_proxy with or without a scheme,
/// https_proxy, all_proxy, no_proxy; the upper-case HTTP_PROXY ignored). Windows: the system's settings (those
/// of Internet Options). Elsewhere: nothing.
std::optional<QByteArray> systemProxy(const QUrl& url);

} // namespace platform
