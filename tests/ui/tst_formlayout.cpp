#include <QtTest>

#include "ui/FormLayout.h"

using ui::computeFormLayout;
using ui::FormLayout;

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void initialWindowOneChannel();
    void initialWindowFortyChannels();
    void rowsAndGridHeight_data();
    void rowsAndGridHeight();
    void indicatorsFillRowsLeftToRight_data();
    void indicatorsFillRowsLeftToRight();
    void exactlyFullRowAddsNoRow();
    void wideningSavesARow();
    void minimizedCollapsesEverything();
    void restoreLaysOutAgain();
    void busyNoticeStaysCentred_data();
    void busyNoticeStaysCentred();
    void tooSmallClientArea_data();
    void tooSmallClientArea();
    void pixelConversion();
};

void TestFormLayout::initialWindowOneChannel()
{
    const FormLayout layout = computeFormLayout(12165, 8400, false, 1);
    QCOMPARE(layout.iconsPerRow, 32);
    QCOMPARE(layout.iconRows, 1);
    QCOMPARE(layout.grid, QRect(0, 600, 12165, 8400 - 915 - 380));
    QCOMPARE(layout.indicators.size(), 1);
    const int g = layout.grid.height();
    QCOMPARE(layout.indicators.at(0), QRect(0, g + 650, 320, 320));
    // 50 below the grid's bottom edge, and 10 above the status bar.
    QCOMPARE(layout.indicators.at(0).top() - (layout.grid.y() + layout.grid.height()), 50);
    QCOMPARE(8400 - 315 - (layout.indicators.at(0).y() + 320), 10);
    QCOMPARE(layout.frame, QRectF(3582.5, 3800, 5000, 800));
}

void TestFormLayout::initialWindowFortyChannels()
{
    const FormLayout layout = computeFormLayout(12165, 8400, false, 40);
    QCOMPARE(layout.iconsPerRow, 32);
    QCOMPARE(layout.iconRows, 2);
    const int g = 8400 - 915 - 2 * 380;
    QCOMPARE(layout.grid, QRect(0, 600, 12165, g));
    // The grid is one row of indicators shorter than with one channel.
    QCOMPARE(computeFormLayout(12165, 8400, false, 1).grid.height() - layout.grid.height(), 380);
    QCOMPARE(layout.indicators.size(), 40);
    for (int i = 0; i < 32; ++i)
        QCOMPARE(layout.indicators.at(i), QRect(i * 380, g + 650, 320, 320));
    for (int i = 32; i < 40; ++i)
        QCOMPARE(layout.indicators.at(i), QRect((i - 32) * 380, g + 650 + 380, 320, 320));
    QCOMPARE(8400 - 315 - layout.indicators.last().bottom() - 1, 10);
}

void TestFormLayout::rowsAndGridHeight_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("perRow");
    QTest::addColumn<int>("rows");

    QTest::newRow("one per row exactly") << 380 << 9000 << 3 << 1 << 3;
    QTest::newRow("just under two per row") << 759 << 9000 << 3 << 1 << 3;
    QTest::newRow("two per row") << 760 << 9000 << 3 << 2 << 2;
    QTest::newRow("ten wide, ten channels") << 3800 << 9000 << 10 << 10 << 1;
    QTest::newRow("ten wide, eleven channels") << 3800 << 9000 << 11 << 10 << 2;
    QTest::newRow("ten wide, forty channels") << 3999 << 20000 << 40 << 10 << 4;
    QTest::newRow("wide window") << 30000 << 8400 << 40 << 78 << 1;
    QTest::newRow("no channels") << 12165 << 8400 << 0 << 32 << 0;
}

void TestFormLayout::rowsAndGridHeight()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, channels);
    QFETCH(int, perRow);
    QFETCH(int, rows);

    const FormLayout layout = computeFormLayout(width, height, false, channels);
    QCOMPARE(layout.iconsPerRow, perRow);
    QCOMPARE(layout.iconRows, rows);
    QCOMPARE(layout.grid, QRect(0, 600, width, height - 915 - rows * 380));
    QCOMPARE(layout.indicators.size(), channels);
}

void TestFormLayout::indicatorsFillRowsLeftToRight_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("channels");

    QTest::newRow("one per row") << 500 << 5;
    QTest::newRow("three per row, partial last row") << 1140 << 7;
    QTest::newRow("three per row, full rows") << 1140 << 9;
    QTest::newRow("initial window, forty") << 12165 << 40;
}

void TestFormLayout::indicatorsFillRowsLeftToRight()
{
    QFETCH(int, width);
    QFETCH(int, channels);

    const FormLayout layout = computeFormLayout(width, 20000, false, channels);
    const int q = width / 380;
    const int top = layout.grid.height() + 650;
    QCOMPARE(layout.indicators.size(), channels);
    for (int i = 0; i < channels; ++i) {
        // Channel i (0-based) sits in row i / q and column i % q.
        QCOMPARE(layout.indicators.at(i), QRect((i % q) * 380, top + (i / q) * 380, 320, 320));
    }
    // The last row ends 10 above the status bar.
    QCOMPARE(20000 - 315 - (layout.indicators.last().y() + 320), 10);
}

