#include "support/Unprivileged.h"

#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>

#include "support/ChildRun.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testsupport
{

namespace
{
const QString kNobodyRun = QStringLiteral("nobody");
}

bool isSuperuser()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

bool isUnprivilegedChild()
{
    return isChildRun() && childRunValue() == kNobodyRun;
}

QStringList asNobody()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return {};
    return {setpriv, QStringLiteral("--reuid=%1").arg(kNobodyId), QStringLiteral("--regid=%1").arg(kNobodyId),
            QStringLiteral("--clear-groups")};
}

int runAsNobody(const QString& testFunction, const QProcessEnvironment& extra, QString* output, QString* why)
{
    const QStringList wrapper = asNobody();
    if (wrapper.isEmpty()) {
        *why = QStringLiteral("setpriv is not installed");
        return -1;
    }
    QByteArray printed;
    const int code = runSelfInChild(wrapper, testFunction, kNobodyRun, &printed, 60000, QString(), extra);
    *output = QString::fromLocal8Bit(printed);
    if (code == -1)
        *why = *output;
    return code;
}

bool giveToNobody(const QString& path)
{
#ifdef Q_OS_UNIX
    bool ok = ::lchown(QFile::encodeName(path).constData(), kNobodyId, kNobodyId) == 0;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ok = ::lchown(QFile::encodeName(it.next()).constData(), kNobodyId, kNobodyId) == 0 && ok;
    return ok;
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace testsupport
