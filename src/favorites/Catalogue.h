#pragma once

#include <QString>
#include <QStringList>

namespace favorites
{

/// The favorites catalogue: where the Favorites folder is, its subfolders, and the files the last enumeration
/// collected there.
///
/// The lists are indexed from 1; element 0 exists and is unused. The file lists are what the next load turns
/// into the link table (file i becomes row i); from then on the program works on the table's rows, which the
/// edit dialog keeps up to date, and the file lists are only the input of the load after the next enumeration.
struct Catalogue
{
    QString favPath;                   // the Favorites folder, as the registry names it; fixed after start-up
    int fileCount = 0;                 // collected files
    QStringList fileName{QString()};   // 1..fileCount: name with extension
    QStringList filePath{QString()};   // 1..fileCount: folder holding the file, no trailing separator
    int folderCount = 0;               // collected subfolders (at every load)
    QStringList folderList{QString()}; // 1..folderCount: full path of every subfolder at any depth

    /// Forgets the collected files (the lists keep their unused element 0).
    void clearFiles()
    {
        fileCount = 0;
        fileName = QStringList{QString()};
        filePath = QStringList{QString()};
    }

    /// Forgets the collected folders.
    void clearFolders()
    {
        folderCount = 0;
        folderList = QStringList{QString()};
    }
};

} // namespace favorites
