#pragma once

#include <QString>

#include "platform/SystemError.h"

// The system's Recycle Bin (on Windows; the freedesktop Trash elsewhere): where the program puts what a command
// removes from the Favorites folder, so that the user can bring it back. Nothing is ever deleted for good here: where
// the system has no Recycle Bin for the volume, the entry stays where it is and the caller asks the user first.

namespace platform
{

/// What became of an entry handed to moveToRecycleBin.
enum class Recycled
{
    Moved,        // it is in the Recycle Bin, under its own name, with where it came from
    NoRecycleBin, // the system has none for its volume (a network drive, most removable drives): left in place
    Failed,       // it could not be moved (the reason in *error): left in place
};

/// Moves the file, link or folder (with everything in it) at path to the Recycle Bin.
Recycled moveToRecycleBin(const QString& path, SystemError* error = nullptr);

} // namespace platform
