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
    if (output)
        *output = process.readAll();
    if (!ended || process.exitStatus() != QProcess::NormalExit)
        return -1;
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
                   int timeoutMs, const QString& binary)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
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
