#include <QtTest>

#include <cmath>

#include <QBuffer>
#include <QIcon>
#include <QImageReader>
#include <QImage>
#include <QPixmap>

#include "ui/Artwork.h"
#include "ui/ChannelDial.h"

namespace
{

enum class Hue
{
    None,
    Red,
    Green,
    Blue,
    Yellow
};

Hue hueOf(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    if (r > g + 60 && r > b + 60)
        return Hue::Red;
    if (g > r + 40 && g > b + 40)
        return Hue::Green;
    if (b > r + 40 && b > g + 10)
        return Hue::Blue;
    if (r > b + 80 && g > b + 60)
        return Hue::Yellow;
    return Hue::None;
}

// The eight pictures the commands use.
const int kCommandCells[] = {ui::RestoreCell, ui::BackupCell, ui::DeleteInvalidCell, ui::ExitCell,
                             ui::StartCell,   ui::StopCell,   ui::AboutCell,         ui::SaveCell};

// A command's picture as 32-bit pixels with their transparency.
QImage cellImage(int cell, bool colour)
{
    return ui::toolbarCell(cell, colour).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels of each hue among the drawn (at least half covered) pixels of an image.
QMap<Hue, int> hueCounts(const QImage& image)
{
    QMap<Hue, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) >= 128)
                ++counts[hueOf(pixel)];
        }
    }
    return counts;
}

bool isGrey(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            if (qAlpha(p) > 0 && (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)))
                return false;
        }
    return true;
}

bool isRedMark(QRgb p)
{
    return qRed(p) > 170 && qGreen(p) < 90 && qBlue(p) < 90;
}

} // namespace

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    void commandCellsAreDrawnAndDistinct();
    void greyCellIsGreyScaleOfColourCell();
    void commandCellsShowTheirSymbol_data();
    void commandCellsShowTheirSymbol();
    void cellAtDoubleDensity();
    void toolbarIconModes();
    void dialPictures_data();
    void dialPictures();
    void dialPicturesIndexing();
    void dialPictureForStage_data();
    void dialPictureForStage();
    void verdictPictures();
    void windowIconSizes();
    void windowIconFile();
    void aboutPicture();
};

void TestArtwork::commandCellsAreDrawnAndDistinct()
{
    QVector<QImage> cells;
    for (int cell : kCommandCells) {
        const QImage image = cellImage(cell, true);
        QCOMPARE(image.size(), QSize(32, 32));
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                drawn += qAlpha(image.pixel(x, y)) >= 128;
        // A real symbol on a transparent ground: neither empty nor a filled square, the corners clear.
        QVERIFY2(drawn > 150 && drawn < 32 * 32 - 100, qPrintable(QStringLiteral("cell %1: %2").arg(cell).arg(drawn)));
        for (const QPoint& corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
        for (const QImage& other : std::as_const(cells))
            QVERIFY2(image != other, qPrintable(QStringLiteral("cell %1 repeats another").arg(cell)));
        cells.append(image);
    }
    // Only the commands' pictures are drawn.
    QVERIFY(ui::toolbarCell(3, true).isNull());
    QVERIFY(ui::toolbarCell(-1, true).isNull());
    QVERIFY(ui::toolbarCell(16, false).isNull());
}

void TestArtwork::greyCellIsGreyScaleOfColourCell()
{
    for (int cell : kCommandCells) {
        const QImage colour = cellImage(cell, true);
        const QImage grey = cellImage(cell, false);
        QVERIFY(isGrey(grey));
        QVERIFY(!isGrey(colour));
        for (int y = 0; y < colour.height(); ++y) {
            for (int x = 0; x < colour.width(); ++x) {
                const QRgb c = colour.pixel(x, y);
                const QRgb g = grey.pixel(x, y);
                QCOMPARE(qAlpha(g), qAlpha(c));
                if (qAlpha(c) == 255)
                    QVERIFY(qAbs(qRed(g) - qGray(c)) <= 1);
            }
        }
    }
}

void TestArtwork::commandCellsShowTheirSymbol_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<int>("main");    // the hue with the most pixels
    QTest::addColumn<int>("present"); // a second hue that must be there (None: no requirement)
    QTest::addColumn<int>("absent");  // a hue that must not be there (None: no requirement)

    QTest::newRow("restore: folder, blue arrow")
        << int(ui::RestoreCell) << int(Hue::Yellow) << int(Hue::Blue) << int(Hue::Green);
    QTest::newRow("backup: folder, green arrow")
        << int(ui::BackupCell) << int(Hue::Yellow) << int(Hue::Green) << int(Hue::Blue);
    QTest::newRow("delete invalid: red cross")
        << int(ui::DeleteInvalidCell) << int(Hue::None) << int(Hue::Red) << int(Hue::Green);
    QTest::newRow("exit: red power sign") << int(ui::ExitCell) << int(Hue::None) << int(Hue::Red) << int(Hue::Green);
    QTest::newRow("start: green") << int(ui::StartCell) << int(Hue::Green) << int(Hue::None) << int(Hue::Red);
    QTest::newRow("stop: red") << int(ui::StopCell) << int(Hue::Red) << int(Hue::None) << int(Hue::Green);
    QTest::newRow("about: blue") << int(ui::AboutCell) << int(Hue::Blue) << int(Hue::None) << int(Hue::Red);
    QTest::newRow("save: blue disk, white label")
        << int(ui::SaveCell) << int(Hue::None) << int(Hue::Blue) << int(Hue::Green);
}

