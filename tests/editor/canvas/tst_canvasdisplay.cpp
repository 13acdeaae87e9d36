#include "depth/Painting.h"
#include "editor/canvas/CanvasDisplay.h"
#include "imaging/Imaging.h"

#include <QPainter>
#include <QTest>

using namespace kelvaro;

namespace {

constexpr QRgb kBackground = 0xffd4d0c8;
constexpr QRgb kGrey = 0xff808080;
const QRect kLabel(100, 20, 16, 16); // R = 116, T = 20
constexpr int R = 116, T = 20;

QRgb Argb(DepthLevel level) {
    return ArgbFromColorref(DepthPalette[size_t(level)]);
}

// A window-sized image painted as the editor's paint event would, over a plain background.
struct Screen {
    QImage image{420, 260, QImage::Format_RGB32};
    QRect paletteRect;

    Screen() { image.fill(kBackground); }
    void PaintBar(DepthLevel level, const QRect& label = kLabel) {
        QPainter painter(&image);
        DrawPaletteBar(painter, label, level, paletteRect);
    }
    void Paint(const CanvasState& state, QRect dirty = QRect(0, 0, 420, 260)) {
        QPainter painter(&image);
        painter.setClipRect(dirty);
        DrawCanvas(painter, state, dirty);
    }
    QRgb at(int x, int y) const { return image.pixel(x, y); }
};

struct Picture {
    DepthMap map;
    ImageHandle picture;
    CanvasState state;

    Picture(int w, int h, QPoint at = {50, 60}) {
        if (!map.Create(w, h))
            qFatal("no map");
        QImage grey(w, h, QImage::Format_RGB32);
        grey.fill(kGrey);
        picture = ImageHandle(grey);
        state.map = &map;
        state.picture = &picture;
        state.loaded = true;
        state.origin = at;
        state.mapSize = QSize(w, h);
    }
};

} // namespace

class TestCanvasDisplay : public QObject {
    Q_OBJECT
private slots:
    void paletteCellsOutlineAndMark() {
        Screen screen;
        screen.PaintBar(8);
        QCOMPARE(screen.paletteRect, QRect(R, T - 2, 144, 17));

        // Cells: 16 wide, 18 high from T - 2, level i at R + 16 i.
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(PaletteCellRect(kLabel, i), QRect(R + 16 * i, T - 2, 16, 18));
            QCOMPARE(screen.at(R + 16 * i + 1, T + 5), Argb(i));
            QCOMPARE(screen.at(R + 16 * i + 15, T + 5), Argb(i));
        }
        QCOMPARE(screen.at(R - 1, T + 5), kBackground);
        // The outline's bottom row covers the cells' last row.
        QCOMPARE(screen.at(R + 5, T + 14), Argb(0));
        QCOMPARE(screen.at(R + 5, T + 16), kBackground);

        // Outline: columns R and R + 144, rows T - 2 and T + 15, corners included.
        for (int x = R; x <= R + 144; ++x) {
            QCOMPARE(screen.at(x, T + 15), 0xff000000);
            if (x < R + 128 || x > R + 130) // the mark's top-left corner reaches the top row
                QCOMPARE(screen.at(x, T - 2), 0xff000000);
        }
        for (int y = T - 2; y <= T + 15; ++y) {
            QCOMPARE(screen.at(R, y), 0xff000000);
            QCOMPARE(screen.at(R + 144, y), 0xff000000);
        }
        QCOMPARE(screen.at(R + 145, T + 5), kBackground);

        // The mark on the ninth cell (left edge R + 128): a 2-pixel white square outline from
        // column R + 129 to R + 143 and row T - 1 to T + 14, inside the black cell.
        for (int y = T - 1; y <= T + 14; ++y)
            for (int x = R + 129; x <= R + 143; ++x) {
                const bool side = x <= R + 130 || x >= R + 142 || y <= T || y >= T + 13;
                QCOMPARE(screen.at(x, y), side ? 0xffffffffu : 0xff000000u);
            }
        QCOMPARE(screen.at(R + 128, T + 5), 0xff000000);
        QCOMPARE(screen.at(R + 127, T + 5), Argb(7));

