#pragma once

#include <QByteArray>
#include <QString>

// What the fuzz targets check on every input, shared with the test that replays the inputs they found.
// Each returns "" when the input passed, else what went wrong. Neither touches the disk.

namespace testsupport
{

/// Reads the address from the input as a shortcut file's bytes in each text encoding, writes a new one and
/// checks that it reads back, that writing it again changes nothing, and that the text and byte readers
/// agree on text that is valid UTF-8.
QString checkProfileStringInput(const QByteArray& input);

/// Reads the input as a results file and checks every line: six fields at most, no line break inside a
/// field, and that each favorite finds the first line that names it, with its four checks as written.
QString checkResultsInput(const QByteArray& input);

} // namespace testsupport