void TestArtwork::commandCellsShowTheirSymbol()
{
    QFETCH(int, cell);
    QFETCH(int, main);
    QFETCH(int, present);
    QFETCH(int, absent);

    const QMap<Hue, int> counts = hueCounts(cellImage(cell, true));
    Hue top = Hue::None;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(top))
            top = it.key();
    QCOMPARE(int(top), main);
    if (Hue(present) != Hue::None)
        QVERIFY(counts.value(Hue(present)) >= 40);
    if (Hue(absent) != Hue::None)
        QCOMPARE(counts.value(Hue(absent)), 0);
}

void TestArtwork::cellAtDoubleDensity()
{
    const QPixmap cell = ui::toolbarCell(ui::StopCell, true, 2.0);
    QCOMPARE(cell.size(), QSize(64, 64));
    QCOMPARE(cell.devicePixelRatio(), 2.0);
    QCOMPARE(cell.deviceIndependentSize(), QSizeF(32, 32));
}

void TestArtwork::toolbarIconModes()
{
    const QIcon icon = ui::toolbarIcon(ui::StartCell);
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes(QIcon::Normal).contains(QSize(32, 32)));
    QVERIFY(icon.availableSizes(QIcon::Active).contains(QSize(32, 32)));
    QVERIFY(icon.availableSizes(QIcon::Normal).contains(QSize(64, 64)));

    const QImage normal = icon.pixmap(QSize(32, 32), 1.0, QIcon::Normal).toImage();
    const QImage active = icon.pixmap(QSize(32, 32), 1.0, QIcon::Active).toImage();
    QCOMPARE(normal.size(), QSize(32, 32));
    QVERIFY(isGrey(normal));
    QVERIFY(!isGrey(active));
    const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
    QCOMPARE(normal.convertToFormat(premultiplied),
             ui::toolbarCell(ui::StartCell, false).toImage().convertToFormat(premultiplied));
    QCOMPARE(active.convertToFormat(premultiplied),
             ui::toolbarCell(ui::StartCell, true).toImage().convertToFormat(premultiplied));

    const QImage sharp = icon.pixmap(QSize(32, 32), 2.0, QIcon::Active).toImage();
    QCOMPARE(sharp.size(), QSize(64, 64));

    QVERIFY(ui::toolbarIcon(3).isNull());
    QVERIFY(ui::toolbarIcon(-1).isNull());
}

void TestArtwork::dialPictures_data()
{
    QTest::addColumn<int>("picture");
    for (int k = 1; k <= ui::DialPictureCount; ++k)
        QTest::addRow("data%d", k) << k;
}

