#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport
{

/// The user and group the unprivileged runs use ("nobody").
constexpr int kNobodyId = 65534;

/// True when this process runs as the superuser, for whom folder permissions are not enforced.
bool isSuperuser();

/// True when this process was started by runAsNobody().
bool isUnprivilegedChild();

/// The wrapper command that runs a command as the user "nobody" with no groups (setpriv), for runSelfInChild;
/// empty when setpriv is not installed.
QStringList asNobody();

/// Runs this test executable again as the user "nobody" (runSelfInChild behind asNobody()), running only the given
/// test function ("name" or "name:tag") with extra added to the environment. Returns its exit code (1 when it
/// crashed or hung), or -1 when it cannot be started (the reason in *why). What it printed goes into *output.
int runAsNobody(const QString& testFunction, const QProcessEnvironment& extra, QString* output, QString* why);

/// How a run of the current test row as nobody went: it passed, failed (output says what it printed), or could not
/// be made at all (why says why).
struct NobodyRun
{
    bool made = false;
    bool passed = false;
    QString output;
    QString why;
};

/// Runs the current row of the running test function again as nobody (runAsNobody), with TESSALY_TEST_ROOT and HOME
/// set to root; it passed when it ended with status 0 and reported that row as passed.
NobodyRun runCurrentRowAsNobody(const QString& root);

/// Gives path, and everything under it when it is a folder, to the user "nobody". Returns false on failure.
bool giveToNobody(const QString& path);

} // namespace testsupport
