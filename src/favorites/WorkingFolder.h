#pragma once

#include <QString>

#include "platform/Failure.h"
#include "platform/FileSystem.h"

namespace favorites
{

/// How far the work in a working folder has come, as its marker records it.
enum class Phase
{
    None,    // no marker: not a working folder of the program's
    Unknown, // a marker with a phase this program does not know (another version's): never finished or undone
    // A backup's working folders, and the first of a restore's, the copy of the backup.
    Copying,  // data.new: the copy is being made
    Complete, // data.new: the copy is whole
    SetAside, // data.old: the previous backup, to be deleted
    // A restore's second working folder, which takes the old favorites.
    Aside,  // the old favorites are being moved into it (or back out)
    In,     // all of them are in it; the new ones are being moved in
    Back,   // a failure: the new ones are being moved back out
    Done,   // the restore is complete; the old favorites go to the Recycle Bin
    Delete, // the user chose to delete the old favorites for good
};

/// A folder of the program's own that a backup or a restore works in while it is under way: "data.new" and
/// "data.old" beside the backup folder, ".tessaly-restore-new" and ".tessaly-restore-old" inside the Favorites
/// folder. It is told from a folder of the user's that happens to have the same name by the marker file it holds,
/// which also records how far the work has come (its phase, and a name the work will give to what it holds), so that
/// the work can be finished or undone after the program was stopped half-way. A folder without the marker is never
/// used, changed or removed.
///
/// The work that makes a working folder holds it, by a lock on a file beside the marker (platform::ProcessLock), until
/// the work is over: a working folder in use is another piece of work under way, which nobody else finishes, undoes or
/// removes. The system lets go of the lock when the process ends, so that what a killed program left is known to be
/// left at once.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString& path);

    /// The working folders of a backup, beside the backup folder: the new copy being made ("data.new") and the
    /// previous backup set aside until the new one is in its place ("data.old").
    static WorkingFolder freshBackup(const QString& backupFolder);
    static WorkingFolder oldBackup(const QString& backupFolder);
    /// The working folders of a restore, inside the Favorites folder: the copy of the backup (".tessaly-restore-new")
    /// and the old favorites set aside (".tessaly-restore-old").
    static WorkingFolder restoreNew(const QString& favPath);
    static WorkingFolder restoreOld(const QString& favPath);
    /// True for the names of a restore's working folders.
    static bool isRestoreName(const QString& name);

    const QString& path() const { return m_path; }
    platform::NativePath nativePath() const { return platform::toNativePath(m_path); }

    /// Something is at the path (a folder or anything else).
    bool isPresent() const;
    /// A folder holding the program's marker.
    bool isOurs() const;
    /// Ours, or a folder holding nothing but the program's own files (the program stopped between making the
    /// folder and marking it): nothing of the user's can be lost by using or removing it.
    bool isOursOrEmpty() const;
    /// The phase the marker records; None when the folder is not ours.
    Phase phase() const;
    /// The name the marker records for what the folder holds; empty when none.
    QString recordedName() const;
    /// Held by work under way: by this process (see hold()), or by another running one that made it.
    bool isInUse() const;

    /// Creates the folder, hidden, holds it (see hold()) and marks it at the given phase with the given name. Fails
    /// when anything is at the path.
    bool create(Phase phase, platform::Failure* failure, const QString& name = QString());
    /// Records the next phase, keeping the recorded name, or marks an existing folder (a previous backup about to be
    /// set aside) as the program's own; the marker is replaced whole, so it always holds one phase or the other.
    bool setPhase(Phase phase, platform::Failure* failure);
    /// Marks the folder with the given phase and name.
    bool mark(Phase phase, const QString& name, platform::Failure* failure);
    /// Takes the marker away again: the folder is an ordinary one from now on (a backup put in place).
    void unmark();
    /// Holds the folder for this process's work until release(): everyone else then finds it in use.
    void hold();
    /// Lets go of the folder. Before it is renamed: Windows renames no folder with an open file in it.
    void release();
    /// Removes the folder with everything in it, when it is ours or empty, the marker last, so that a removal stopped
    /// half-way leaves a folder that is still known to be ours; lets go of it first. Nothing there, or not ours:
    /// nothing done.
    bool remove(platform::Failure* failure = nullptr);

    /// True for the file names of the marker and the lock (and of their half-written copies), which copies and
    /// moves leave out.
    static bool isMarkerName(const platform::NativePath& name);

private:
    QString markerPath() const;
    QString lockPath() const;
    /// The marker's phase and name; false when the folder is not ours.
    bool readMarker(Phase* phase, QString* name) const;

    QString m_path;
};

/// True for a working folder of a restore inside the Favorites folder (the program's own, hidden from the table).
bool isRestoreWorkingFolder(const QString& path);

} // namespace favorites
