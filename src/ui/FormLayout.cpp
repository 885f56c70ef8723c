#include "ui/FormLayout.h"

#include <algorithm>
#include <cmath>

namespace ui
{

namespace
{

// Whole quotient, plus one when there is a remainder (the rows needed for count items at perRow each).
qint64 rowsFor(qint64 count, qint64 perRow)
{
    return count / perRow + (count % perRow == 0 ? 0 : 1);
}

} // namespace

FormLayout computeFormLayout(int clientWidthTwips, int clientHeightTwips, bool minimized, int threadCount)
{
    FormLayout layout;
    const int n = std::max(threadCount, 0);

    if (minimized) {
        layout.grid = QRect(0, 0, 0, 0);
        layout.frame = QRectF(0, 0, 0, 0);
        layout.indicators.fill(QRect(0, 0, 0, 0), n);
        return layout;
    }

    const qint64 w = std::max(clientWidthTwips, 0);
    const qint64 h = std::max(clientHeightTwips, 0);

    // Narrower than one pitch, no indicator would fit a row; one per row keeps them all reachable.
    const qint64 q = std::max<qint64>(w / IndicatorPitchTwips, 1);
    const qint64 r = rowsFor(n, q);
    // Too low a window would give the grid a negative height; it shrinks to nothing instead.
    const qint64 g = std::max<qint64>(h - (ToolbarHeightTwips + StatusBarHeightTwips) - r * IndicatorPitchTwips, 0);

    layout.iconsPerRow = int(q);
    layout.iconRows = int(r);
    layout.grid = QRect(0, ToolbarHeightTwips, int(w), int(g));
    layout.frame = QRectF((double(w) - BusyNoticeWidthTwips) / 2.0, (double(h) - BusyNoticeHeightTwips) / 2.0,
                          BusyNoticeWidthTwips, BusyNoticeHeightTwips);

    // The first row stands 50 below the grid's bottom edge (600 + G).
    const qint64 top = g + 650;
    layout.indicators.reserve(n);
    for (qint64 i = 1; i <= n; ++i) {
        const qint64 row = rowsFor(i, q);
        const qint64 column = i % q == 0 ? q : i - (row - 1) * q;
        layout.indicators.append(QRect(int((column - 1) * IndicatorPitchTwips),
                                       int(top + (row - 1) * IndicatorPitchTwips), IndicatorSizeTwips,
                                       IndicatorSizeTwips));
    }
    return layout;
}

int minimumClientHeightTwips(int clientWidthTwips, int mostChannels)
{
    const FormLayout layout = computeFormLayout(clientWidthTwips, 0, false, mostChannels);
    const int bars = ToolbarHeightTwips + StatusBarHeightTwips;
    const int indicators = layout.iconRows * IndicatorPitchTwips;
    // The busy notice is centred in the client area: it stays inside the grid when the grid reaches as far below
    // the notice as the toolbar does above it (and the indicators and status bar below do not reach it).
    const int belowGrid = StatusBarHeightTwips + indicators;
    const int holdsNotice = BusyNoticeHeightTwips + 2 * std::max(ToolbarHeightTwips, belowGrid);
    return std::max(bars + indicators + GridMinimumHeightTwips, holdsNotice);
}

QPoint centredTopLeft(const QSize& size, const QRect& area)
{
    const QPoint centred = area.center() - QRect(QPoint(0, 0), size).center();
    return QPoint(std::max(centred.x(), area.left()), std::max(centred.y(), area.top()));
}

int pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

int twipsToPixels(int twips)
{
    return twipsToPixels(double(twips));
}

int twipsToPixels(double twips)
{
    return int(std::lround(twips / TwipsPerPixel));
}

int ceilTwipsToPixels(int twips)
{
    return twips / TwipsPerPixel + (twips % TwipsPerPixel > 0 ? 1 : 0);
}

QRect twipsToPixels(const QRect& twips)
{
    return QRect(twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
                 twipsToPixels(twips.height()));
}

QRect twipsToPixels(const QRectF& twips)
{
    return QRect(twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
                 twipsToPixels(twips.height()));
}

} // namespace ui
