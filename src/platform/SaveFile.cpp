#include "platform/SaveFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace platform
{

bool saveFileContents(const QString& path, const QByteArray& bytes, Failure* failure)
{
    // QSaveFile refuses an existing file it cannot write to; say so in the program's own terms.
    const QFileInfo existing(path);
    if (existing.isFile() && !existing.isWritable())
        return fail(failure, platform::FileFailure::ReadOnlyFile, path);
    QSaveFile file(path);
    // Unbuffered: a buffered write is only flushed when the file is committed, and a failure of that flush
    // does not stop QSaveFile from putting the short temporary file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(failure, platform::FileFailure::WriteFailed, path, QString(), systemErrorOf(file));
    // A write that stops short is tried again, so that the call that cannot go on reports why.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const SystemError why = systemErrorOf(file);
            file.cancelWriting();
            return fail(failure, platform::FileFailure::WriteFailed, path, QString(), why);
        }
        done += written;
    }
    if (!file.commit())
        return fail(failure, platform::FileFailure::WriteFailed, path, QString(), systemErrorOf(file));
    return true;
}

} // namespace platform
