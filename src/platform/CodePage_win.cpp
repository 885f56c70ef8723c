#include "platform/CodePage.h"

#include <string>

#include "platform/win/CodePageWin.h"

// On Windows the system code page is the ANSI code page; the conversion itself lives in the Qt-free
// platform/win/CodePageWin.cpp.
namespace platform
{

bool isValidSystemText(const QByteArray& bytes)
{
    return win::isValidInCodePage(bytes.toStdString(), CP_ACP);
}

bool canEncodeSystem(const QString& text)
{
    return win::canEncode(text.toStdWString(), CP_ACP);
}

QString decodeSystem(const QByteArray& bytes, bool)
{
    // The ANSI code pages have no byte-order mark: nothing is passed over either way.
    return QString::fromStdWString(win::toWide(bytes.toStdString(), CP_ACP));
}

QByteArray encodeSystem(const QString& text)
{
    return QByteArray::fromStdString(win::fromWide(text.toStdWString(), CP_ACP));
}

} // namespace platform
