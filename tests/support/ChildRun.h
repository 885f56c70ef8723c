#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Running one test function of the current test binary again in a child process, behind a wrapper command
// that changes what the child may do: another user (setpriv), its own mount namespace (unshare).

namespace testsupport
{

/// True in a child started by runSelfInChild.
bool isChildRun();

/// The value handed to the child by runSelfInChild ("" in the parent).
QString childRunValue();

/// Runs `wrapper... <this binary> testFunction` with the child marker set to value and extra added to the
/// environment, waits at most timeoutMs, and returns its exit code: 1 when it crashed or did not end in time (it is
/// then killed), -1 when it could not be started. output receives what it printed, both channels, and what went
/// wrong. binary, when given, is a copy of this binary to run instead (placed elsewhere, to see what the program
/// finds beside itself).
int runSelfInChild(const QStringList& wrapper, const QString& testFunction, const QString& value, QByteArray* output,
                   int timeoutMs = 120000, const QString& binary = QString(),
                   const QProcessEnvironment& extra = QProcessEnvironment());

/// The wrapper command for runSelfInChild that gives the child a file system of its own: a tmpfs (or another file
/// system kept in memory, such as ramfs) mounted with the given options ("size=4m") on the folder named by the first
/// argument after the wrapper, in a private mount namespace (unshare -rm, or -m as root) that ends with the child.
/// Empty, with the reason in *why, where the machine allows neither.
QStringList ownTmpfsWrapper(const QString& options, QString* why, const QString& type = QStringLiteral("tmpfs"));

/// Runs the running test function's current row again in a child behind ownTmpfsWrapper, the tmpfs mounted on a
/// fresh empty folder whose path the child finds in childRunValue(). True when the child ran the row and it passed;
/// else false with what it printed (or why it could not run) in *output.
bool runCurrentRowOnOwnTmpfs(const QStringList& wrapper, QByteArray* output);

/// For a test function that runs on a file system of its own: runs its current row in a child on a tmpfs (or the file
/// system of the given type) of the given options (runCurrentRowOnOwnTmpfs), and passes when the child's row passed;
/// skips where the machine cannot mount one. Called in the parent, which returns at once:
/// `if (!isChildRun()) return rerunOnOwnTmpfs("size=16m");`
void rerunOnOwnTmpfs(const QString& options, const QString& type = QStringLiteral("tmpfs"));

/// In such a child: makes its tmpfs a volume without a Recycle Bin, where no freedesktop Trash can be made (a file
/// stands where it would go), and returns the volume's folder. The user's own Trash stays on another volume.
QString volumeWithoutRecycleBin();

/// Runs a command and returns its exit code as runSelfInChild does.
int runCommand(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
               int timeoutMs = 30000);

} // namespace testsupport
