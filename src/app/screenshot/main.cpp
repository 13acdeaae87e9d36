// Takes a picture of the editor window and writes it as PNG. With a picture (and a depth map) it
// shows them loaded, as a user sees them while painting; "faint" shows the depth colours faintly,
// "preview" adds the live preview window beside the editor, both under a plain caption;
// "open-dialog" shows the "画像を開く..." file dialog in the picture's folder instead; "dialogs"
// writes every other dialog and a message box beside OUTPUT (OUTPUT-sway.png, -size.png, ...), to
// check that no caption or text is cut. "zoom=PERCENT" shows the canvas at that zoom (one of the
// editor's levels, 300 or 800 say), "at=X,Y" puts the pointer over that map pixel, showing the
// brush outline and the status line's pointer text, and "width=PIXELS" picks that pen width
// (1, 2, 4, 8, 16 or 32). The language is the editor's (KELVARO_LANG=en for English). Run it
// with QT_QPA_PLATFORM=offscreen (scripts/screenshot does).
//   kelvaro-screenshot OUTPUT.png [PICTURE [DEPTHMAP [faint] [preview] [open-dialog] [dialogs]
//                                  [zoom=PERCENT] [at=X,Y] [width=PIXELS]]]

#include "app/language/Language.h"
#include "depth/Painting.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "editor/dialogs/DepthDialogs.h"
#include "editor/dialogs/GifDialogs.h"
#include "encode/SizeLimit.h"
#include "files/dialogs/CFileDialogTitle.h"
#include "ui/DialogUnits.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>

#include <cstdio>
#include <optional>

