#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace table
{
class LinkTable;
}

namespace testsupport
{

/// Writes bytes to path, creating the folders on the way. Returns false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);

/// Reads a whole file; an empty array when it cannot be read.
QByteArray readFile(const QString& path);

/// A minimal shortcut file for the address, with CR LF line ends.
QByteArray shortcutBytes(const QString& address);

/// The lines of a results file, without their CR LF.
QStringList resultLines(const QString& path);

/// The favorites on disk in the order a load lists them, each with its folder relative to fav: "/Sub/b".
QStringList diskNames(const QString& fav);

/// The same for the rows of a table: folder and name as a grid row shows them.
QStringList tableNames(const table::LinkTable& table);

/// True when every file of before (a folderContents map) is still in fav or in backup, byte for byte, apart from
/// the ones named in except; a lost one is named in a warning.
bool everyFavoriteKept(const QMap<QString, QByteArray>& before, const QString& fav, const QString& backup,
                       const QStringList& except = {});

/// The freedesktop Trash that stands for the Recycle Bin, emptied: the user's data folder (XDG_DATA_HOME) points into
/// a temporary folder of this test process, for as long as it runs, on the file system of the temporary folders where
/// the tests make their favorites, so that what the program puts in the Recycle Bin stays inside the test. One for the
/// whole process: GIO reads the user's data folder once per process, as it does its home folder (which must be on that
/// file system too, as it is for a user's own files). Processes the test starts inherit it. Returns the Trash folder.
QString emptyTrash();

/// Marks folder (made when missing) as a working folder of a backup or restore stopped at the given phase, with the
/// marker exactly as the program writes it ("copying", "set aside", "in", ...): what a program of this or an earlier
/// version leaves behind.
bool markWorkingFolder(const QString& folder, const QByteArray& phase, const QString& name = QString());

} // namespace testsupport
