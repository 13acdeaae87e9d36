// Draws the program's icons as 32 x 32 PNG files in 16-colour style: the program icon and the
// four tool icons, each tool once on grey (normal) and once on white (selected).
// Build and run it with res/draw-icons; the PNGs it writes are committed under res/icons/.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

// The classic 16-colour palette, the only colours the drawings use.
const QColor Black(0, 0, 0);
const QColor DarkGrey(128, 128, 128);
const QColor Grey(192, 192, 192);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);
const QColor DarkRed(128, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor DarkYellow(128, 128, 0);
const QColor Blue(0, 0, 255);
const QColor DarkBlue(0, 0, 128);
const QColor Cyan(0, 255, 255);
const QColor Green(0, 255, 0);
const QColor Magenta(255, 0, 255);
const QColor DarkMagenta(128, 0, 128);

void Shape(QPainter& p, const QPolygon& poly, const QColor& fill) {
    p.setPen(Black);
    p.setBrush(fill);
    p.drawPolygon(poly);
}

// The tool buttons are smaller than the icons and show their middle, about x 4 ... 27 and
// y 6 ... 25, so the tool drawings stay inside that area.

// A pencil lying from the lower left (its point) to the upper right.
void DrawPencil(QPainter& p) {
    Shape(p, QPolygon({{11, 20}, {21, 10}, {24, 13}, {14, 23}}), Yellow);   // body
    Shape(p, QPolygon({{21, 10}, {23, 8}, {26, 11}, {24, 13}}), Magenta);   // rubber end
    Shape(p, QPolygon({{11, 20}, {14, 23}, {7, 25}, {7, 25}}), DarkYellow); // sharpened wood
    p.setPen(Black);
    p.drawLine(7, 25, 9, 23); // lead
    p.drawLine(7, 24, 8, 25);
    p.setPen(DarkYellow);
    p.drawLine(13, 21, 22, 12); // edge between the faces
}

// A block eraser seen from above, tilted.
void DrawEraser(QPainter& p) {
    Shape(p, QPolygon({{5, 19}, {15, 9}, {26, 9}, {16, 19}}), White);      // top face
    Shape(p, QPolygon({{5, 19}, {16, 19}, {16, 24}, {5, 24}}), Cyan);      // front face
    Shape(p, QPolygon({{16, 19}, {26, 9}, {26, 14}, {16, 24}}), DarkBlue); // side face
    p.setPen(Blue);
    p.drawLine(9, 15, 20, 15); // band across the sleeve
}

// A tipped paint bucket pouring paint.
void DrawBucket(QPainter& p) {
    p.setPen(Black);
    p.setBrush(Qt::NoBrush);
    p.drawArc(13, 6, 13, 12, 0 * 16, 180 * 16);                            // handle
    Shape(p, QPolygon({{10, 14}, {18, 8}, {26, 16}, {18, 23}}), DarkGrey); // bucket side
    Shape(p, QPolygon({{10, 14}, {13, 11}, {21, 19}, {18, 23}}), White);   // opening
    Shape(p, QPolygon({{10, 14}, {6, 17}, {6, 24}, {8, 24}, {9, 19}, {12, 16}}), Blue); // paint
}

// The gradient: a framed strip running from the nearest depth colour to the base, with the drag
// arrow across it.
void DrawGradient(QPainter& p) {
    const QColor bands[] = {Red, Yellow, Green, Cyan, Blue, DarkMagenta};
    for (int i = 0; i < 6; ++i)
        p.fillRect(6 + i * 3, 9, 3, 14, bands[i]);
    p.setPen(Black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(5, 8, 19, 15);
    p.setPen(White);
    p.drawLine(8, 16, 21, 16); // the drag, from its start to the arrow head
    p.drawLine(21, 16, 18, 13);
    p.drawLine(21, 16, 18, 19);
    p.setPen(Black);
    p.drawPoint(8, 16);
}

// The program icon: a framed picture whose lower half turns into the depth colours.
void DrawProgram(QPainter& p) {
    p.setPen(Black);
    p.setBrush(White);
    p.drawRect(2, 4, 27, 23);
    const QColor bands[] = {Red, QColor(255, 128, 0), Yellow, Green, Cyan, Blue, DarkMagenta};
    for (int i = 0; i < 7; ++i)
        p.fillRect(3 + i * 26 / 7, 16, 26 / 7 + 1, 11, bands[i]);
    p.fillRect(3, 5, 26, 11, Cyan);                                             // sky
    Shape(p, QPolygon({{4, 15}, {12, 7}, {18, 13}, {22, 9}, {28, 15}}), Green); // hills
    p.setPen(Yellow);
    p.setBrush(Yellow);
    p.drawEllipse(22, 6, 3, 3); // sun
    p.setPen(Black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(2, 4, 27, 23);
}

bool Write(const QString& path, const QColor& background,
           const std::function<void(QPainter&)>& draw) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(background);
    QPainter p(&image);
    draw(p);
    p.end();
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res/icons");
    bool ok = Write(dir + "/128-program.png", Qt::transparent, DrawProgram);
    ok = Write(dir + "/130-pencil.png", Grey, DrawPencil) && ok;
    ok = Write(dir + "/132-pencil-selected.png", White, DrawPencil) && ok;
    ok = Write(dir + "/131-eraser.png", Grey, DrawEraser) && ok;
    ok = Write(dir + "/133-eraser-selected.png", White, DrawEraser) && ok;
    ok = Write(dir + "/136-bucket.png", Grey, DrawBucket) && ok;
    ok = Write(dir + "/137-bucket-selected.png", White, DrawBucket) && ok;
    ok = Write(dir + "/138-gradient.png", Grey, DrawGradient) && ok;
    ok = Write(dir + "/139-gradient-selected.png", White, DrawGradient) && ok;
    return ok ? 0 : 1;
}
