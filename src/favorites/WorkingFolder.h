#pragma once

#include <QString>

#include "platform/Failure.h"
#include "platform/FileSystem.h"

namespace favorites
{

/// The phases the working folders record.
namespace phase
{
// A backup's working folders.
inline const QString kCopying = QStringLiteral("copying");    // data.new: the copy is being made
inline const QString kComplete = QStringLiteral("complete");  // data.new: the copy is whole
inline const QString kSetAside = QStringLiteral("set aside"); // data.old: the previous backup, to be deleted
// A restore's second working folder, which takes the old favorites (its first one, the copy of the backup, records
// only kCopying and kComplete).
inline const QString kAside = QStringLiteral("aside"); // the old favorites are being moved into it (or back out)
inline const QString kIn = QStringLiteral("in");       // all of them are in it; the new ones are being moved in
inline const QString kBack = QStringLiteral("back");   // a failure: the new ones are being moved back out
inline const QString kDone = QStringLiteral("done");   // the restore is complete; the old favorites are deleted
} // namespace phase

/// A folder of the program's own that a backup or a restore works in while it is under way: "data.new" and
/// "data.old" beside the backup folder, ".tessaly-restore-new" and ".tessaly-restore-old" inside the Favorites
/// folder. It is told from a folder of the user's that happens to have the same name by the marker file it holds,
/// which also records how far the work has come (its phase), so that the work can be finished or undone after the
/// program was stopped half-way. A folder without the marker is never used, changed or removed.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString& path);

    const QString& path() const { return m_path; }
    platform::NativePath nativePath() const { return platform::toNativePath(m_path); }

    /// Something is at the path (a folder or anything else).
    bool isPresent() const;
    /// A folder holding the program's marker.
    bool isOurs() const;
    /// Ours, or an empty folder (the program stopped between making the folder and marking it): nothing of the
    /// user's can be lost by using or removing it.
    bool isOursOrEmpty() const;
    /// The phase the marker records; empty when the folder is not ours.
    QString phase() const;

    /// Creates the folder with its marker, hidden, at the given phase. Fails when anything is at the path.
    bool create(const QString& phase, platform::Failure* failure);
    /// Records the next phase, or marks an existing folder (a previous backup about to be set aside) as the program's
    /// own; the marker is replaced whole, so it always holds one phase or the other.
    bool setPhase(const QString& phase, platform::Failure* failure);
    /// Takes the marker away again: the folder is an ordinary one from now on (a backup put in place).
    void unmark();
    /// Removes the folder with everything in it, when it is ours or empty, the marker last, so that a removal stopped
    /// half-way leaves a folder that is still known to be ours. Nothing there, or not ours: nothing done.
    bool remove(platform::Failure* failure = nullptr);

    /// True for the marker's file name (and the names of its half-written copies), which copies leave out.
    static bool isMarkerName(const platform::NativePath& name);

private:
    QString markerPath() const;

    QString m_path;
};

} // namespace favorites
