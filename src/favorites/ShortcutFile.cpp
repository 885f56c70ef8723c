#include "favorites/ShortcutFile.h"

#include "favorites/FileOps.h"
#include "favorites/ProfileString.h"
#include "platform/CodePage.h"
#include "platform/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::FileFailure;

namespace
{

const QString sectionName = QStringLiteral("InternetShortcut");
const QString keyName = QStringLiteral("URL");

// Reads at most one byte more than the limit, so that a file that grew after it was measured is still
// caught without being loaded.
bool readSmallFile(const QString& path, QByteArray* bytes, Failure* failure, qint64 expectedSize = maxShortcutFileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(failure, FileFailure::ReadFailed, path, QString(), platform::systemErrorOf(file));
    // read() reserves the whole amount it is asked for: ask for what the file should hold, plus a margin.
    *bytes = file.read(qMin(expectedSize + 4096, maxShortcutFileSize + 1));
    if (file.error() != QFileDevice::NoError)
        return fail(failure, FileFailure::ReadFailed, path, QString(), platform::systemErrorOf(file));
    if (bytes->size() > maxShortcutFileSize)
        return fail(failure, ShortcutFailure::TooLarge, path);
    return true;
}

// What SetUrl is to write: nothing when the address is already there.
struct UrlWrite
{
    bool needed = false;
    bool exists = false;
    QByteArray bytes;
    QFileDevice::Permissions mode;
};

// Decides, without writing, whether the address can be stored in the file and what the file then holds.
bool prepareUrl(const QString& filePath, const QString& address, UrlWrite* write, Failure* failure)
{
    if (address.contains(u'\r') || address.contains(u'\n'))
        return fail(failure, ShortcutFailure::AddressHasLineBreak, filePath);

    const QFileInfo info(filePath);
    write->exists = info.exists();
    QByteArray oldBytes;
    if (write->exists) {
        if (!info.isFile())
            return fail(failure, FileFailure::NotARegularFile, filePath);
        if (!readSmallFile(filePath, &oldBytes, failure))
            return false;
        write->mode = modeOf(info);
    } else {
        if (info.isSymLink())
            return fail(failure, FileFailure::LinkToMissingFile, filePath);
        if (!info.absoluteDir().exists())
            return fail(failure, FileFailure::FolderMissing, info.absolutePath());
    }

    const platform::DecodedText decoded = platform::decodeText(oldBytes);
    if (decoded.encoding == platform::TextEncoding::Utf16Le &&
        platform::encodeText(decoded.text, decoded.encoding) != oldBytes) {
        return fail(failure, ShortcutFailure::DamagedText, filePath);
    }
    // An address that is already there is not written again: a value read from a file in a code page this
    // program does not know comes back mangled, and writing it would replace the original bytes.
    if (write->exists && readProfileString(oldBytes, decoded.encoding, sectionName, keyName) == address) {
        write->needed = false;
        return true;
    }
    if (write->exists && !info.isWritable())
        return fail(failure, FileFailure::ReadOnlyFile, filePath);
    write->bytes = writeProfileString(oldBytes, decoded.encoding, sectionName, keyName, address);
    // Blanks or quotes around the address, or characters the file's code page lacks, would not come back.
    if (readProfileString(write->bytes, decoded.encoding, sectionName, keyName) != address)
        return fail(failure, ShortcutFailure::AddressNotStorable, filePath);
    write->needed = true;
    return true;
}

} // namespace

QString GetUrl(const QString& filePath)
{
    // isFile() also keeps named pipes and devices out, whose opening could block or never end.
    const QFileInfo info(filePath);
    if (!info.isFile() || info.size() > maxShortcutFileSize)
        return QString();
    QByteArray bytes;
    if (!readSmallFile(filePath, &bytes, nullptr, info.size()))
        return QString();
    QString address = readProfileString(bytes, platform::decodeText(bytes).encoding, sectionName, keyName);
    // The address is a string that ends at its terminator, as the platform's reader hands it over: a NUL byte
    // inside the line ends it there.
    const qsizetype nul = address.indexOf(QChar(0));
    if (nul >= 0)
        address.truncate(nul);
    return address;
}

bool canSetUrl(const QString& filePath, const QString& address, Failure* failure)
{
    UrlWrite write;
    return prepareUrl(filePath, address, &write, failure);
}

bool SetUrl(const QString& filePath, const QString& address, Failure* failure)
{
    UrlWrite write;
    if (!prepareUrl(filePath, address, &write, failure))
        return false;
    if (!write.needed)
        return true;
    if (!platform::saveFileContents(filePath, write.bytes, failure))
        return false;
    // QSaveFile copies the permissions through the running user's view of them, which can differ from the
    // file's mode (for the superuser every file looks executable); put the mode back as it was.
    if (write.exists && !QFileInfo(filePath).isSymLink())
        QFile::setPermissions(filePath, write.mode);
    return true;
}

} // namespace favorites
