// Renders the program's SVG icon as PNG files of the hicolor theme sizes: render-icon SVG OUTDIR SIZE...
// writes OUTDIR/SIZExSIZE.png for each size.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4)
        return 2;
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        QImageReader reader(QString::fromLocal8Bit(argv[1]));
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (image.isNull() ||
            !image.save(QStringLiteral("%1/%2x%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(size)))
            return 1;
    }
    return 0;
}
