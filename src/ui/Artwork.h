#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRgb>
#include <QVector>

// All pictures of the program, drawn with QPainter when asked for; nothing is read from files.
// Functions taking a device pixel ratio draw at that ratio (the pixmap's devicePixelRatio() is set), so the
// logical size stays the same and the picture stays sharp on high-density screens.
namespace ui
{

/// The toolbar's pictures, 32 x 32 pixels each, numbered by their places in the program's picture strip.
inline constexpr int ToolbarCellSize = 32;

/// The pictures the toolbar commands use.
enum ToolbarCell : int
{
    RestoreCell = 0,       // folder with a back arrow
    BackupCell = 1,        // folder with a forward arrow
    DeleteInvalidCell = 2, // bin with a red cross
    ExitCell = 4,          // power button
    StartCell = 5,         // green play button
    StopCell = 12,         // red square
    AboutCell = 13,        // "i" in a blue circle
    SaveCell = 15,         // floppy disk
};

/// The dial pictures: twelve steps of a turning dial, 20 x 20 pixels on the window's green.
inline constexpr int DialPictureCount = 12;
inline constexpr int DialPictureSize = 20;
/// The dial picture shown by an idle channel (mark at twelve o'clock).
inline constexpr int IdleDialPicture = 1;
/// Background of the dial pictures: the main window's light green.
inline constexpr QRgb DialBackground = 0xFF80FF80;

/// Size of the verdict pictures (tick and cross).
inline constexpr int VerdictPictureSize = 12;

/// Size of the about box picture.
inline constexpr int AboutPictureWidth = 300;
inline constexpr int AboutPictureHeight = 95;

/// One command's picture, 32 x 32 logical pixels on a transparent background, in colour or as its grey-scale
/// rendering; a null pixmap for a cell no command uses.
QPixmap toolbarCell(int cell, bool colour, qreal devicePixelRatio = 1.0);

/// Toolbar button icon of a cell: Normal mode the grey cell, Active mode (pointer over the button) the colour
/// cell, each at 1x and 2x. A null icon for a cell no command uses.
QIcon toolbarIcon(int cell);

/// The twelve dial pictures, indexed 1 to 12 like their holders data1 .. data12: element k has the red mark
/// (k - 1) twelfths of a turn clockwise from twelve o'clock, element 1 being the idle picture. Element 0 is a null
/// pixmap and is not used; the vector has 13 elements.
QVector<QPixmap> dialPictures(qreal devicePixelRatio = 1.0);

/// The "YES" mark: a green tick, 12 x 12, transparent background.
QPixmap yesPicture(qreal devicePixelRatio = 1.0);

/// The "NO" mark: a red cross, 12 x 12, transparent background.
QPixmap noPicture(qreal devicePixelRatio = 1.0);

/// The program icon at 16, 32, 48 and 256 pixels.
QIcon windowIcon();

/// The window icon's picture at one size (side in pixels); a null pixmap for a side below 1.
QPixmap windowIconPixmap(int side);

/// The window icon as the bytes of a Windows .ico file holding one picture per side (1 to 256 pixels), in the
/// order given: 32-bit bitmaps with an alpha channel and a transparency mask, a 256-pixel picture as PNG (as
/// Windows' own icons store it). Empty when a side is outside 1..256 or no side is given.
QByteArray windowIconFile(const QVector<int>& sides);

/// The about box picture, 300 x 95 logical pixels: a globe with links and the name "Tessaly".
QPixmap aboutPicture(qreal devicePixelRatio = 1.0);

} // namespace ui