void TestArtwork::dialPictures()
{
    QFETCH(int, picture);

    const QVector<QPixmap> pictures = ui::dialPictures();
    const QImage image = pictures.at(picture).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(20, 20));
    for (const QPoint& corner : {QPoint(0, 0), QPoint(19, 0), QPoint(0, 19), QPoint(19, 19)})
        QCOMPARE(image.pixel(corner), ui::DialBackground);

    // The red mark's centre lies (picture - 1) twelfths of a turn clockwise from twelve o'clock, on the rim.
    double sumX = 0, sumY = 0;
    int count = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (isRedMark(image.pixel(x, y))) {
                sumX += x + 0.5;
                sumY += y + 0.5;
                ++count;
            }
    QVERIFY(count >= 6);
    const double dx = sumX / count - 10.0;
    const double dy = sumY / count - 10.0;
    QVERIFY(std::hypot(dx, dy) > 4.0);
    double clockwise = std::atan2(dx, -dy) * 180.0 / M_PI;
    if (clockwise < 0)
        clockwise += 360.0;
    double expected = (picture - 1) * 30.0;
    double error = std::fabs(clockwise - expected);
    error = std::min(error, 360.0 - error);
    QVERIFY2(error < 8.0, qPrintable(QStringLiteral("mark at %1 degrees").arg(clockwise)));

    // The ball is green and fills the middle.
    QCOMPARE(hueOf(image.pixel(10, 10)), Hue::Green);
}

void TestArtwork::dialPicturesIndexing()
{
    const QVector<QPixmap> pictures = ui::dialPictures();
    QCOMPARE(pictures.size(), 13);
    QVERIFY(pictures.at(0).isNull());
    for (int k = 1; k <= 12; ++k)
        for (int other = k + 1; other <= 12; ++other)
            QVERIFY(pictures.at(k).toImage() != pictures.at(other).toImage());

    const QVector<QPixmap> sharp = ui::dialPictures(2.0);
    QCOMPARE(sharp.size(), 13);
    QCOMPARE(sharp.at(ui::IdleDialPicture).size(), QSize(40, 40));
    QCOMPARE(sharp.at(ui::IdleDialPicture).deviceIndependentSize(), QSizeF(20, 20));
}

void TestArtwork::dialPictureForStage_data()
{
    using Stage = checker::TransferChannel::Stage;
    QTest::addColumn<Stage>("stage");
    QTest::addColumn<int>("picture");
    QTest::newRow("resolving") << Stage::Resolving << 3;
    QTest::newRow("connecting") << Stage::Connecting << 5;
    QTest::newRow("sending") << Stage::Sending << 7;
    QTest::newRow("waiting") << Stage::Waiting << 8;
    QTest::newRow("receiving") << Stage::Receiving << 10;
    QTest::newRow("closing") << Stage::Closing << 12;
}

void TestArtwork::dialPictureForStage()
{
    // A request's stages turn the dial forwards, never to the idle picture; its end shows idle.
    using Stage = checker::TransferChannel::Stage;
    QFETCH(Stage, stage);
    QFETCH(int, picture);
    QCOMPARE(ui::dialPicture(stage), picture);
    if (stage != Stage::Resolving)
        QVERIFY(ui::dialPicture(Stage(int(stage) - 1)) < picture);
    QVERIFY(picture > ui::IdleDialPicture && picture <= ui::DialPictureCount);
    QCOMPARE(ui::dialPicture(std::nullopt), ui::IdleDialPicture);
}

void TestArtwork::verdictPictures()
{
    const QImage yes = ui::yesPicture().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage no = ui::noPicture().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(yes.size(), QSize(12, 12));
    QCOMPARE(no.size(), QSize(12, 12));
    QCOMPARE(qAlpha(yes.pixel(0, 11)), 0);
    QCOMPARE(qAlpha(no.pixel(6, 0)), 0);

    auto count = [](const QImage& image, Hue hue) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += qAlpha(image.pixel(x, y)) >= 128 && hueOf(image.pixel(x, y)) == hue;
        return n;
    };
    QVERIFY(count(yes, Hue::Green) >= 12);
    QCOMPARE(count(yes, Hue::Red), 0);
    QVERIFY(count(no, Hue::Red) >= 12);
    QCOMPARE(count(no, Hue::Green), 0);
    // The cross crosses in the middle; the tick leaves the middle of its top edge empty.
    QVERIFY(qAlpha(no.pixel(6, 6)) >= 128 || qAlpha(no.pixel(5, 5)) >= 128);
    QCOMPARE(qAlpha(yes.pixel(1, 1)), 0);

    QCOMPARE(ui::yesPicture(2.0).size(), QSize(24, 24));
}

