#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QVector>

namespace ui
{

/// Twips per pixel at 96 dots per inch.
inline constexpr int TwipsPerPixel = 15;

/// Fixed measures of the main window's layout, in twips.
inline constexpr int ToolbarHeightTwips = 600;
inline constexpr int StatusBarHeightTwips = 315;
inline constexpr int IndicatorPitchTwips = 380;
inline constexpr int IndicatorSizeTwips = 320;
inline constexpr int BusyNoticeWidthTwips = 5000;
inline constexpr int BusyNoticeHeightTwips = 800;
/// The least height the grid keeps at the window's minimum size: its header and a few rows.
inline constexpr int GridMinimumHeightTwips = 1200;

/// Where the main window's grid, busy notice and channel indicators go, in twips of the client area.
/// indicators[i] belongs to channel i (0-based, one per channel). frame keeps the half twips of its centring.
struct FormLayout
{
    QRect grid;
    QRectF frame;
    QVector<QRect> indicators;
    int iconsPerRow = 0; // Q; 0 when minimized
    int iconRows = 0;    // R; 0 when minimized
};

/// The layout for a client area of the given size (twips) and channel count. Minimized: every rectangle is
/// (0, 0, 0, 0). A client area narrower than one indicator pitch still gets one indicator per row, and a grid that
/// would have a negative height gets height 0; widths and heights are never negative.
FormLayout computeFormLayout(int clientWidthTwips, int clientHeightTwips, bool minimized, int threadCount);

/// The lowest client area of the given width (twips) in which nothing overlaps with up to `mostChannels` channels:
/// the toolbar, a grid of at least GridMinimumHeightTwips that holds the busy notice, the rows of indicators and
/// the status bar.
int minimumClientHeightTwips(int clientWidthTwips, int mostChannels);

/// Where a window of this size stands centred in `area` (a screen's available geometry); a window larger than the
/// area keeps its top-left corner inside it.
QPoint centredTopLeft(const QSize& size, const QRect& area);

/// Pixels to twips (exact).
int pixelsToTwips(int pixels);

/// Twips to the nearest whole pixel (halves away from zero).
int twipsToPixels(int twips);
int twipsToPixels(double twips);
/// Twips to the least whole number of pixels that holds them.
int ceilTwipsToPixels(int twips);

/// A rectangle in twips as pixels: position and size are rounded separately, so rectangles of the same size in
/// twips get the same size in pixels.
QRect twipsToPixels(const QRect& twips);
QRect twipsToPixels(const QRectF& twips);

} // namespace ui
