// Writes the program icon at the sizes of the freedesktop hicolor theme:
//   icon_sizes ICON.png OUTDIR NAME SIZE...   ->   OUTDIR/SIZExSIZE/apps/NAME.png
// The icon is pixel art: it is enlarged by whole multiples with hard pixel edges, and only the
// last step down to a size that is no multiple is smoothed.

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

QImage AtSize(const QImage& icon, int size) {
    const int side = icon.width();
    const int factor = (size + side - 1) / side; // smallest whole multiple at least as large
    QImage large = factor > 1 ? icon.scaled(side * factor, side * factor, Qt::IgnoreAspectRatio,
                                            Qt::FastTransformation)
                              : icon;
    if (large.width() == size)
        return large;
    return large.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: icon_sizes ICON.png OUTDIR NAME SIZE...\n");
        return 2;
    }
    const QImage icon =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (icon.isNull() || icon.width() != icon.height()) {
        std::fprintf(stderr, "icon_sizes: %s is not a square picture\n", argv[1]);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QString path =
            dir + QLatin1Char('/') + QString::fromLocal8Bit(argv[3]) + QStringLiteral(".png");
        if (size <= 0 || !QDir().mkpath(dir) || !AtSize(icon, size).save(path, "PNG")) {
            std::fprintf(stderr, "icon_sizes: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
