#include "platform/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

// Outside Windows the system code page is UTF-8.
namespace platform
{

bool isValidSystemText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QString decodeSystem(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArray encodeSystem(const QString& text)
{
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

} // namespace platform
