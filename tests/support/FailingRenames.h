#pragma once

#include <functional>

#include <QByteArray>

// Renames that fail as the system would fail them, in the middle of a piece of work the test cannot otherwise stop
// half-way: a file another program holds open, a folder taken away under the program. This test binary's own
// renameat2 (through which platform::renameEntry moves entries) and rename (through which Qt puts a file saved whole in
// its place) stand in front of the C library's. Linux only.

namespace testsupport
{

/// While it lives, each rename asked of the system is first shown to `decide`, with the paths the call was given; a
/// non-zero answer fails it with that error number, nothing renamed. decide may rename things itself, through
/// renameForReal (as another program would), and is called from whichever thread renames.
class FailingRenames
{
public:
    using Decide = std::function<int(const QByteArray& from, const QByteArray& to)>;

    explicit FailingRenames(Decide decide);
    ~FailingRenames();
    FailingRenames(const FailingRenames&) = delete;
    FailingRenames& operator=(const FailingRenames&) = delete;

    /// True where renames can be made to fail (Linux).
    static bool isAvailable();
};

/// Renames from to to with the C library's own rename, past any FailingRenames. False when it fails.
bool renameForReal(const QByteArray& from, const QByteArray& to);

} // namespace testsupport
