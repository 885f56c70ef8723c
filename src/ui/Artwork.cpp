#include "ui/Artwork.h"

#include <cmath>
#include <functional>

#include <QBuffer>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "ui/Fonts.h"

namespace ui
{

namespace
{

constexpr qreal Pi = 3.14159265358979323846;

using DrawFunction = std::function<void(QPainter&)>;

// Draws in logical coordinates on a transparent (or filled) canvas of logical size times the ratio.
QImage render(const QSize& logicalSize, qreal devicePixelRatio, const QColor& background, const DrawFunction& draw)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize deviceSize(qRound(logicalSize.width() * ratio), qRound(logicalSize.height() * ratio));
    QImage image(deviceSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(ratio, ratio);
        draw(painter);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

QPixmap toPixmap(const QImage& image)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(image.devicePixelRatio());
    return pixmap;
}

// Grey-scale rendering that keeps each pixel's transparency.
QImage greyed(const QImage& source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    image.setDevicePixelRatio(source.devicePixelRatio());
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void outlined(QPainter& p, const QPainterPath& path, const QBrush& fill, const QColor& line, qreal width = 1.0)
{
    p.setPen(QPen(line, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(path);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

// A lit ball: light spot up and to the left, darker towards the rim.
QRadialGradient ball(const QPointF& centre, qreal radius, const QColor& light, const QColor& mid, const QColor& dark)
{
    QRadialGradient gradient(centre, radius, centre - QPointF(radius * 0.35, radius * 0.4));
    gradient.setColorAt(0, light);
    gradient.setColorAt(0.55, mid);
    gradient.setColorAt(1, dark);
    return gradient;
}

QPainterPath circle(const QPointF& centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A stroke drawn twice, a wide light halo first, so it stands out on any picture below it.
void haloStroke(QPainter& p, const QPainterPath& path, const QColor& colour, qreal width)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 230), width + 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

// A filled arrow head with its tip at tip, pointing along direction (need not be normalised).
QPainterPath arrowHead(const QPointF& tip, QPointF direction, qreal length, qreal halfWidth)
{
    const qreal norm = std::hypot(direction.x(), direction.y());
    direction /= norm;
    const QPointF normal(-direction.y(), direction.x());
    const QPointF base = tip - direction * length;
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(base + normal * halfWidth);
    path.lineTo(base - normal * halfWidth);
    path.closeSubpath();
    return path;
}

void arrow(QPainter& p, const QPainterPath& shaft, const QPainterPath& head, const QColor& colour)
{
    // Halo of shaft and head together, then the arrow itself.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 230), 5.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(shaft);
    p.setPen(QPen(QColor(255, 255, 255, 230), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawPath(head);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 3.0, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(shaft);
    p.setPen(QPen(colour, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPath(head);
}

// ---- toolbar cells, each in a 32 x 32 box ----

void drawFolder(QPainter& p)
{
    QPainterPath back;
    back.moveTo(3.5, 8.5);
    back.lineTo(11.5, 8.5);
    back.lineTo(13.5, 10.5);
    back.lineTo(28.5, 10.5);
    back.lineTo(28.5, 26.5);
    back.lineTo(3.5, 26.5);
    back.closeSubpath();
    outlined(p, back, vertical(8, 27, QColor(0xF5, 0xC8, 0x42), QColor(0xC8, 0x8C, 0x10)), QColor(0x7A, 0x55, 0x08));

    QPainterPath front;
    front.moveTo(3.5, 26.5);
    front.lineTo(5.5, 13.5);
    front.lineTo(30.5, 13.5);
    front.lineTo(28.5, 26.5);
    front.closeSubpath();
    outlined(p, front, vertical(13, 27, QColor(0xFF, 0xEC, 0x9A), QColor(0xF0, 0xB8, 0x28)), QColor(0x7A, 0x55, 0x08));
}

void drawRestore(QPainter& p)
{
    drawFolder(p);
    QPainterPath shaft;
    shaft.moveTo(24.5, 24.5);
    shaft.cubicTo(24.5, 18.5, 21.0, 16.5, 15.0, 16.5);
    arrow(p, shaft, arrowHead(QPointF(8.5, 16.5), QPointF(-1, 0), 7.0, 4.8), QColor(0x1E, 0x5F, 0xD0));
}

void drawBackup(QPainter& p)
{
    drawFolder(p);
    QPainterPath shaft;
    shaft.moveTo(8.5, 24.5);
    shaft.cubicTo(8.5, 18.5, 12.0, 16.5, 18.0, 16.5);
    arrow(p, shaft, arrowHead(QPointF(25.5, 16.5), QPointF(1, 0), 7.0, 4.8), QColor(0x1E, 0x9A, 0x32));
}

void drawDeleteInvalid(QPainter& p)
{
    const QColor line(0x45, 0x50, 0x5C);
    QPainterPath handle;
    handle.addRoundedRect(QRectF(12.5, 3.5, 7, 3), 1, 1);
    outlined(p, handle, QColor(0xB8, 0xC2, 0xCC), line);
    QPainterPath lid;
    lid.addRoundedRect(QRectF(6.5, 6.5, 19, 3.5), 1.2, 1.2);
    outlined(p, lid, vertical(6, 10, QColor(0xE4, 0xEA, 0xF0), QColor(0x9A, 0xA6, 0xB2)), line);
    QPainterPath body;
    body.moveTo(8.0, 10.5);
    body.lineTo(24.0, 10.5);
    body.lineTo(22.5, 28.5);
    body.lineTo(9.5, 28.5);
    body.closeSubpath();
    QLinearGradient metal(8, 0, 24, 0);
    metal.setColorAt(0, QColor(0xA8, 0xB4, 0xC0));
    metal.setColorAt(0.4, QColor(0xEE, 0xF2, 0xF6));
    metal.setColorAt(1, QColor(0x86, 0x93, 0xA0));
    outlined(p, body, metal, line);
    p.setPen(QPen(QColor(0x6A, 0x77, 0x84), 1.2, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {12.5, 16.0, 19.5})
        p.drawLine(QPointF(x, 13.0), QPointF(x, 26.0));

    QPainterPath cross;
    cross.moveTo(18.5, 18.5);
    cross.lineTo(28.0, 28.0);
    cross.moveTo(28.0, 18.5);
    cross.lineTo(18.5, 28.0);
    haloStroke(p, cross, QColor(0xD8, 0x18, 0x18), 3.2);
}

void drawExit(QPainter& p)
{
    const QPointF centre(16, 16);
    outlined(p, circle(centre, 13.0),
             ball(centre, 13.0, QColor(0xFF, 0xFF, 0xFF), QColor(0xE2, 0xE5, 0xE9), QColor(0xA8, 0xAE, 0xB6)),
             QColor(0x5C, 0x62, 0x6C));
    QPainterPath glyph;
    const QRectF ring(8.0, 8.5, 16.0, 16.0);
    glyph.arcMoveTo(ring, 125);
    glyph.arcTo(ring, 125, 290);
    glyph.moveTo(16, 6.5);
    glyph.lineTo(16, 15.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(glyph);
}

void drawStart(QPainter& p)
{
    const QPointF centre(16, 16);
    outlined(p, circle(centre, 13.0),
             ball(centre, 13.0, QColor(0xB8, 0xF5, 0xA8), QColor(0x34, 0xB4, 0x34), QColor(0x12, 0x72, 0x12)),
             QColor(0x0C, 0x52, 0x0C));
    QPainterPath play;
    play.moveTo(12.5, 9.0);
    play.lineTo(23.5, 16.0);
    play.lineTo(12.5, 23.0);
    play.closeSubpath();
    outlined(p, play, Qt::white, Qt::white, 1.5);
}

void drawStop(QPainter& p)
{
    QPainterPath square;
    square.addRoundedRect(QRectF(5.5, 5.5, 21, 21), 3.5, 3.5);
    QLinearGradient red(0, 5, 0, 27);
    red.setColorAt(0, QColor(0xFF, 0x84, 0x84));
    red.setColorAt(0.45, QColor(0xE8, 0x1C, 0x1C));
    red.setColorAt(1, QColor(0xA0, 0x00, 0x00));
    outlined(p, square, red, QColor(0x68, 0x00, 0x00));
    QPainterPath gloss;
    gloss.addRoundedRect(QRectF(8, 7.5, 16, 7), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawPath(gloss);
}

void drawAbout(QPainter& p)
{
    const QPointF centre(16, 16);
    outlined(p, circle(centre, 13.0),
             ball(centre, 13.0, QColor(0xA8, 0xD8, 0xFF), QColor(0x2E, 0x7E, 0xE0), QColor(0x12, 0x4A, 0xA0)),
             QColor(0x0A, 0x34, 0x70));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16.0, 9.5), 2.3, 2.3);
    p.drawRoundedRect(QRectF(14.2, 13.0, 3.6, 11.5), 1.4, 1.4);
}

void drawSave(QPainter& p)
{
    QPainterPath body;
    body.moveTo(4.5, 5.5);
    body.quadTo(4.5, 4.5, 5.5, 4.5);
    body.lineTo(24.5, 4.5);
    body.lineTo(27.5, 7.5);
    body.lineTo(27.5, 26.5);
    body.quadTo(27.5, 27.5, 26.5, 27.5);
    body.lineTo(5.5, 27.5);
    body.quadTo(4.5, 27.5, 4.5, 26.5);
    body.closeSubpath();
    outlined(p, body, vertical(4, 28, QColor(0x44, 0x7C, 0xD0), QColor(0x1A, 0x3A, 0x7C)), QColor(0x0C, 0x22, 0x48));
    QPainterPath shutter;
    shutter.addRect(QRectF(10.5, 4.5, 12, 8));
    outlined(p, shutter, vertical(4, 13, QColor(0xF2, 0xF4, 0xF6), QColor(0xA4, 0xAC, 0xB6)), QColor(0x4A, 0x52, 0x5C));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2A, 0x34, 0x40));
    p.drawRect(QRectF(18.0, 6.0, 2.5, 5.0));
    QPainterPath label;
    label.addRoundedRect(QRectF(8.5, 16.5, 15, 11), 1, 1);
    outlined(p, label, QColor(0xFA, 0xFA, 0xF6), QColor(0x6A, 0x72, 0x7C));
    p.setPen(QPen(QColor(0xC0, 0x50, 0x50), 1.0));
    p.drawLine(QPointF(10.5, 19.5), QPointF(21.5, 19.5));
    p.setPen(QPen(QColor(0x90, 0x9C, 0xAC), 1.0));
    p.drawLine(QPointF(10.5, 22.5), QPointF(21.5, 22.5));
    p.drawLine(QPointF(10.5, 25.0), QPointF(21.5, 25.0));
}

using CellPainter = void (*)(QPainter&);

// The painter of a command's cell; none for a cell no command uses.
CellPainter cellPainter(int cell)
{
    switch (cell) {
    case RestoreCell:
        return drawRestore;
    case BackupCell:
        return drawBackup;
    case DeleteInvalidCell:
        return drawDeleteInvalid;
    case ExitCell:
        return drawExit;
    case StartCell:
        return drawStart;
    case StopCell:
        return drawStop;
    case AboutCell:
        return drawAbout;
    case SaveCell:
        return drawSave;
    default:
        return nullptr;
    }
}

// ---- small pictures ----

void drawDial(QPainter& p, int step)
{
    const QPointF centre(10, 10);
    outlined(p, circle(centre, 8.6),
             ball(centre, 8.6, QColor(0xD0, 0xFF, 0xC8), QColor(0x2C, 0xB0, 0x2C), QColor(0x08, 0x6A, 0x08)),
             QColor(0x06, 0x50, 0x06), 0.9);
    // Clockwise from twelve o'clock, one twelfth of a turn per step.
    const qreal angle = step * Pi / 6;
    const QPointF mark = centre + QPointF(std::sin(angle), -std::cos(angle)) * 6.0;
    outlined(p, circle(mark, 2.5), QColor(0xE8, 0x10, 0x10), QColor(0x80, 0x00, 0x00), 0.7);
}

void drawTick(QPainter& p)
{
    QPainterPath tick;
    tick.moveTo(1.8, 6.4);
    tick.lineTo(4.7, 9.6);
    tick.lineTo(10.4, 2.4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x10, 0x96, 0x10), 2.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void drawCross(QPainter& p)
{
    QPainterPath cross;
    cross.moveTo(2.5, 2.5);
    cross.lineTo(9.5, 9.5);
    cross.moveTo(9.5, 2.5);
    cross.lineTo(2.5, 9.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xE0, 0x18, 0x18), 2.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(cross);
}

// The program icon in a 48 x 48 box: a globe with a green tick badge. Small sizes leave the finer lines out.
void drawWindowIcon(QPainter& p, bool detailed)
{
    const QPointF centre(22, 22);
    const qreal radius = 19.5;
    outlined(p, circle(centre, radius),
             ball(centre, radius, QColor(0xD0, 0xEC, 0xFF), QColor(0x3C, 0x8E, 0xE4), QColor(0x14, 0x48, 0x96)),
             QColor(0x0C, 0x30, 0x68), detailed ? 1.5 : 2.5);
    p.save();
    p.setClipPath(circle(centre, radius - 0.8));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 180), detailed ? 1.4 : 2.6));
    p.drawEllipse(centre, radius * 0.45, radius);
    p.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    if (detailed) {
        p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
        p.drawLine(QPointF(4, 12.5), QPointF(40, 12.5));
        p.drawLine(QPointF(4, 31.5), QPointF(40, 31.5));
    }
    p.restore();

    const QPointF badge(36, 36);
    outlined(p, circle(badge, 10.5),
             ball(badge, 10.5, QColor(0xB8, 0xF8, 0xA8), QColor(0x2C, 0xB0, 0x2C), QColor(0x10, 0x70, 0x10)),
             QColor(0x08, 0x4A, 0x08), detailed ? 1.3 : 2.0);
    QPainterPath tick;
    tick.moveTo(31.0, 36.5);
    tick.lineTo(34.8, 40.5);
    tick.lineTo(41.5, 31.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, detailed ? 3.0 : 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void drawAboutPicture(QPainter& p)
{
    const QRectF area(0, 0, AboutPictureWidth, AboutPictureHeight);
    QLinearGradient sky(0, 0, 0, AboutPictureHeight);
    sky.setColorAt(0, QColor(0xFF, 0xF8, 0xEC));
    sky.setColorAt(1, QColor(0xFF, 0xDC, 0xC8));
    p.fillRect(area, sky);

    // A globe wrapped in links: nodes on an orbit, joined to each other; one link is dead.
    const QPointF centre(52, 48);
    const qreal radius = 30;
    outlined(p, circle(centre, radius),
             ball(centre, radius, QColor(0xD8, 0xF0, 0xFF), QColor(0x40, 0x92, 0xE6), QColor(0x16, 0x4C, 0x9C)),
             QColor(0x0E, 0x34, 0x70), 1.5);
    p.save();
    p.setClipPath(circle(centre, radius - 1));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1.2));
    for (qreal w : {0.35, 0.75})
        p.drawEllipse(centre, radius * w, radius);
    p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    for (qreal dy : {-15.0, 0.0, 15.0}) {
        const qreal half = std::sqrt(radius * radius - dy * dy);
        p.drawLine(QPointF(centre.x() - half, centre.y() + dy), QPointF(centre.x() + half, centre.y() + dy));
    }
    p.restore();

    const qreal orbitX = 44, orbitY = 16;
    QVector<QPointF> nodes;
    for (int i = 0; i < 7; ++i) {
        const qreal angle = -0.4 + i * 2 * Pi / 7;
        nodes.append(centre + QPointF(orbitX * std::cos(angle), orbitY * std::sin(angle) - 8 * std::cos(angle)));
    }
    p.setPen(QPen(QColor(0x8A, 0x5A, 0x20, 200), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < nodes.size(); ++i) {
        if (i == 4)
            p.setPen(QPen(QColor(0xC0, 0x20, 0x20, 220), 1.6, Qt::DashLine, Qt::RoundCap));
        else
            p.setPen(QPen(QColor(0x8A, 0x5A, 0x20, 200), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(nodes.at(i), nodes.at((i + 1) % nodes.size()));
    }
    for (int i = 0; i < nodes.size(); ++i) {
        const bool dead = i == 5;
        const QColor light = dead ? QColor(0xFF, 0xB0, 0xB0) : QColor(0xC8, 0xFF, 0xB8);
        const QColor mid = dead ? QColor(0xE0, 0x20, 0x20) : QColor(0x30, 0xB4, 0x30);
        const QColor dark = dead ? QColor(0x90, 0x00, 0x00) : QColor(0x10, 0x70, 0x10);
        outlined(p, circle(nodes.at(i), 4.6), ball(nodes.at(i), 4.6, light, mid, dark), dark.darker(150), 0.9);
    }

    // The name, with a soft shadow, and a line saying what the program is for.
    QFont name;
    name.setFamilies({QStringLiteral("Georgia"), QStringLiteral("DejaVu Serif"), QStringLiteral("Times New Roman"),
                      QStringLiteral("Liberation Serif")});
    name.setStyleHint(QFont::Serif);
    name.setPixelSize(42);
    name.setBold(true);
    name.setItalic(true);
    p.setFont(name);
    const QRectF nameBox(108, 4, 190, 58);
    p.setPen(QColor(0x60, 0x10, 0x10, 90));
    p.drawText(nameBox.translated(2, 2), Qt::AlignCenter, QStringLiteral("Tessaly"));
    p.setPen(QColor(0xB0, 0x14, 0x14));
    p.drawText(nameBox, Qt::AlignCenter, QStringLiteral("Tessaly"));

    p.setPen(QPen(QColor(0xB0, 0x14, 0x14, 160), 1.2));
    p.drawLine(QPointF(128, 62.5), QPointF(278, 62.5));

    QFont motto = songTi(10.5, true);
    motto.setPixelSize(15);
    p.setFont(motto);
    p.setPen(QColor(0x80, 0x30, 0x20));
    p.drawText(QRectF(108, 66, 190, 24), Qt::AlignCenter, QStringLiteral("收藏夹链接检测"));
}

} // namespace

QPixmap toolbarCell(int cell, bool colour, qreal devicePixelRatio)
{
    const CellPainter paint = cellPainter(cell);
    if (!paint)
        return QPixmap();
    const QImage image =
        render(QSize(ToolbarCellSize, ToolbarCellSize), devicePixelRatio, Qt::transparent, [paint](QPainter& p) {
            // Keeps a stroke inside its cell.
            p.setClipRect(QRectF(0, 0, ToolbarCellSize, ToolbarCellSize));
            paint(p);
        });
    return toPixmap(colour ? image : greyed(image));
}

QIcon toolbarIcon(int cell)
{
    if (!cellPainter(cell))
        return QIcon();
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(toolbarCell(cell, false, ratio), QIcon::Normal);
        icon.addPixmap(toolbarCell(cell, true, ratio), QIcon::Active);
    }
    return icon;
}

QVector<QPixmap> dialPictures(qreal devicePixelRatio)
{
    QVector<QPixmap> pictures(DialPictureCount + 1);
    for (int k = 1; k <= DialPictureCount; ++k) {
        pictures[k] = toPixmap(render(QSize(DialPictureSize, DialPictureSize), devicePixelRatio,
                                      QColor::fromRgb(DialBackground), [k](QPainter& p) { drawDial(p, k - 1); }));
    }
    return pictures;
}

QPixmap yesPicture(qreal devicePixelRatio)
{
    return toPixmap(render(QSize(VerdictPictureSize, VerdictPictureSize), devicePixelRatio, Qt::transparent, drawTick));
}

QPixmap noPicture(qreal devicePixelRatio)
{
    return toPixmap(
        render(QSize(VerdictPictureSize, VerdictPictureSize), devicePixelRatio, Qt::transparent, drawCross));
}

QPixmap windowIconPixmap(int side)
{
    if (side < 1)
        return QPixmap();
    return toPixmap(render(QSize(side, side), 1.0, Qt::transparent, [side](QPainter& p) {
        p.scale(side / 48.0, side / 48.0);
        drawWindowIcon(p, side >= 32);
    }));
}

namespace
{

void appendLe16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void appendLe32(QByteArray& out, quint32 value)
{
    appendLe16(out, int(value & 0xFFFF));
    appendLe16(out, int(value >> 16));
}

// One icon picture as an .ico file stores it: a BITMAPINFOHEADER whose height counts the colour bitmap and the
// mask, the BGRA rows bottom-up, then the 1-bit mask (set where the picture is fully transparent), each mask row
// padded to 32 bits. Sides of 256 pixels go in as PNG, which the bitmap form cannot express in the directory.
QByteArray iconPicture(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int side = image.width();
    if (side >= 256) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }
    const int maskStride = ((side + 31) / 32) * 4;
    QByteArray out;
    appendLe32(out, 40);                // biSize
    appendLe32(out, quint32(side));     // biWidth
    appendLe32(out, quint32(side * 2)); // biHeight: colour bitmap and mask
    appendLe16(out, 1);                 // biPlanes
    appendLe16(out, 32);                // biBitCount
    appendLe32(out, 0);                 // biCompression: BI_RGB
    appendLe32(out, quint32(side * side * 4 + maskStride * side));
    for (int field = 0; field < 4; ++field) // resolution, colours used and important: none
        appendLe32(out, 0);
    for (int y = side - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < side; ++x) {
            out.append(char(qBlue(row[x])));
            out.append(char(qGreen(row[x])));
            out.append(char(qRed(row[x])));
            out.append(char(qAlpha(row[x])));
        }
    }
    for (int y = side - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray mask(maskStride, '\0');
        for (int x = 0; x < side; ++x) {
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = char(mask.at(x / 8) | (0x80 >> (x % 8)));
        }
        out += mask;
    }
    return out;
}

} // namespace

QByteArray windowIconFile(const QVector<int>& sides)
{
    if (sides.isEmpty())
        return QByteArray();
    QVector<QByteArray> pictures;
    for (int side : sides) {
        if (side < 1 || side > 256)
            return QByteArray();
        pictures.append(iconPicture(windowIconPixmap(side).toImage()));
    }
    QByteArray out;
    appendLe16(out, 0); // reserved
    appendLe16(out, 1); // an icon, not a cursor
    appendLe16(out, int(sides.size()));
    quint32 offset = quint32(6 + 16 * sides.size());
    for (int i = 0; i < sides.size(); ++i) {
        const int side = sides.at(i) == 256 ? 0 : sides.at(i); // 0 stands for 256
        out.append(char(side));
        out.append(char(side));
        out.append(char(0)); // no palette
        out.append(char(0)); // reserved
        appendLe16(out, 1);  // planes
        appendLe16(out, 32); // bits per pixel
        appendLe32(out, quint32(pictures.at(i).size()));
        appendLe32(out, offset);
        offset += quint32(pictures.at(i).size());
    }
    for (const QByteArray& picture : pictures)
        out += picture;
    return out;
}

QIcon windowIcon()
{
    QIcon icon;
    for (int side : {16, 32, 48, 256})
        icon.addPixmap(windowIconPixmap(side));
    return icon;
}

QPixmap aboutPicture(qreal devicePixelRatio)
{
    return toPixmap(
        render(QSize(AboutPictureWidth, AboutPictureHeight), devicePixelRatio, Qt::transparent, drawAboutPicture));
}

} // namespace ui