void TestArtwork::windowIconSizes()
{
    const QIcon icon = ui::windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 32, 48, 256}) {
        QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
        const QImage image = ui::windowIconPixmap(side).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(side, side));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(side / 2, side / 2)), 255);
    }
    QVERIFY(ui::windowIconPixmap(0).isNull());
}

void TestArtwork::windowIconFile()
{
    const QVector<int> sides{16, 32, 48, 256};
    const QByteArray ico = ui::windowIconFile(sides);
    // The directory: an icon (type 1) of four pictures; 256 is written as 0, and that picture is a PNG.
    QVERIFY(ico.size() > 6 + 4 * 16);
    QCOMPARE(ico.left(6), QByteArray("\0\0\1\0\4\0", 6));
    const auto le32 = [&ico](int at) {
        return quint32(quint8(ico[at])) | quint32(quint8(ico[at + 1])) << 8 | quint32(quint8(ico[at + 2])) << 16 |
               quint32(quint8(ico[at + 3])) << 24;
    };
    quint32 expectedOffset = 6 + 4 * 16;
    for (int i = 0; i < 4; ++i) {
        const int entry = 6 + 16 * i;
        QCOMPARE(quint8(ico[entry]), quint8(sides[i] % 256));
        QCOMPARE(le32(entry + 12), expectedOffset); // pictures follow each other without gaps
        expectedOffset += le32(entry + 8);
    }
    QCOMPARE(expectedOffset, quint32(ico.size()));
    QCOMPARE(ico.mid(int(le32(6 + 3 * 16 + 12)), 8), QByteArray("\x89PNG\r\n\x1a\n"));

    // Read back by Qt's own .ico reader, every picture is the drawing, pixel for pixel, alpha included.
    QBuffer buffer;
    buffer.setData(ico);
    QImageReader reader(&buffer, "ico");
    QCOMPARE(reader.imageCount(), 4);
    QSet<int> seen;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage read = reader.read().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!read.isNull(), qPrintable(reader.errorString()));
        const int side = read.width();
        seen.insert(side);
        QCOMPARE(read.size(), QSize(side, side));
        const QImage drawn = ui::windowIconPixmap(side).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                QVERIFY2(drawn.pixel(x, y) == read.pixel(x, y) ||
                             (qAlpha(drawn.pixel(x, y)) == 0 && qAlpha(read.pixel(x, y)) == 0),
                         qPrintable(QStringLiteral("side %1 at %2,%3").arg(side).arg(x).arg(y)));
    }
    QCOMPARE(seen, QSet<int>({16, 32, 48, 256}));

    // The mask of the 16-pixel picture: its last row (the top of the picture) marks the transparent corner.
    const quint32 small = le32(6 + 12);
    const int maskTopRow = int(small) + 40 + 16 * 16 * 4 + 15 * 4;
    QVERIFY(quint8(ico[maskTopRow]) & 0x80);

    QVERIFY(ui::windowIconFile({}).isEmpty());
    QVERIFY(ui::windowIconFile({16, 257}).isEmpty());
    QVERIFY(ui::windowIconFile({0}).isEmpty());
}

void TestArtwork::aboutPicture()
{
    const QPixmap pixmap = ui::aboutPicture();
    QCOMPARE(pixmap.size(), QSize(300, 95));
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QCOMPARE(qAlpha(image.pixel(x, y)), 255);
            colours.insert(image.pixel(x, y));
        }
    QVERIFY(colours.size() > 200);

    const QPixmap sharp = ui::aboutPicture(2.0);
    QCOMPARE(sharp.size(), QSize(600, 190));
    QCOMPARE(sharp.deviceIndependentSize(), QSizeF(300, 95));
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
