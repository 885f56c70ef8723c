#include "support/ChildRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace testsupport
{

namespace
{

const char childMarker[] = "TESSALY_TEST_CHILD_RUN";

int finish(QProcess& process, QByteArray* output, int timeoutMs)
{
    if (!process.waitForStarted(timeoutMs)) {
        if (output)
            *output = process.errorString().toUtf8();
        return -1;
    }
    const bool ended = process.waitForFinished(timeoutMs);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    const QByteArray printed = process.readAll();
    if (output)
        *output = printed;
    if (!ended || process.exitStatus() != QProcess::NormalExit) {
        if (output)
            *output += ended ? "\n(the child crashed)" : "\n(the child did not end in time and was killed)";
        return 1;
    }
    return process.exitCode();
}

} // namespace

bool isChildRun()
{
    return qEnvironmentVariableIsSet(childMarker);
}

QString childRunValue()
{
    return qEnvironmentVariable(childMarker);
}

int runSelfInChild(const QStringList& wrapper, const QString& testFunction, const QString& value, QByteArray* output,
                   int timeoutMs, const QString& binary, const QProcessEnvironment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    environment.insert(QString::fromLatin1(childMarker), value);
    QStringList command = wrapper;
    command << (binary.isEmpty() ? QCoreApplication::applicationFilePath() : binary) << testFunction;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.takeFirst(), command);
    return finish(process, output, timeoutMs);
}

QStringList ownTmpfsWrapper(const QString& options, QString* why, const QString& type)
{
#ifndef Q_OS_LINUX
    *why = QStringLiteral("a file system of its own needs Linux mount namespaces");
    return {};
#else
    if (QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty()) {
        *why = QStringLiteral("unshare (util-linux) is not installed");
        return {};
    }
    const QString mount = QStringLiteral("mount -t %1 -o %2 tessaly-test \"$0\" && exec \"$@\"").arg(type, options);
    QByteArray output;
    // As a user, a user namespace brings the right to mount; as root a mount namespace is enough.
    for (const QString& flags : {QStringLiteral("-rm"), QStringLiteral("-m")}) {
        const QStringList wrapper{QStringLiteral("unshare"), flags, QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                  mount};
        QStringList probe = wrapper;
        probe << QDir::tempPath() << QStringLiteral("/bin/true");
        if (runCommand(probe.takeFirst(), probe, &output) == 0)
            return wrapper;
    }
    *why = QStringLiteral("this machine does not let a test mount a tmpfs in a namespace of its own "
                          "(unshare -rm / -m): ") +
           QString::fromLocal8Bit(output).trimmed();
    return {};
#endif
}

bool runCurrentRowOnOwnTmpfs(const QStringList& wrapper, QByteArray* output)
{
    // The mount point: an empty folder that the child's tmpfs covers, gone when the child ends.
    QTemporaryDir mountPoint;
    if (!mountPoint.isValid()) {
        *output = "no temporary folder for the mount point";
        return false;
    }
    QStringList command = wrapper;
    command << mountPoint.path();
    const QByteArray function(QTest::currentTestFunction());
    const QByteArray tag(QTest::currentDataTag());
    const int code = runSelfInChild(command, QString::fromUtf8(function + ':' + tag), mountPoint.path(), output);
    // That very row passed: not skipped, not another row.
    const QRegularExpression passed(QStringLiteral("^PASS   : \\w+::%1\\(%2\\)$")
                                        .arg(QRegularExpression::escape(QString::fromUtf8(function)),
                                             QRegularExpression::escape(QString::fromUtf8(tag))),
                                    QRegularExpression::MultilineOption);
    return code == 0 && passed.match(QString::fromUtf8(*output)).hasMatch();
}

void rerunOnOwnTmpfs(const QString& options, const QString& type)
{
    QString why;
    const QStringList wrapper = ownTmpfsWrapper(options, &why, type);
    if (wrapper.isEmpty())
        QSKIP(qPrintable(why));
    QByteArray output;
    QVERIFY2(runCurrentRowOnOwnTmpfs(wrapper, &output), output.constData());
}

QString volumeWithoutRecycleBin()
{
    const QString volume = childRunValue();
#ifdef Q_OS_UNIX
    QFile inTheWay(volume + QStringLiteral("/.Trash-%1").arg(::getuid()));
    if (!inTheWay.open(QIODevice::WriteOnly) || inTheWay.write("a file where the Trash would go") < 0)
        qWarning("cannot block the Trash on %s", qPrintable(volume));
#endif
    return volume;
}

int runCommand(const QString& program, const QStringList& arguments, QByteArray* output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    return finish(process, output, timeoutMs);
}

} // namespace testsupport
