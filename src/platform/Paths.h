#pragma once

#include <QString>
#include <QStringList>

#include "platform/FileSystem.h"

namespace platform
{

/// The platform's path separator as the program writes it: "\" on Windows, "/" elsewhere.
QChar separator();

/// Joins a folder (no trailing separator) and a name by plain concatenation with the separator.
QString joinPath(const QString& folder, const QString& name);

/// A path in the platform's native form, without a trailing separator (a root keeps its own).
QString nativePath(const QString& path);

/// The folder that holds the program file, in native form without a trailing separator.
QString programFolder();

/// The file that the Windows installer puts beside the program to say that this copy is installed, not portable.
inline constexpr char kInstalledMarker[] = "tessaly.installed";

/// The folder for the results file and the backup folder: programFolder when a file can be created in it and it
/// holds no kInstalledMarker (a portable copy keeps its data beside itself), else the user's data folder
/// (QStandardPaths::AppDataLocation, created if missing; for a program installed by the Windows installer, under
/// /usr or under Program Files). Native form, no trailing separator. Returns programFolder when the user's data
/// folder cannot be created, so the first write reports it.
QString dataFolder(const QString& programFolder);

/// True when child is the folder parent itself or lies anywhere inside it, after resolving "." and "..", every link
/// on the way of the part of each path that exists, and, where the file system takes names without regard to letter
/// case (Windows), letter case.
bool isInside(const QString& child, const QString& parent);

/// The same text for every way of writing the path of one folder, by the rule of isInside: "." and "..", and the links
/// on the way of the part that exists, resolved; letter case folded where the file system ignores it. For naming
/// what belongs to a folder (a lock), not for opening it.
QString folderIdentity(const QString& path);

} // namespace platform
