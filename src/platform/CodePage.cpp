#include "platform/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform
{

namespace
{

bool hasUtf16LeBom(const QByteArray& bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

} // namespace

// The system code page itself (decodeSystem, encodeSystem, isValidSystemText) is in CodePage_unix.cpp and
// CodePage_win.cpp.

DecodedText decodeText(const QByteArray& bytes)
{
    if (hasUtf16LeBom(bytes))
        return {decodeText(bytes, TextEncoding::Utf16Le), TextEncoding::Utf16Le};
#ifndef Q_OS_WIN
    if (!isValidSystemText(bytes) && QStringDecoder("GB18030").isValid())
        return {decodeText(bytes, TextEncoding::Gb18030), TextEncoding::Gb18030};
#endif
    return {decodeSystem(bytes), TextEncoding::System};
}

QString decodeText(const QByteArray& bytes, TextEncoding encoding, bool keepInitialMark)
{
    QStringConverter::Flags flags = QStringConverter::Flag::Stateless;
    if (keepInitialMark)
        flags |= QStringConverter::Flag::ConvertInitialBom;
    switch (encoding) {
    case TextEncoding::Utf16Le: {
        // The mark is taken off here, once: a second U+FEFF after it is a character of the text, which the decoder
        // would otherwise pass over as well.
        QStringDecoder decoder(QStringConverter::Utf16LE, flags | QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(!keepInitialMark && hasUtf16LeBom(bytes) ? bytes.mid(2) : bytes);
    }
    case TextEncoding::Gb18030: {
        QStringDecoder decoder("GB18030", flags);
        if (decoder.isValid())
            return decoder.decode(bytes);
        break;
    }
    case TextEncoding::System:
        break;
    }
    return decodeSystem(bytes, keepInitialMark);
}

QByteArray encodeText(const QString& text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16Le: {
        QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        return QByteArray("\xFF\xFE", 2) + QByteArray(encoder.encode(text));
    }
    case TextEncoding::Gb18030: {
        QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
        if (encoder.isValid())
            return encoder.encode(text);
        break;
    }
    case TextEncoding::System:
        break;
    }
    return encodeSystem(text);
}

} // namespace platform
