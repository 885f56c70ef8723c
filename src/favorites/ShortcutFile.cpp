#include "favorites/ShortcutFile.h"

#include "platform/CodePage.h"
#include "platform/ProfileString.h"
#include "platform/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace favorites
{

namespace
{

const QString sectionName = QStringLiteral("InternetShortcut");
const QString keyName = QStringLiteral("URL");

bool fail(QString* error, const QString& path, const QString& reason)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

// Reads at most one byte more than the limit, so that a file that grew after it was measured is still
// caught without being loaded.
bool readSmallFile(const QString& path, QByteArray* bytes, QString* reason, qint64 expectedSize = maxShortcutFileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    // read() reserves the whole amount it is asked for: ask for what the file should hold, plus a margin.
    *bytes = file.read(qMin(expectedSize + 4096, maxShortcutFileSize + 1));
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    if (bytes->size() > maxShortcutFileSize) {
        *reason = QStringLiteral("larger than %1 bytes, not a shortcut file").arg(maxShortcutFileSize);
        return false;
    }
    return true;
}

// Permissions as they can be set again: the "User" flags describe the running user's access, not the mode.
QFileDevice::Permissions modeOf(const QFileInfo& info)
{
    const QFileDevice::Permissions modeFlags = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                               QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return info.permissions() & modeFlags;
}

} // namespace

QString GetUrl(const QString& filePath)
{
    // isFile() also keeps named pipes and devices out, whose opening could block or never end.
    const QFileInfo info(filePath);
    if (!info.isFile() || info.size() > maxShortcutFileSize)
        return QString();
    QByteArray bytes;
    QString reason;
    if (!readSmallFile(filePath, &bytes, &reason, info.size()))
        return QString();
    QString address = platform::readProfileString(bytes, platform::decodeText(bytes).encoding, sectionName, keyName);
    // The address is a string that ends at its terminator, as the platform's reader hands it over: a NUL byte
    // inside the line ends it there.
    const qsizetype nul = address.indexOf(QChar(0));
    if (nul >= 0)
        address.truncate(nul);
    return address;
}

bool SetUrl(const QString& filePath, const QString& address, QString* error)
{
    if (address.contains(u'\r') || address.contains(u'\n'))
        return fail(error, filePath, QStringLiteral("the address holds a line break"));

    const QFileInfo info(filePath);
    const bool exists = info.exists();
    QByteArray oldBytes;
    if (exists) {
        if (!info.isFile())
            return fail(error, filePath, QStringLiteral("not a regular file"));
        QString reason;
        if (!readSmallFile(filePath, &oldBytes, &reason))
            return fail(error, filePath, reason);
    } else {
        if (info.isSymLink())
            return fail(error, filePath, QStringLiteral("a link to a missing file"));
        if (!info.absoluteDir().exists())
            return fail(error, filePath, QStringLiteral("the folder does not exist"));
    }

    const platform::DecodedText decoded = platform::decodeText(oldBytes);
    if (decoded.encoding == platform::TextEncoding::Utf16Le &&
        platform::encodeText(decoded.text, decoded.encoding) != oldBytes) {
        return fail(error, filePath,
                    QStringLiteral("the UTF-16 text is damaged; rewriting it would change other bytes"));
    }
    // An address that is already there is not written again: a value read from a file in a code page this
    // program does not know comes back mangled, and writing it would replace the original bytes.
    if (exists && platform::readProfileString(oldBytes, decoded.encoding, sectionName, keyName) == address)
        return true;
    if (exists && !info.isWritable())
        return fail(error, filePath, QStringLiteral("the file is read-only"));
    const QByteArray newBytes = platform::writeProfileString(oldBytes, decoded.encoding, sectionName, keyName, address);
    // Blanks or quotes around the address, or characters the file's code page lacks, would not come back.
    if (platform::readProfileString(newBytes, decoded.encoding, sectionName, keyName) != address) {
        return fail(error, filePath,
                    QStringLiteral("the address cannot be stored unchanged (blanks or quotes at its ends, "
                                   "or characters the file's encoding cannot hold)"));
    }

    const QFileDevice::Permissions mode = exists ? modeOf(info) : QFileDevice::Permissions();
    QString reason;
    if (!platform::saveFileContents(filePath, newBytes, &reason))
        return fail(error, filePath, reason);
    // QSaveFile copies the permissions through the running user's view of them, which can differ from the
    // file's mode (for the superuser every file looks executable); put the mode back as it was.
    if (exists && !info.isSymLink())
        QFile::setPermissions(filePath, mode);
    return true;
}

} // namespace favorites
