#include <set>

#include <QtTest>

#include "support/WindowFixture.h"
#include "ui/FormLayout.h"

using testsupport::layoutFaults;
using testsupport::WindowParts;
using ui::computeFormLayout;
using ui::FormLayout;

namespace
{

// The window's parts for a client area of this size (twips): the computed layout, and the toolbar and the status bar
// across the top and the bottom, where the window puts them.
WindowParts partsFor(int width, int height, int channels)
{
    const FormLayout layout = computeFormLayout(width, height, false, channels);
    WindowParts parts;
    parts.client = QRect(0, 0, width, height);
    parts.toolbar = QRect(0, 0, width, ui::ToolbarHeightTwips);
    parts.grid = layout.grid;
    parts.busyNotice = layout.frame;
    parts.dials = layout.indicators;
    parts.statusBar = QRect(0, height - ui::StatusBarHeightTwips, width, ui::StatusBarHeightTwips);
    return parts;
}

} // namespace

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void partsStandApartAndFillTheWindow_data();
    void partsStandApartAndFillTheWindow();
    void minimizedCollapsesEverything();
    void restoreLaysOutAgain();
    void tooSmallClientArea_data();
    void tooSmallClientArea();
    void pixelConversion();
};

void TestFormLayout::partsStandApartAndFillTheWindow_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("channels");

    // Widths around whole numbers of dials per row (one, two, ten, the first window's 32 and 33), rows that end
    // exactly full or with one dial more, and client areas from the lowest one the window allows to tall ones; odd
    // sizes put the busy notice's centre on half twips.
    for (int width : {380, 759, 760, 3999, 12165, 12539, 12540, 30000}) {
        const int lowest = ui::minimumClientHeightTwips(width, 40);
        for (int height : std::set<int>{lowest, lowest + 7, std::max(lowest + 1, 8401), std::max(lowest + 2, 20000)}) {
            for (int channels : {0, 1, 7, 10, 32, 33, 40})
                QTest::addRow("%d x %d, %d channels", width, height, channels) << width << height << channels;
        }
    }
}

// Whatever the size and the channel count: the grid fills the width and the height the toolbar, the rows of dials
// and the status bar leave; the dials stand in rows under it, each row as full as the width allows; the busy notice
// stays centred over the grid.
void TestFormLayout::partsStandApartAndFillTheWindow()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, channels);

    const WindowParts parts = partsFor(width, height, channels);
    QCOMPARE(parts.dials.size(), channels);
    const QStringList faults = layoutFaults(parts, 0);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

void TestFormLayout::minimizedCollapsesEverything()
{
    for (int channels : {1, 7, 40}) {
        const FormLayout layout = computeFormLayout(12165, 8400, true, channels);
        QCOMPARE(layout.grid, QRect(0, 0, 0, 0));
        QCOMPARE(layout.frame, QRectF(0, 0, 0, 0));
        QCOMPARE(layout.indicators.size(), channels);
        for (const QRect& indicator : layout.indicators)
            QCOMPARE(indicator, QRect(0, 0, 0, 0));
    }
    // A minimized window reports a tiny or empty client area; that changes nothing.
    const FormLayout empty = computeFormLayout(0, 0, true, 3);
    QCOMPARE(empty.grid, QRect(0, 0, 0, 0));
    QCOMPARE(empty.indicators.size(), 3);
}

void TestFormLayout::restoreLaysOutAgain()
{
    const FormLayout before = computeFormLayout(12165, 8400, false, 40);
    const FormLayout minimized = computeFormLayout(12165, 8400, true, 40);
    QVERIFY(minimized.grid != before.grid);
    const FormLayout restored = computeFormLayout(12165, 8400, false, 40);
    QCOMPARE(restored.grid, before.grid);
    QCOMPARE(restored.frame, before.frame);
    QCOMPARE(restored.indicators, before.indicators);
}

void TestFormLayout::tooSmallClientArea_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("channels");

    QTest::newRow("empty, one channel") << 0 << 0 << 1;
    QTest::newRow("empty, forty channels") << 0 << 0 << 40;
    QTest::newRow("narrower than one dial") << 300 << 8400 << 40;
    QTest::newRow("narrower than one pitch") << 379 << 8400 << 40;
    QTest::newRow("one pixel") << 15 << 15 << 2;
    QTest::newRow("too low for the rows") << 12165 << 1200 << 40;
    QTest::newRow("too low for toolbar and status bar") << 12165 << 900 << 1;
    QTest::newRow("negative size") << -30 << -45 << 3;
}

// Below the least size the window allows, nothing gets a negative size, the grid keeps its place under the toolbar
// and every dial stays reachable: all alike, apart, in channel order in rows from the left edge.
void TestFormLayout::tooSmallClientArea()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, channels);

    const WindowParts parts = partsFor(width, height, channels);
    QVERIFY(parts.grid.width() >= 0 && parts.grid.height() >= 0);
    QCOMPARE(parts.grid.top(), ui::ToolbarHeightTwips);
    QVERIFY(parts.busyNotice.width() > 0 && parts.busyNotice.height() > 0);
    QCOMPARE(parts.dials.size(), channels);
    for (int i = 0; i < channels; ++i) {
        const QRect& dial = parts.dials.at(i);
        QCOMPARE(dial.size(), parts.dials.first().size());
        QVERIFY(!dial.isEmpty() && dial.left() >= 0 && dial.top() > parts.grid.bottom());
        if (i == 0)
            continue;
        const QRect& previous = parts.dials.at(i - 1);
        QVERIFY(!dial.intersects(previous));
        // Right of the one before on its row, or first in a lower row; a row holds one dial when no two fit.
        if (dial.top() == previous.top())
            QVERIFY(dial.left() > previous.right() && std::max(width, 0) >= 2 * dial.width());
        else
            QVERIFY(dial.left() == 0 && dial.top() > previous.bottom());
    }
}

// Twips to pixels: the nearest pixel, so that what is equal in twips is equal on the screen.
void TestFormLayout::pixelConversion()
{
    for (int pixels = -50; pixels <= 3000; ++pixels)
        QCOMPARE(ui::twipsToPixels(ui::pixelsToTwips(pixels)), pixels);
    for (int twips = -400; twips <= 400; ++twips) {
        QVERIFY(qAbs(ui::twipsToPixels(twips) * ui::TwipsPerPixel - twips) * 2 <= ui::TwipsPerPixel);
        const int ceiling = ui::ceilTwipsToPixels(twips);
        QVERIFY(ceiling * ui::TwipsPerPixel >= twips && (ceiling - 1) * ui::TwipsPerPixel < twips);
    }
    // A half pixel goes away from zero, either way.
    QCOMPARE(ui::twipsToPixels(7.5), 1);
    QCOMPARE(ui::twipsToPixels(-7.5), -1);
    // Every dial has the same size in pixels wherever it stands, and the busy notice's half twips round alike.
    const FormLayout layout = computeFormLayout(30000, 20000, false, 40);
    for (const QRect& indicator : layout.indicators)
        QCOMPARE(ui::twipsToPixels(indicator).size(), ui::twipsToPixels(layout.indicators.first()).size());
    QCOMPARE(ui::twipsToPixels(QRectF(7.5, 7.5, 15, 15)), QRect(1, 1, 1, 1));
}

QTEST_APPLESS_MAIN(TestFormLayout)
#include "tst_formlayout.moc"