        // Only exact colours: every bar pixel is black, white or a palette colour.
        for (int y = T - 2; y <= T + 15; ++y)
            for (int x = R; x <= R + 144; ++x) {
                const QRgb p = screen.at(x, y);
                QVERIFY(p == 0xffffffff || LevelOfColour(ColorrefFromArgb(p)));
            }
    }

    void paletteRectIsFixedAtTheFirstPaint() {
        Screen screen;
        screen.PaintBar(0);
        screen.PaintBar(0, QRect(10, 10, 16, 16));
        screen.Paint(CanvasState());
        QCOMPARE(screen.paletteRect, QRect(R, T - 2, 144, 17));
        // Before any picture: no canvas and no frame.
        for (int y = 40; y < 260; ++y)
            for (int x = 0; x < 420; ++x)
                QCOMPARE(screen.at(x, y), kBackground);
    }

    void bothViewsInterleaveEveryThirdColumn() {
        const struct {
            int width;
            const char* columns; // 'p' shows the picture, 'm' the map
        } cases[] = {{1, "p"}, {3, "pmm"}, {4, "pmmp"}, {8, "pmmpmmpm"}};
        for (const auto& c : cases) {
            Picture pic(c.width, 5);
            Screen screen;
            screen.Paint(pic.state);
            for (int x = 0; x < c.width; ++x)
                for (int y = 0; y < 5; ++y)
                    QCOMPARE(screen.at(50 + x, 60 + y), c.columns[x] == 'p' ? kGrey : Argb(7));
        }
    }

    void theFrameLiesOnePixelOutsideForEveryView() {
        for (int view = 0; view < 4; ++view) {
            Picture pic(4, 3);
            pic.state.view = view;
            Screen screen;
            screen.Paint(pic.state);
            // Canvas x 50..53, y 60..62; frame at x 49 and 54, y 59 and 63.
            for (int x = 49; x <= 54; ++x) {
                QCOMPARE(screen.at(x, 59), 0xff000000);
                QCOMPARE(screen.at(x, 63), 0xff000000);
                QCOMPARE(screen.at(x, 58), kBackground);
                QCOMPARE(screen.at(x, 64), kBackground);
            }
            for (int y = 59; y <= 63; ++y) {
                QCOMPARE(screen.at(49, y), 0xff000000);
                QCOMPARE(screen.at(54, y), 0xff000000);
                QCOMPARE(screen.at(48, y), kBackground);
                QCOMPARE(screen.at(55, y), kBackground);
            }
            const QRgb inside[] = {kBackground, Argb(7), kGrey, kGrey};
            QCOMPARE(screen.at(50, 60), inside[view]);
            QCOMPARE(screen.at(53, 62), view == 3 ? kGrey : inside[view]);
            QCOMPARE(screen.at(52, 61), view == 3 ? Argb(7) : inside[view]);
        }
    }

    void faintFadesTheMapButNotThePicture() {
        Picture pic(6, 2);
        DrawStrokeSegment(pic.map, {0, 0}, {6, 0}, 1, DepthPalette[0]);
        ImageHandle expected = pic.map.CopyOut();
        FadeImage(expected, 192);
        pic.state.faint = true;
        Screen screen;
        screen.Paint(pic.state);
        for (int x = 0; x < 6; ++x)
            for (int y = 0; y < 2; ++y)
                QCOMPARE(screen.at(50 + x, 60 + y),
                         x % 3 == 0 ? kGrey : expected.image().pixel(x, y));
        QVERIFY(screen.at(51, 60) != Argb(0));

        pic.state.view = kViewPicture;
        screen.Paint(pic.state);
        QCOMPARE(screen.at(51, 60), kGrey);
    }

    // The overlay view: with both views on, every pixel (not every third column) is the map's
    // colour over the picture's at the opacity, rounded to the nearest; faint does not apply.
    // One view alone shows that view as before; a dirty piece composes the same as the whole,
    // and a zoom shows the same colours.
    void overlayBlendsEveryPixelAtItsOpacity() {
        Picture pic(7, 3);
        DrawStrokeSegment(pic.map, {0, 1}, {7, 1}, 1, DepthPalette[0]); // red row 1
        pic.state.overlay = true;
        pic.state.faint = true;
        const auto mix = [](int picture, int map, int percent) {
            return (picture * (100 - percent) + map * percent + 50) / 100;
        };
        for (int percent : {0, 30, 50, 100}) {
            pic.state.overlayPercent = percent;
            Screen screen;
            screen.Paint(pic.state);
            for (int x = 0; x < 7; ++x)
                for (int y = 0; y < 3; ++y) {
                    const QRgb m = Argb(y == 1 ? 0 : 7);
                    QCOMPARE(screen.at(50 + x, 60 + y),
                             qRgb(mix(0x80, qRed(m), percent), mix(0x80, qGreen(m), percent),
                                  mix(0x80, qBlue(m), percent)));
                }
            Screen piece;
            piece.Paint(pic.state, QRect(52, 61, 3, 5));
            QCOMPARE(piece.at(53, 61), screen.at(53, 61));
            QCOMPARE(piece.at(51, 61), kBackground);
        }
        // At 300 % each map pixel is a 3 x 3 square of its blended colour.
        pic.state.overlayPercent = 30;
        pic.state.zoom = ZoomFactor{3, 1};
        Screen zoomed;
        zoomed.Paint(pic.state);
        Screen actual;
        pic.state.zoom = ZoomFactor{};
        actual.Paint(pic.state);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                for (int d : {0, 2})
                    QCOMPARE(zoomed.at(50 + 3 * x + d, 60 + 3 * y + d), actual.at(50 + x, 60 + y));

        pic.state.view = kViewDepth;
        Screen depthOnly;
        depthOnly.Paint(pic.state);
        ImageHandle faint = pic.map.CopyOut();
        FadeImage(faint, kFaintLevel);
        QCOMPARE(depthOnly.at(53, 61), faint.image().pixel(3, 1));
        pic.state.view = kViewPicture;
        Screen pictureOnly;
        pictureOnly.Paint(pic.state);
        QCOMPARE(pictureOnly.at(53, 61), kGrey);
    }

    void onlyTheDirtyAreaOfTheCanvasIsComposed() {
        Picture pic(30, 20);
        DrawStrokeSegment(pic.map, {0, 0}, {29, 19}, 4, DepthPalette[3]);
        pic.state.faint = true;
        Screen full;
        full.Paint(pic.state);

        // Dirty pieces that straddle the canvas edges and columns of every phase, painted one
        // after the other, give exactly the full paint; outside them the canvas is untouched.
        Screen pieces;
        const QRect dirty[] = {{40, 55, 12, 9}, {51, 62, 10, 5}, {62, 60, 7, 30}, {45, 70, 40, 4}};
        QRegion covered;
        for (const QRect& d : dirty) {
            pieces.Paint(pic.state, d);
            covered += d;
        }
        for (int y = 60; y < 80; ++y)
            for (int x = 50; x < 80; ++x) {
                if (covered.contains(QPoint(x, y)))
                    QCOMPARE(pieces.at(x, y), full.at(x, y));
                else
                    QCOMPARE(pieces.at(x, y), kBackground);
            }
    }

    // Zoomed, screen pixel s of the canvas shows map pixel floor(s * den / num) of the composed
    // image: at 300 % sharp 3 x 3 squares, at 2/3 two of every three map pixels. Painting the
    // dirty pieces one after the other gives exactly the whole paint, frame included.
    void zoomedCanvasSamplesTheComposedMap() {
        Picture pic(40, 30, {20, 45});
        DrawStrokeSegment(pic.map, {0, 0}, {39, 29}, 4, DepthPalette[3]);
        pic.state.faint = true;
        const QImage composed = ComposeShown(pic.state, QRect(0, 0, 40, 30));
        QCOMPARE(composed.size(), QSize(40, 30));
        for (const ZoomFactor z : {ZoomFactor{3, 1}, ZoomFactor{2, 3}, ZoomFactor{1, 4}}) {
            pic.state.zoom = z;
            const QRect c = pic.state.canvasRect();
            QCOMPARE(c.size(), QSize(z.ToScreen(40), z.ToScreen(30)));
            Screen full;
            full.image = QImage(420, 260, QImage::Format_RGB32);
            full.image.fill(kBackground);
            full.Paint(pic.state);
            for (int y = 0; y < c.height(); ++y)
                for (int x = 0; x < c.width(); ++x)
                    QCOMPARE(full.at(c.x() + x, c.y() + y),
                             composed.pixel(x * z.den / z.num, y * z.den / z.num));
            // The frame, one pixel outside.
            QCOMPARE(full.at(c.x() - 1, c.y() + 3), 0xff000000);
            QCOMPARE(full.at(c.x() + c.width(), c.y() + 3), 0xff000000);
            QCOMPARE(full.at(c.x() + 3, c.y() + c.height()), 0xff000000);
            QCOMPARE(full.at(c.x() + c.width() + 1, c.y() + 3), kBackground);

            Screen pieces;
            const QRect dirty[] = {{c.x() - 3, c.y() - 2, 13, 11},
                                   {c.x() + 7, c.y() + 5, 17, 9},
                                   {c.x() + 20, c.y(), 200, 200},
                                   {0, c.y() + 8, 420, 260}};
            for (const QRect& d : dirty)
                pieces.Paint(pic.state, d);
            QRegion covered;
            for (const QRect& d : dirty)
                covered += d;
            for (int y = c.y(); y < c.y() + c.height(); ++y)
                for (int x = c.x(); x < c.x() + c.width(); ++x)
                    if (covered.contains(QPoint(x, y)))
                        QCOMPARE(pieces.at(x, y), full.at(x, y));
        }
        // The mapping both ways: the screen rectangle of a map rectangle shows exactly it.
        pic.state.zoom = {3, 1};
        QCOMPARE(pic.state.ScreenRectOf(QRect(2, 1, 3, 2)), QRect(20 + 6, 45 + 3, 9, 6));
        QCOMPARE(pic.state.MapRectOf(QRect(20 + 6, 45 + 3, 9, 6)), QRect(2, 1, 3, 2));
        QCOMPARE(pic.state.MapPointAt(QPoint(19, 44)), QPoint(-1, -1));
        pic.state.zoom = {2, 3};
        QCOMPARE(pic.state.ScreenRectOf(QRect(0, 0, 3, 3)), QRect(20, 45, 2, 2));
        QCOMPARE(pic.state.MapPointAt(QPoint(21, 45)), QPoint(1, 0));
        QCOMPARE(pic.state.MapPointAt(QPoint(22, 45)), QPoint(3, 0));
    }

    // The footprint is what a press paints; its outline marks the footprint's border pixels white
    // and the ring outside black, nothing else.
    void footprintAndOutline() {
        for (int width : {2, 4, 8, 16, 32})
            for (const QPoint p : {QPoint(20, 15), QPoint(0, 0), QPoint(39, 29), QPoint(1, 28)}) {
                DepthMap map;
                QVERIFY(map.Create(40, 30));
                DrawStrokeSegment(map, p, p, width, DepthPalette[0]);
                QRegion painted;
                for (int y = 0; y < 30; ++y)
                    for (int x = 0; x < 40; ++x)
                        if (map.Pixel(x, y) == DepthPalette[0])
                            painted += QRect(x, y, 1, 1);
                QCOMPARE(BrushFootprint(p, width, {40, 30}), painted);
            }
        QCOMPARE(BrushFootprint({3, 4}, 1, {40, 30}), QRegion(3, 4, 1, 1));
        QVERIFY(BrushFootprint({40, 4}, 1, {40, 30}).isEmpty());

        const QRegion square(10, 10, 6, 6);
        QImage image(30, 30, QImage::Format_RGB32);
        image.fill(kGrey);
        {
            QPainter painter(&image);
            DrawFootprintOutline(painter, square);
        }
        // The ring is the pixels beside the square's edges, its corners left out.
        const QRegion corners = QRegion(9, 9, 1, 1) + QRegion(16, 9, 1, 1) + QRegion(9, 16, 1, 1) +
                                QRegion(16, 16, 1, 1);
        QCOMPARE(FootprintOutlineArea(square),
                 QRegion(9, 9, 8, 8) - QRegion(11, 11, 4, 4) - corners);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                const QPoint p(x, y);
                const bool border = square.contains(p) && !QRegion(11, 11, 4, 4).contains(p);
                const bool ring =
                    QRegion(9, 9, 8, 8).contains(p) && !square.contains(p) && !corners.contains(p);
                const QRgb expected = border ? 0xffffffff : ring ? 0xff000000 : kGrey;
                QCOMPARE(image.pixel(x, y), expected);
            }
    }

    // The outline made once and moved paints what the footprint's own region paints there, as
    // an image at small sizes and as rectangles at large ones.
    void brushOutlineMovedIsTheFootprintsOutline() {
        for (const int zoom : {1, 3, 8, 16})
            for (const int width : {1, 2, 5, 32}) {
                const BrushOutline outline = MakeBrushOutline(width, zoom);
                const QPoint mapPoint(40, 40), at(7 + mapPoint.x() * zoom, 5 + mapPoint.y() * zoom);
                QRegion footprint;
                for (const QRect& r : BrushFootprint(mapPoint, width, {200, 200}))
                    footprint += QRect(7 + r.x() * zoom, 5 + r.y() * zoom, r.width() * zoom,
                                       r.height() * zoom);
                QCOMPARE(outline.footprint.translated(at), footprint);
                QCOMPARE(outline.area.translated(at), FootprintOutlineArea(footprint));
                QCOMPARE(outline.mapBox.translated(mapPoint),
                         footprint.isEmpty()
                             ? QRect()
                             : BrushFootprint(mapPoint, width, {200, 200}).boundingRect());
                const QRect box = FootprintOutlineArea(footprint).boundingRect();
                QImage moved(box.right() + 8, box.bottom() + 8, QImage::Format_RGB32);
                moved.fill(kGrey);
                QImage own = moved;
                {
                    QPainter painter(&moved);
                    DrawBrushOutline(painter, outline, at);
                }
                {
                    QPainter painter(&own);
                    DrawFootprintOutline(painter, footprint);
                }
                QVERIFY2(moved == own,
                         qPrintable(QStringLiteral("width %1 zoom %2").arg(width).arg(zoom)));
            }
        QVERIFY(!MakeBrushOutline(32, 1).image.isNull());
        QVERIFY(MakeBrushOutline(32, 16).image.isNull());
    }
};

QTEST_MAIN(TestCanvasDisplay)
#include "tst_canvasdisplay.moc"