void TestFormLayout::exactlyFullRowAddsNoRow()
{
    const FormLayout full = computeFormLayout(12165, 8400, false, 32);
    QCOMPARE(full.iconRows, 1);
    QCOMPARE(full.grid.height(), 8400 - 915 - 380);
    QCOMPARE(full.indicators.last(), QRect(31 * 380, full.grid.height() + 650, 320, 320));

    const FormLayout oneMore = computeFormLayout(12165, 8400, false, 33);
    QCOMPARE(oneMore.iconRows, 2);
    QCOMPARE(full.grid.height() - oneMore.grid.height(), 380);
    QCOMPARE(oneMore.indicators.last(), QRect(0, oneMore.grid.height() + 650 + 380, 320, 320));
}

void TestFormLayout::wideningSavesARow()
{
    const FormLayout narrow = computeFormLayout(12539, 8400, false, 33);
    QCOMPARE(narrow.iconsPerRow, 32);
    QCOMPARE(narrow.iconRows, 2);

    const FormLayout wide = computeFormLayout(12540, 8400, false, 33);
    QCOMPARE(wide.iconsPerRow, 33);
    QCOMPARE(wide.iconRows, 1);
    QCOMPARE(wide.grid.height() - narrow.grid.height(), 380);
    QCOMPARE(wide.grid.width(), 12540);
    QCOMPARE(wide.indicators.last(), QRect(32 * 380, wide.grid.height() + 650, 320, 320));
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

void TestFormLayout::busyNoticeStaysCentred_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("initial") << 12165 << 8400;
    QTest::newRow("odd both") << 9001 << 6001;
    QTest::newRow("even both") << 20000 << 15000;
    QTest::newRow("narrower than the notice") << 3000 << 600;
}

void TestFormLayout::busyNoticeStaysCentred()
{
    QFETCH(int, width);
    QFETCH(int, height);

    const FormLayout layout = computeFormLayout(width, height, false, 5);
    QCOMPARE(layout.frame.size(), QSizeF(5000, 800));
    QCOMPARE(layout.frame.center(), QPointF(width / 2.0, height / 2.0));
    QCOMPARE(layout.frame.x(), (width - 5000) / 2.0);
}

void TestFormLayout::tooSmallClientArea_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("channels");

    QTest::newRow("empty, one channel") << 0 << 0 << 1;
    QTest::newRow("empty, forty channels") << 0 << 0 << 40;
    QTest::newRow("narrower than one pitch") << 379 << 8400 << 40;
    QTest::newRow("one pixel") << 15 << 15 << 2;
    QTest::newRow("too low for the rows") << 12165 << 1200 << 40;
    QTest::newRow("too low for toolbar and status bar") << 12165 << 900 << 1;
    QTest::newRow("negative size") << -30 << -45 << 3;
}

void TestFormLayout::tooSmallClientArea()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, channels);

    const FormLayout layout = computeFormLayout(width, height, false, channels);
    QVERIFY(layout.iconsPerRow >= 1);
    QCOMPARE(layout.iconRows, (channels + layout.iconsPerRow - 1) / layout.iconsPerRow);
    QVERIFY(layout.grid.width() >= 0);
    QCOMPARE(layout.grid.height(), 0);
    QCOMPARE(layout.grid.top(), 600);
    QVERIFY(layout.frame.width() > 0 && layout.frame.height() > 0);
    QCOMPARE(layout.indicators.size(), channels);
    for (int i = 0; i < channels; ++i) {
        const QRect& indicator = layout.indicators.at(i);
        QCOMPARE(indicator.size(), QSize(320, 320));
        QVERIFY(indicator.x() >= 0);
        QCOMPARE(indicator.y(), 650 + (i / layout.iconsPerRow) * 380);
    }
    if (width < 380)
        QCOMPARE(layout.iconsPerRow, 1);
}

void TestFormLayout::pixelConversion()
{
    QCOMPARE(ui::pixelsToTwips(811), 12165);
    QCOMPARE(ui::pixelsToTwips(560), 8400);
    QCOMPARE(ui::twipsToPixels(12165), 811);
    QCOMPARE(ui::twipsToPixels(320), 21); // 21.33
    QCOMPARE(ui::twipsToPixels(380), 25); // 25.33
    QCOMPARE(ui::twipsToPixels(7), 0);    // 0.47
    QCOMPARE(ui::twipsToPixels(8), 1);    // 0.53
    QCOMPARE(ui::twipsToPixels(-8), -1);
    QCOMPARE(ui::twipsToPixels(3582.5), 239); // 238.83
    QCOMPARE(ui::twipsToPixels(QRect(0, 600, 12165, 7105)), QRect(0, 40, 811, 474));
    QCOMPARE(ui::twipsToPixels(QRectF(3582.5, 3800, 5000, 800)), QRect(239, 253, 333, 53));
    // Every indicator keeps the same size in pixels whatever its position.
    const FormLayout layout = computeFormLayout(12165, 8400, false, 40);
    for (const QRect& indicator : layout.indicators)
        QCOMPARE(ui::twipsToPixels(indicator).size(), QSize(21, 21));
}

QTEST_APPLESS_MAIN(TestFormLayout)
#include "tst_formlayout.moc"
