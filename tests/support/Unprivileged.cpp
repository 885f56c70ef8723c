#include "support/Unprivileged.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testsupport
{

namespace
{
const char* const kChildVariable = "TESSALY_TEST_UNPRIVILEGED_CHILD";
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
    return qEnvironmentVariableIsSet(kChildVariable);
}

int runAsNobody(const QString& testFunction, const QProcessEnvironment& extra, QString* output, QString* why)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        *why = QStringLiteral("setpriv is not installed");
        return -1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(extra);
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(setpriv, {QStringLiteral("--reuid=%1").arg(kNobodyId), QStringLiteral("--regid=%1").arg(kNobodyId),
                            QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(), testFunction});
    if (!process.waitForStarted(10000)) {
        *why = process.errorString();
        return -1;
    }
    process.waitForFinished(60000);
    *output = QString::fromLocal8Bit(process.readAll());
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        *output += QStringLiteral("\n(the unprivileged run crashed or hung)");
        return 1;
    }
    return process.exitCode();
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
