#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>

namespace testsupport
{

/// Every file (with its bytes) and every folder below a root, by path relative to the root ("a/b.url").
/// Links are recorded as what they lead to; names the file system cannot hand to Qt are not seen; named pipes, sockets
/// and devices are never opened and read as "<special>".
struct TreeSnapshot
{
    QMap<QString, QByteArray> files;
    QSet<QString> folders;

    bool operator==(const TreeSnapshot& other) const { return files == other.files && folders == other.folders; }
    bool operator!=(const TreeSnapshot& other) const { return !(*this == other); }
};

/// The same in one map, convenient for comparing whole trees: the bytes of each file; for each folder an
/// entry whose path ends in "/" with empty bytes; for each symbolic link "<link>" and its target as written, the link
/// not followed; "<special>" for a named pipe, socket or device. Hidden entries included.
QMap<QString, QByteArray> folderContents(const QString& root);

/// Takes the snapshot of root (an empty one when root does not exist).
TreeSnapshot snapshotTree(const QString& root);

/// A readable account of how two snapshots differ ("" when they are equal), for failure messages.
QString describeDifference(const TreeSnapshot& expected, const TreeSnapshot& actual);

/// Writes a snapshot out below root, creating the folders; false on failure.
bool writeTree(const QString& root, const TreeSnapshot& tree);

} // namespace testsupport
