#include "support/ChildRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

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

int runCommand(const QString& program, const QStringList& arguments, QByteArray* output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    return finish(process, output, timeoutMs);
}

} // namespace testsupport
