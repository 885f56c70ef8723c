// Writes the program icon, from the same drawing as the window icon, as PNG files for the hicolor icon theme or as
// the Windows icon file that tessaly.exe carries as its icon resource.
// Usage: tessaly_icons OUTPUT_FOLDER NAME SIDE...   writes OUTPUT_FOLDER/<side>x<side>/apps/NAME.png for each side
//        tessaly_icons --ico FILE SIDE...           writes one .ico file holding every side
// Run at build time; exits non-zero when a file cannot be written.

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include "ui/Artwork.h"

int main(int argc, char* argv[])
{
    // Drawing into a pixmap needs a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: tessaly_icons OUTPUT_FOLDER NAME SIDE... | --ico FILE SIDE...\n");
        return 2;
    }
    if (args.at(1) == QLatin1String("--ico")) {
        QVector<int> sides;
        for (int i = 3; i < args.size(); ++i)
            sides.append(args.at(i).toInt());
        const QByteArray ico = ui::windowIconFile(sides);
        QFile file(args.at(2));
        if (ico.isEmpty()) {
            std::fprintf(stderr, "tessaly_icons: bad icon sizes\n");
            return 1;
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size() || !file.flush()) {
            std::fprintf(stderr, "tessaly_icons: cannot write %s\n", qPrintable(args.at(2)));
            return 1;
        }
        return 0;
    }
    const QDir output(args.at(1));
    const QString name = args.at(2);
    for (int i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int side = args.at(i).toInt(&ok);
        const QPixmap picture = ok ? ui::windowIconPixmap(side) : QPixmap();
        if (picture.isNull()) {
            std::fprintf(stderr, "tessaly_icons: bad icon size '%s'\n", qPrintable(args.at(i)));
            return 1;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(side);
        const QString file = output.filePath(folder + QLatin1Char('/') + name + QLatin1String(".png"));
        if (!output.mkpath(folder) || !picture.toImage().save(file, "PNG")) {
            std::fprintf(stderr, "tessaly_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
