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

bool canEncodeSystem(const QString& text)
{
    // UTF-8 encodes every character; only a lone surrogate is an error.
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    return !encoder.hasError();
}

QString decodeSystem(const QByteArray& bytes, bool keepInitialMark)
{
    QStringConverter::Flags flags = QStringConverter::Flag::Stateless;
    if (keepInitialMark)
        flags |= QStringConverter::Flag::ConvertInitialBom;
    QStringDecoder decoder(QStringConverter::System, flags);
    return decoder.decode(bytes);
}

QByteArray encodeSystem(const QString& text)
{
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

} // namespace platform
