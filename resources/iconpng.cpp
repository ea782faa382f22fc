// Build tool: renders the program's SVG icon as square PNG files of the sizes
// given: iconpng ICON.svg OUTDIR SIZE... writes OUTDIR/SIZExSIZE.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    QSvgRenderer svg(args.value(1));
    if (args.size() < 4 || !svg.isValid()) {
        std::fprintf(stderr, "usage: iconpng ICON.svg OUTDIR SIZE...\n");
        return 1;
    }
    QDir().mkpath(args.at(2));
    for (const QString &arg : args.mid(3)) {
        const int size = arg.toInt();
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        if (size <= 0 || !image.save(QDir(args.at(2)).filePath(QStringLiteral("%1x%1.png").arg(size))))
            return 1;
    }
    return 0;
}
