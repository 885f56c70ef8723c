#include "platform/SaveFile.h"

#include <QSaveFile>

namespace platform
{

bool saveFileContents(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Unbuffered: a buffered write is only flushed when the file is committed, and a failure of that flush
    // does not stop QSaveFile from putting the short temporary file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // A write that stops short is tried again, so that the call that cannot go on reports why.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            if (error)
                *error = file.errorString();
            file.cancelWriting();
            return false;
        }
        done += written;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace platform