namespace {

constexpr int kCaption = 22;
constexpr int kGap = 16;

// Windows side by side on a plain desktop, each under a caption with its title (the offscreen
// platform draws no window frames).
QImage Desktop(const QList<QWidget*>& windows) {
    int width = kGap, height = 0;
    for (QWidget* w : windows) {
        width += w->width() + 2 + kGap;
        height = std::max(height, w->height() + kCaption + 2);
    }
    QImage desktop(width, height + 2 * kGap, QImage::Format_RGB32);
    desktop.fill(QColor(58, 110, 165));
    QPainter painter(&desktop);
    int x = kGap;
    for (QWidget* w : windows) {
        const QRect frame(x, kGap, w->width() + 2, w->height() + kCaption + 2);
        painter.fillRect(frame, QColor(212, 208, 200));
        painter.fillRect(QRect(x + 1, kGap + 1, w->width(), kCaption - 1), QColor(10, 36, 106));
        painter.setPen(Qt::white);
        painter.setFont(kelvaro::DialogFont());
        painter.drawText(QRect(x + 6, kGap + 1, w->width() - 6, kCaption - 1),
                         Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
        painter.drawPixmap(x + 1, kGap + kCaption + 1, w->grab());
        x += frame.width() + kGap;
    }
    return desktop;
}

// Lets a dialog settle (a file dialog lists its folder in the background), then pictures it.
QImage Settled(QWidget& window) {
    window.show();
    QElapsedTimer listing;
    listing.start();
    while (listing.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return Desktop({&window});
}

// Every dialog but the open-picture one, each beside `output` with its own ending.
bool SaveDialogs(const QString& output, kelvaro::CDepthPaintDlg& editor, const QString& picture) {
    using namespace kelvaro;
    const QString base = output.endsWith(QLatin1String(".png")) ? output.chopped(4) : output;
    const auto save = [&](const char* name, QWidget& window) {
        return Settled(window).save(base + QLatin1Char('-') + QLatin1String(name) + ".png", "PNG");
    };
    CSwayDirectionDlg sway;
    COutputSizeDlg size(editor.document().size());
    size.combo()->showPopup();
    GreyDepthDialog grey;
    // The size limit as typed, and a text it cannot read.
    SizeLimitDialog limit(QStringLiteral("8M"));
    SizeLimitDialog unreadable(QStringLiteral("8 MiB"));
    bool ok = save("sway", sway) && save("size", size) && save("grey", grey) &&
              save("limit", limit) && save("limit-unreadable", unreadable);
    size.combo()->hidePopup();
    const struct {
        FileDialogUse use;
        const char* name;
        int filter; // the filter chosen, as the user chooses it
    } files[] = {{FileDialogUse::SaveDepthMap, "save-map", 0},
                 {FileDialogUse::LoadDepthMap, "load-map", 0},
                 {FileDialogUse::LoadGreyDepth, "load-grey", 0},
                 {FileDialogUse::GenerateGif, "generate", 1},
                 {FileDialogUse::GenerateGif, "generate-mp4", 2}};
    for (const auto& f : files) {
        CFileDialogTitle dialog(f.use, &editor);
        dialog.Start(StartFor(f.use, picture, QString())); // as the editor opens it
        if (f.filter > 0) {                                // as after choosing that filter
            const QString chosen = dialog.nameFilters().value(f.filter);
            dialog.selectNameFilter(chosen);
            emit dialog.filterSelected(chosen);
        }
        ok = ok && save(f.name, dialog);
    }
    QMessageBox box(
        QMessageBox::NoIcon, QStringLiteral("Kelvaro"),
        CDepthPaintDlg::tr("画像サイズが処理可能サイズを超えています。\n\n縮小して読み込みます。") +
            QStringLiteral("\n\n4032 × 3024 → 640 × 480"),
        QMessageBox::Ok, &editor);
    // The end of a run that a size limit made give way, its last line a sentence as the editor
    // shows it.
    const QString choice = SizeLimitChoice(
        8000000,
        QCoreApplication::translate("Mp4File", "%1 kbit/s、%2 × %3").arg(17600).arg(640).arg(480),
        7812345);
    QMessageBox limited(QMessageBox::NoIcon, QStringLiteral("Kelvaro"),
                        CDepthPaintDlg::tr("MP4動画を生成しました。") +
                            QStringLiteral("\n/home/kelvaro/wobble.mp4\n\n") +
                            choice.left(1).toUpper() + choice.mid(1),
                        QMessageBox::Ok, &editor);
    return ok && save("message", box) && save("limit-message", limited);
}

} // namespace

// The value of the option "NAME=..." among the options, taking it out of them; nullopt when
// there is none.
std::optional<QString> TakeValue(QStringList& options, const QString& name) {
    for (qsizetype k = 0; k < options.size(); ++k)
        if (options[k].startsWith(name + QLatin1Char('=')))
            return options.takeAt(k).mid(name.size() + 1);
    return std::nullopt;
}

// The index of kZoomLevels that shows as this percentage, or -1.
int ZoomIndexOf(int percent) {
    for (size_t k = 0; k < kelvaro::kZoomLevels.size(); ++k)
        if (kelvaro::kZoomLevels[k].percent() == percent)
            return int(k);
    return -1;
}

// The thickness list's index of this pen width, or -1.
int ThicknessOf(int width) {
    for (int k = 0; k <= kelvaro::kMaxThickness; ++k)
        if (kelvaro::PenWidthForThickness(k) == width)
            return k;
    return -1;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList options = app.arguments().mid(4);
    const bool faint = options.contains(QStringLiteral("faint"));
    const bool preview = options.contains(QStringLiteral("preview"));
    const bool openDialog = options.contains(QStringLiteral("open-dialog"));
    const bool dialogs = options.contains(QStringLiteral("dialogs"));
    const std::optional<QString> zoomOption = TakeValue(options, QStringLiteral("zoom"));
    const std::optional<QString> atOption = TakeValue(options, QStringLiteral("at"));
    const std::optional<QString> widthOption = TakeValue(options, QStringLiteral("width"));
    const int zoomIndex = zoomOption ? ZoomIndexOf(zoomOption->toInt()) : kelvaro::kActualSizeZoom;
    const int thickness = widthOption ? ThicknessOf(widthOption->toInt()) : 0;
    const QStringList at = atOption ? atOption->split(QLatin1Char(',')) : QStringList();
    const std::optional<QPoint> pointer =
        at.size() == 2 ? std::optional(QPoint(at[0].toInt(), at[1].toInt())) : std::nullopt;
    if (argc < 2 || options.size() != int(faint) + int(preview) + int(openDialog) + int(dialogs) ||
        zoomIndex < 0 || thickness < 0 || (atOption && !pointer)) {
        std::fprintf(stderr, "usage: kelvaro-screenshot OUTPUT.png [PICTURE [DEPTHMAP [faint] "
                             "[preview] [open-dialog] [dialogs] [zoom=PERCENT] [at=X,Y] "
                             "[width=PIXELS]]]\n");
        return 2;
    }
    const kelvaro::Translations texts(
        kelvaro::RequestedLanguage(QStringList(), kelvaro::Language::Japanese));
    QApplication::setApplicationName(QStringLiteral("Kelvaro"));
    QApplication::setFont(kelvaro::DialogFont());
    kelvaro::QtPrompts prompts;
    kelvaro::CDepthPaintDlg editor(prompts);
    editor.show();
    QApplication::processEvents();
    if (argc >= 3 && !editor.LoadPicture(QString::fromLocal8Bit(argv[2])))
        return 1;
    if (argc >= 4 && !editor.document().LoadDepthMap(QString::fromLocal8Bit(argv[3])))
        return 1;
    editor.canvas().setFaint(faint);
    if (widthOption) {
        editor.m_nThickness = thickness;
        editor.UpdateData(false);
    }
    kelvaro::CanvasView& canvas = editor.canvas();
    // Zoomed about the pointer's map pixel, then scrolled to bring it to the middle as far as
    // the canvas scrolls: near an edge it would otherwise end under a scroll bar.
    const auto pixelCentre = [&canvas](QPoint map) {
        return canvas.state().ScreenRectOf(QRect(map, QSize(1, 1))).center();
    };
    const QPoint middle = canvas.viewport()->rect().center();
    canvas.ZoomAbout(zoomIndex, pointer ? QPointF(pixelCentre(*pointer)) : QPointF(middle));
    if (pointer) {
        const QPoint off = pixelCentre(*pointer) - middle;
        canvas.horizontalScrollBar()->setValue(canvas.horizontalScrollBar()->value() + off.x());
        canvas.verticalScrollBar()->setValue(canvas.verticalScrollBar()->value() + off.y());
        canvas.MoveTo(pixelCentre(*pointer));
    }
    editor.update();
    // The status line follows the pointer after a short delay.
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 200)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const QString path = QString::fromLocal8Bit(argv[1]);
    QImage shot = editor.grab().toImage();
    if (preview) {
        // Stopped at the widest turn, where the relief shows most.
        kelvaro::PreviewWindow& window = editor.preview();
        editor.OnCommand(kelvaro::cmd::Preview);
        while (window.renderer().isRendering() || window.currentFrame() != 2)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window.SetPaused(true);
        shot = Desktop({&editor, &window});
    }
    if (openDialog) {
        kelvaro::CFileDialogTitle dialog(kelvaro::FileDialogUse::OpenPicture, &editor);
        dialog.Start(kelvaro::StartFor(kelvaro::FileDialogUse::OpenPicture,
                                       QString::fromLocal8Bit(argv[2]), QString()));
        dialog.show();
        // The folder is listed in the background.
        QElapsedTimer listing;
        listing.start();
        while (listing.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        shot = Desktop({&dialog});
    }
    if (dialogs && !SaveDialogs(path, editor, QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "cannot write the dialogs beside %s\n", argv[1]);
        return 1;
    }
    if (!shot.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
