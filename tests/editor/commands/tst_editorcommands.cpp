// The editor's commands driven through the real window: pictures, depth-map files, painting,
// undo and GIF generation, with every question answered by ScriptedPrompts.
#include "../window/ScriptedPrompts.h"

#include "app/language/Language.h"
#include "depth/GreyDepth.h"
#include "editor/DepthPaintDlg.h"
#include "encode/SizeLimit.h"
#include "gif/FrameSynthesis.h"
#include "gif/GifPipeline.h"

#include "VideoFrames.h"

#include <QComboBox>
#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvaro;
using kelvaro::test::ScriptedPrompts;

namespace {

const QRgb kPurple = ArgbFromColorref(DepthPalette[BaseLevel]);
const QRgb kRed = ArgbFromColorref(DepthPalette[0]);
const QRgb kBlack = 0xff000000;

// A picture file; small ones get a pattern of 8-pixel squares in a few colours, which a GIF
// keeps exactly.
QString WritePicture(const QString& path, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(90, 140, 60));
    if (w * h <= 100000)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(
                    x, y, qRgb((x / 8 + y / 8) % 2 * 200 + 20, x / 8 % 3 * 100, y / 8 % 3 * 100));
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A picture file with a photo's smooth shades and fine grain, which no encoder keeps for free.
QString WritePhoto(const QString& path, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    quint32 grain = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            grain = grain * 1103515245u + 12345u;
            const int n = int(grain >> 27); // 0..31
            image.setPixel(x, y,
                           qRgb((x * 200 / w + n) % 256, (y * 180 / h + 2 * n) % 256,
                                ((x + y) * 150 / (w + h) + n) % 256));
        }
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return bytes;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An existing file that no save can replace: the temporary file written beside it first would
// need a name beyond the 255 bytes a file system allows.
QString UnreplaceablePath(const QTemporaryDir& dir, const char* suffix) {
    return dir.filePath(QString(246, QLatin1Char('x')) + QLatin1String(suffix));
}

// Mean difference of the red channels of two pictures of one size.
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(a.pixel(x, y)) - qRed(b.pixel(x, y)));
    return sum / (a.width() * a.height());
}

} // namespace

class EditorCommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    ScriptedPrompts prompts_;
    std::unique_ptr<CDepthPaintDlg> dlg_;
    QList<int> progress_;

    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Load(int w, int h) {
        prompts_.messages.clear();
        if (dlg_->document().isModified())
            prompts_.saveChoices.push_back(SaveChoice::Discard);
        QVERIFY(dlg_->LoadPicture(WritePicture(Path(QStringLiteral("写真.png")), w, h)));
    }
    QPoint Client(QPoint mapPoint) const { return dlg_->CanvasRect().topLeft() + mapPoint; }
    const QImage& Map() const { return dlg_->document().depthMap().surface(); }
    // A pen stroke of the level through map points, by direct calls to the mouse handlers.
    void Stroke(int level, const QList<QPoint>& points) {
        dlg_->document().setLevel(level);
        dlg_->OnLButtonDown(Client(points.first()));
        for (const QPoint& p : points.mid(1))
            dlg_->OnMouseMove(Client(p));
        dlg_->OnLButtonUp(Client(points.last()));
    }
    QImage Grab() const { return dlg_->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void ResetPrompts() {
        prompts_ = ScriptedPrompts();
        progress_.clear();
    }
    // Runs "GIFを生成" with these answers; a null path or nullopt cancels that question. The
    // size limit is left empty unless given.
    void GenerateGif(const QString& path, std::optional<int> direction, std::optional<int> size,
                     std::deque<std::optional<QString>> limits = {QString()}) {
        ResetPrompts();
        prompts_.filePaths = {path};
        prompts_.swayDirections = {direction};
        prompts_.outputSizes = {size};
        prompts_.sizeLimits = std::move(limits);
        dlg_->OnGenerateGif();
    }
    // The progress of the writing half of the last run: the steps after the 0 that follows the
    // rendering's hide.
    QList<int> WritingSteps() const {
        const qsizetype hidden = progress_.indexOf(256);
        return hidden < 0 || progress_.value(hidden + 1) != 0 ? QList<int>()
                                                              : progress_.mid(hidden + 2);
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        ResetPrompts();
        dlg_ = std::make_unique<CDepthPaintDlg>(prompts_);
        dlg_->SetProgressSink([this](int command) { progress_ << command; });
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
    }
    void cleanup() { dlg_.reset(); }

    void shrinkTable() {
        const struct {
            int w0, h0, messages, w, h, outerHeight, left, top;
        } rows[] = {
            {640, 640, 0, 640, 640, 712, 5, 36},    {1280, 960, 1, 640, 480, 552, 5, 36},
            {800, 1200, 1, 426, 640, 712, 112, 36}, {1000, 3000, 1, 213, 640, 712, 218, 36},
            {100, 100, 0, 100, 100, 552, 275, 226}, {2000, 2, 1, 640, 1, 552, 5, 275},
        };
        for (const auto& r : rows) {
            Load(r.w0, r.h0);
            QVERIFY2(prompts_.messages.size() == r.messages, qPrintable(QString::number(r.w0)));
            QCOMPARE(dlg_->document().size(), QSize(r.w, r.h));
            QCOMPARE(dlg_->document().picture().image().size(), QSize(r.w, r.h));
            // Both below the second row of controls; the status line adds its height.
            QCOMPARE(dlg_->OuterSize(), QSize(656, r.outerHeight + layout::OptionRowHeight +
                                                       dlg_->StatusLineHeight()));
            QCOMPARE(dlg_->CanvasRect(), QRect(r.left, r.top + layout::OptionRowHeight, r.w, r.h));
        }
        // The notice keeps its sentence and adds both sizes.
        QCOMPARE(
            prompts_.messages.constFirst(),
            QStringLiteral("画像サイズが処理可能サイズを超えています。\n\n縮小して読み込みます。"
                           "\n\n2000 × 2 → 640 × 1"));
        Load(1280, 960);
        QCOMPARE(prompts_.messages.constFirst().section(QStringLiteral("\n\n"), 2),
                 QStringLiteral("1280 × 960 → 640 × 480"));
    }

    void openDropAndFailedLoads() {
        Load(40, 30);
        Stroke(0, {{5, 5}, {20, 5}});
        const QImage picture = dlg_->document().picture().image(), painted = Map();
        const auto unchanged = [&] {
            return dlg_->document().hasPicture() && dlg_->document().picture().image() == picture &&
                   Map() == painted && dlg_->document().history().count() == 2;
        };

        // Cancelled open dialog, then a file that is not a picture: nothing changes.
        WriteBytes(Path(QStringLiteral("文書.png")), "text");
        prompts_.filePaths = {QString(), Path(QStringLiteral("文書.png"))};
        dlg_->OnOpenPicture();
        QVERIFY(unchanged());
        QVERIFY(prompts_.messages.isEmpty());
        dlg_->OnOpenPicture();
        QVERIFY(unchanged());
        // One message box, with the reason.
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("画像ファイルを開けませんでした。\n\n"
                                            "画像として読めない形式です")));
        QCOMPARE(prompts_.fileDialogUses, std::vector(2, FileDialogUse::OpenPicture));

        // Drops: a link alone is refused; of several items the first local file loads.
        const auto drop = [this](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(dlg_.get(), &enter);
            QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(dlg_.get(), &drop);
            return enter.isAccepted();
        };
        const auto file = [this](const QString& name, int w, int h) {
            return QUrl::fromLocalFile(WritePicture(Path(name), w, h));
        };
        const QUrl link(QStringLiteral("https://example.com/a.png"));
        QVERIFY(!drop({link}));
        QVERIFY(unchanged());
        prompts_.saveChoices = {SaveChoice::Discard}; // the stroke was never saved
        QVERIFY(drop({link, file(QStringLiteral("一枚目.png"), 30, 20),
                      file(QStringLiteral("二枚目.png"), 50, 40),
                      file(QStringLiteral("三枚目.png"), 60, 10)}));
        QCOMPARE(dlg_->document().size(), QSize(30, 20));
        QCOMPARE(dlg_->document().history().count(), 1);
    }

    // Painting that was never saved is asked about before another picture or the end replaces it.
    void unsavedDepthMapIsAskedAbout() {
        const QStringList question{QStringLiteral("立体情報が保存されていません。保存しますか？")};
        const QString other = WritePicture(Path(QStringLiteral("別の写真.png")), 30, 20);
        // Nothing painted, or the painting undone: no question.
        Load(40, 30);
        QVERIFY(dlg_->LoadPicture(other));
        Stroke(0, {{5, 5}, {10, 10}});
        dlg_->OnUndo();
        QVERIFY(dlg_->LoadPicture(other));
        QVERIFY(prompts_.saveQuestions.isEmpty());

        // キャンセル keeps the painted map and the picture.
        Stroke(0, {{5, 5}, {10, 10}});
        const QImage painted = Map();
        prompts_.saveChoices = {SaveChoice::Cancel};
        QVERIFY(!dlg_->LoadPicture(WritePicture(Path(QStringLiteral("三枚目.png")), 50, 40)));
        QCOMPARE(prompts_.saveQuestions, question);
        QCOMPARE(Map(), painted);

        // 保存 runs the save command and goes on only when it saved: a cancelled save dialog
        // stops the open, a save opens the picture.
        ResetPrompts();
        prompts_.saveChoices = {SaveChoice::Save, SaveChoice::Save};
        prompts_.filePaths = {QString(), Path(QStringLiteral("描いた.bmp"))};
        QVERIFY(!dlg_->LoadPicture(WritePicture(Path(QStringLiteral("三枚目.png")), 50, 40)));
        QCOMPARE(Map(), painted);
        QVERIFY(dlg_->LoadPicture(WritePicture(Path(QStringLiteral("三枚目.png")), 50, 40)));
        QCOMPARE(QImage(Path(QStringLiteral("描いた.bmp"))).convertToFormat(QImage::Format_RGB32),
                 painted);
        QCOMPARE(dlg_->document().size(), QSize(50, 40));

        // 破棄 goes on without saving; after a save no question.
        Stroke(1, {{1, 1}, {20, 20}});
        prompts_.saveChoices = {SaveChoice::Discard};
        QVERIFY(dlg_->LoadPicture(other));
        QCOMPARE(dlg_->document().size(), QSize(30, 20));
        Stroke(1, {{1, 1}, {20, 10}});
        prompts_.filePaths = {Path(QStringLiteral("二回目.bmp"))};
        dlg_->OnSaveDepthMap();
        QVERIFY(dlg_->LoadPicture(other));
        QCOMPARE(prompts_.saveQuestions, question + question + question);

        // Ending the editor: the close box and "終了" ask, キャンセル keeps it open.
        Stroke(1, {{1, 1}, {20, 10}});
        prompts_.saveChoices = {SaveChoice::Cancel, SaveChoice::Cancel, SaveChoice::Discard};
        QVERIFY(!dlg_->close());
        dlg_->OnCommand(cmd::Exit);
        QVERIFY(dlg_->isVisible());
        QVERIFY(dlg_->document().hasPicture());
        QVERIFY(dlg_->close());
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(prompts_.saveQuestions.size(), 6);
        QCOMPARE(prompts_.unanswered, 0);
    }

    void depthMapFiles() {
        Load(40, 30);
        Stroke(0, {{5, 5}, {30, 20}});
        const QImage painted = Map();

        // A name typed without extension gets ".bmp"; the file loads back pixel for pixel.
        prompts_.filePaths = {Path(QStringLiteral("立体情報")), Path(QStringLiteral("無い/x.bmp")),
                              UnreplaceablePath(dir_, ".bmp")};
        const QByteArray old = WriteBytes(prompts_.filePaths.back(), "old map");
        dlg_->OnSaveDepthMap();
        dlg_->OnSaveDepthMap();
        dlg_->OnSaveDepthMap();
        const QString failed = QStringLiteral("立体情報を保存できませんでした。\n\n");
        QCOMPARE(prompts_.messages,
                 QStringList({QStringLiteral("立体情報をビットマップファイルに保存しました。\n") +
                                  Path(QStringLiteral("立体情報.bmp")),
                              failed + QStringLiteral("ファイルが見つかりません"),
                              failed + QStringLiteral("ファイル名が長すぎます")}));
        QCOMPARE(ReadAll(UnreplaceablePath(dir_, ".bmp")), old);
        QCOMPARE(prompts_.fileDialogUses, std::vector(3, FileDialogUse::SaveDepthMap));

        // Loading a map file is an undo step of its own: after "load, stroke" one undo takes
        // back the stroke, a second one the load, and redo brings the load back. A clean map of
        // the picture's size says nothing.
        QImage blue(40, 30, QImage::Format_RGB32);
        blue.fill(ArgbFromColorref(DepthPalette[6]));
        QVERIFY(blue.save(Path(QStringLiteral("青.bmp"))));
        ResetPrompts();
        WriteBytes(Path(QStringLiteral("メモ.bmp")), "text");
        prompts_.filePaths = {Path(QStringLiteral("メモ.bmp")), Path(QStringLiteral("青.bmp"))};
        dlg_->OnLoadDepthMap();
        QCOMPARE(prompts_.messages, QStringList(QStringLiteral("立体情報を開けませんでした。\n\n"
                                                               "画像として読めない形式です")));
        QCOMPARE(Map(), painted);
        prompts_.messages.clear();
        dlg_->OnLoadDepthMap();
        QCOMPARE(Map(), blue);
        Stroke(0, {{2, 2}, {8, 2}});
        dlg_->OnUndo();
        QCOMPARE(Map(), blue);
        dlg_->OnUndo();
        QCOMPARE(Map(), painted);
        dlg_->OnRedo();
        QCOMPARE(Map(), blue);
        QVERIFY(prompts_.messages.isEmpty());

        // Another size, colours that are no level, and both: each says so in one notice.
        QImage small(20, 10, QImage::Format_RGB32);
        small.fill(ArgbFromColorref(DepthPalette[2]));
        QVERIFY(small.save(Path(QStringLiteral("小.bmp"))));
        QImage grey = blue;
        grey.setPixel(1, 1, qRgb(128, 128, 128));
        grey.setPixel(2, 1, qRgb(255, 255, 255));
        QVERIFY(grey.save(Path(QStringLiteral("灰.png"))));
        small.setPixel(0, 0, qRgb(7, 7, 7));
        QVERIFY(small.save(Path(QStringLiteral("両方.png"))));
        prompts_.filePaths = {Path(QStringLiteral("小.bmp")), Path(QStringLiteral("灰.png")),
                              Path(QStringLiteral("両方.png")),
                              Path(QStringLiteral("立体情報.bmp"))};
        dlg_->OnLoadDepthMap();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY2(prompts_.messages[0].contains(QStringLiteral("(20 × 10)")) &&
                     prompts_.messages[0].contains(QStringLiteral("(40 × 30)")),
                 qPrintable(prompts_.messages[0]));
        dlg_->OnLoadDepthMap();
        QCOMPARE(prompts_.messages.size(), 2);
        QVERIFY2(
            prompts_.messages[1].contains(QStringLiteral(" 2 個")) &&
                prompts_.messages[1].contains(QStringLiteral("グレースケール画像から読み込む...")),
            qPrintable(prompts_.messages[1]));
        dlg_->OnLoadDepthMap();
        QCOMPARE(prompts_.messages.size(), 4);
        QVERIFY(prompts_.messages[3].contains(QStringLiteral(" 1 個")));
        dlg_->OnLoadDepthMap();
        QCOMPARE(Map(), painted); // the saved map, back pixel for pixel
        QCOMPARE(prompts_.messages.size(), 4);
        QCOMPARE(prompts_.fileDialogUses, std::vector(6, FileDialogUse::LoadDepthMap));
    }

    // Every file dialog opens in the picture's folder, offering the names that go with the
    // picture; before a picture is open, in the folder last used, at first in the current one.
    void fileDialogsStartBesideThePicture() {
        const QDir root(dir_.path());
        QVERIFY(root.mkpath(QStringLiteral("写真")) && root.mkpath(QStringLiteral("文書")));
        const QString photos = Path(QStringLiteral("写真")), docs = Path(QStringLiteral("文書"));
        const QString here = QDir::currentPath();
        const auto in = [](const QString& folder, const QString& name) {
            return QString(QDir(folder).filePath(name));
        };
        // The starts of the file dialogs of these commands (each cancelled, unless a path is
        // queued for it), and the uses they were asked for.
        const auto startsOf = [this](const QList<int>& commands, const QStringList& paths = {}) {
            prompts_.fileDialogStarts.clear();
            prompts_.fileDialogUses.clear();
            prompts_.calls.clear();
            prompts_.filePaths.assign(paths.begin(), paths.end());
            for (int command : commands)
                dlg_->OnCommand(command);
            return prompts_.fileDialogStarts;
        };
        using Starts = std::vector<FileDialogStart>;
        const QList<int> fileCommands = {cmd::OpenPicture, cmd::SaveDepth, cmd::LoadDepth,
                                         cmd::LoadGreyDepth, cmd::GenerateGif};

        // Nothing used yet: the current folder, also after a cancel. Without a picture only the
        // open command asks. A file that did not open was still chosen in its folder.
        WriteBytes(in(docs, QStringLiteral("メモ.txt")), "text");
        QCOMPARE(startsOf({cmd::OpenPicture}), Starts({{here, ""}}));
        QCOMPARE(startsOf(fileCommands, {in(docs, QStringLiteral("メモ.txt"))}),
                 Starts({{here, ""}}));
        QVERIFY(!dlg_->document().hasPicture());
        QCOMPARE(startsOf(fileCommands), Starts({{docs, ""}}));

        // With a picture, its folder and its name, whatever folder was used last.
        const QString summer = WritePicture(in(photos, QStringLiteral("夏.v2.png")), 40, 30);
        QCOMPARE(startsOf({cmd::OpenPicture}, {summer}), Starts({{docs, ""}}));
        QCOMPARE(dlg_->document().size(), QSize(40, 30));
        const QString bmp = QStringLiteral("夏.v2.bmp"), gif = QStringLiteral("夏.v2.gif");
        const Starts beside = {
            {photos, ""}, {photos, bmp}, {photos, ""}, {photos, ""}, {photos, gif}};
        QCOMPARE(startsOf(fileCommands), beside);
        QCOMPARE(
            prompts_.fileDialogUses,
            std::vector<FileDialogUse>({FileDialogUse::OpenPicture, FileDialogUse::SaveDepthMap,
                                        FileDialogUse::LoadDepthMap, FileDialogUse::LoadGreyDepth,
                                        FileDialogUse::GenerateGif}));
        // A map saved elsewhere changes nothing; once saved under the suggested name, loading
        // selects it.
        QCOMPARE(startsOf({cmd::SaveDepth, cmd::LoadDepth}, {in(docs, QStringLiteral("地図.bmp"))}),
                 Starts({{photos, bmp}, {photos, ""}}));
        QCOMPARE(startsOf({cmd::SaveDepth, cmd::LoadDepth}, {in(photos, bmp)}),
                 Starts({{photos, bmp}, {photos, bmp}}));
        QVERIFY(QFileInfo::exists(in(photos, bmp)));

        // A picture dropped (or given on the command line) from another folder: that folder.
        // A BMP picture is not offered as its own map.
        const QString winter = WritePicture(in(docs, QStringLiteral("冬.bmp")), 30, 20);
        QVERIFY(dlg_->LoadPicture(winter));
        QCOMPARE(startsOf(fileCommands),
                 Starts({{docs, ""}, {docs, ""}, {docs, ""}, {docs, ""}, {docs, "冬.gif"}}));
        QCOMPARE(prompts_.calls, QStringList(5, QStringLiteral("AskFilePath")));
    }

    // What the window shows follows undo, redo and a loaded map file (the window's own pixels,
    // not a fresh render).
    void undoRedoAndLoadRepaintTheCanvas() {
        Load(40, 30);
        Stroke(0, {{5, 10}, {30, 10}});
        const auto shown = [this] {
            const QPixmap window = dlg_->screen()->grabWindow(dlg_->winId());
            return window.toImage().pixel(Client({20, 10})); // a map column
        };
        QTRY_COMPARE(shown(), kRed);
        dlg_->OnUndo();
        QTRY_COMPARE(shown(), kPurple);
        dlg_->OnRedo();
        QTRY_COMPARE(shown(), kRed);
        QImage green(40, 30, QImage::Format_RGB32);
        green.fill(ArgbFromColorref(DepthPalette[4]));
        QVERIFY(green.save(Path(QStringLiteral("緑.bmp"))));
        prompts_.filePaths = {Path(QStringLiteral("緑.bmp"))};
        dlg_->OnLoadDepthMap();
        QTRY_COMPARE(shown(), green.pixel(0, 0));
    }

    // "グレースケール画像から読み込む...": the file, then white or black near (the last choice
    // offered again), then the whole map replaced as one undo step.
    void greyDepthImport() {
        Load(40, 30);
        QImage ramp(20, 15, QImage::Format_Grayscale16); // half the picture's size
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 20; ++x)
                reinterpret_cast<quint16*>(ramp.scanLine(y))[x] = quint16(x * 65535 / 19);
        const QString path = Path(QStringLiteral("深度.png"));
        QVERIFY(ramp.save(path));
        GreyDepthOptions blackNear;
        blackNear.blackNear = true;
        const QImage white = DepthFromGrey(ramp, 40, 30, {}).image();
        const QImage black = DepthFromGrey(ramp, 40, 30, blackNear).image();
        QVERIFY(white != black);

        ResetPrompts();
        WriteBytes(Path(QStringLiteral("文書.png")), "x");
        prompts_.filePaths = {path, path, path, Path(QStringLiteral("文書.png")),
                              Path(QStringLiteral("無い.png"))};
        prompts_.greyDepthNears = {1, std::nullopt, 0};
        dlg_->OnCommand(cmd::LoadGreyDepth);
        QCOMPARE(prompts_.fileDialogUses.front(), FileDialogUse::LoadGreyDepth);
        QCOMPARE(Map(), black);
        QCOMPARE(dlg_->document().history().count(), 2);
        dlg_->OnLoadGreyDepth(); // cancelled at the question
        QCOMPARE(Map(), black);
        dlg_->OnLoadGreyDepth();
        QCOMPARE(Map(), white);
        QCOMPARE(dlg_->document().history().count(), 3);
        QCOMPARE(prompts_.greyDepthInitials, (std::vector<int>{0, 1, 1}));
        // An import is unsaved work like a stroke: ending the editor asks (キャンセル keeps it).
        const QStringList question{QStringLiteral("立体情報が保存されていません。保存しますか？")};
        prompts_.saveChoices = {SaveChoice::Cancel};
        QVERIFY(!dlg_->close());
        QCOMPARE(prompts_.saveQuestions, question);

        // A file that is no picture: the usual message with the reason, as a map file gives it;
        // no question, nothing changes.
        dlg_->OnLoadGreyDepth();
        QCOMPARE(prompts_.messages, QStringList(QStringLiteral("立体情報を開けませんでした。\n\n"
                                                               "画像として読めない形式です")));
        dlg_->OnLoadGreyDepth(); // a file that is not there
        QCOMPARE(prompts_.messages.last(),
                 QStringLiteral("立体情報を開けませんでした。\n\nファイルが見つかりません"));
        QCOMPARE(prompts_.calls.count(QStringLiteral("AskGreyDepthNear")), 3);
        QCOMPARE(Map(), white);
        QCOMPARE(dlg_->document().history().count(), 3);
        dlg_->OnUndo();
        QCOMPARE(Map(), black);

        // Another picture asks too; once the map is saved, nothing is asked.
        const QString other = WritePicture(Path(QStringLiteral("別の写真.png")), 30, 20);
        prompts_.saveChoices = {SaveChoice::Cancel};
        QVERIFY(!dlg_->LoadPicture(other));
        QCOMPARE(Map(), black);
        prompts_.filePaths = {Path(QStringLiteral("深度.bmp"))};
        dlg_->OnSaveDepthMap();
        QVERIFY(dlg_->LoadPicture(other));
        QCOMPARE(prompts_.saveQuestions, question + question);
        QCOMPARE(prompts_.unanswered, 0);
    }

    void strokesAtTheCanvasEdges() {
        Load(40, 30);
        const QRect canvas = dlg_->CanvasRect();
        const QImage fresh = Map();
        // The first column and row of the canvas rectangle are outside for a press.
        for (QPoint p :
             {QPoint(canvas.left(), canvas.top() + 10), QPoint(canvas.left() + 10, canvas.top())}) {
            dlg_->OnLButtonDown(p);
            dlg_->OnMouseMove(p + QPoint(5, 5));
            dlg_->OnLButtonUp(p + QPoint(5, 5));
        }
        QCOMPARE(Map(), fresh);
        QCOMPARE(dlg_->document().history().count(), 1);

        // A drag from inside reaches column 0. The thickness chosen during the stroke waits for
        // the next one.
        auto* thickness = qobject_cast<QComboBox*>(dlg_->Control(ctrl::Thickness));
        dlg_->OnLButtonDown(Client({5, 10}));
        dlg_->OnMouseMove(QPoint(canvas.left() - 50, canvas.top() + 10));
        thickness->setCurrentIndex(0);
        dlg_->OnMouseMove(QPoint(canvas.left() - 50, canvas.top() + 12));
        dlg_->OnLButtonUp(QPoint(canvas.left() - 50, canvas.top() + 12));
        QCOMPARE(Map().pixel(0, 10), kRed);
        QCOMPARE(Map().pixel(0, 15), kRed); // still 8 pixels wide
        QCOMPARE(dlg_->document().history().count(), 2);

        // A real mouse drag far beyond the window runs along the border with the new width 1 and
        // makes one undo step.
        Load(40, 30);
        dlg_->document().setLevel(0);
        QTest::mousePress(dlg_.get(), Qt::LeftButton, {}, Client({20, 15}));
        QCOMPARE(dlg_->document().penWidth(), 1);
        QTest::mouseMove(dlg_.get(), QPoint(-100, Client({0, 15}).y()));
        QTest::mouseMove(dlg_.get(), QPoint(-100, -100));
        QTest::mouseMove(dlg_.get(), QPoint(1000, -100));
        QTest::mouseRelease(dlg_.get(), Qt::LeftButton, {}, QPoint(1000, -100));
        QCOMPARE(dlg_->document().history().count(), 2);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                // Width-1 segments leave out their end point: the last one stops at x 38.
                const bool border =
                    (y == 15 && x <= 20) || (x == 0 && y <= 15) || (y == 0 && x <= 38);
                QCOMPARE(Map().pixel(x, y), border ? kRed : kPurple);
            }
    }

    void paletteClearAndPick() {
        Load(40, 30);
        const QRect bar = dlg_->PaletteRect;
        const int y = bar.top() + 8;
        // A click on the bar selects the cell under it.
        for (int level : {8, 0}) {
            QTest::mouseClick(dlg_.get(), Qt::LeftButton, {},
                              QPoint(bar.left() + 16 * level + 8, y));
            QCOMPARE(dlg_->document().level(), level);
        }

        // The right button picks a palette colour; any other colour keeps the selection.
        Stroke(2, {{10, 10}, {12, 10}});
        const QImage painted = Map();
        dlg_->document().setLevel(5);
        QTest::mouseClick(dlg_.get(), Qt::RightButton, {}, Client({10, 10}));
        QCOMPARE(dlg_->document().level(), 2);
        QImage odd = painted;
        odd.setPixel(30, 20, qRgb(1, 2, 3));
        QVERIFY(odd.save(Path(QStringLiteral("odd.bmp"))));
        QVERIFY(dlg_->document().LoadDepthMap(Path(QStringLiteral("odd.bmp"))));
        QTest::mouseClick(dlg_.get(), Qt::RightButton, {}, Client({30, 20}));
        QCOMPARE(dlg_->document().level(), 2);

        // Clear asks first: No changes nothing, Yes clears as one undo step.
        const QImage before = Map();
        prompts_.yesNoAnswers = {false, true};
        dlg_->OnClear();
        QCOMPARE(Map(), before);
        QCOMPARE(dlg_->document().history().count(), 3);
        dlg_->OnClear();
        QCOMPARE(prompts_.yesNoCalls.at(1).text,
                 QStringLiteral("立体情報をクリアしてよろしいですか？"));
        QCOMPARE(prompts_.yesNoCalls.at(1).caption, QStringLiteral("Kelvaro"));
        QCOMPARE(Map().pixel(10, 10), kPurple);
        QCOMPARE(Map().pixel(30, 20), kPurple);
        QCOMPARE(dlg_->document().history().count(), 4);
        dlg_->OnUndo();
        QCOMPARE(Map(), odd);

        // The fill tool fills where the real mouse clicks, as one undo step.
        QTest::mouseClick(dlg_->Control(ctrl::Fill), Qt::LeftButton);
        dlg_->document().setLevel(4);
        QTest::mouseClick(dlg_.get(), Qt::LeftButton, {}, Client({30, 5}));
        QCOMPARE(Map().pixel(30, 5), ArgbFromColorref(DepthPalette[4]));
        QCOMPARE(Map().pixel(11, 10), ArgbFromColorref(DepthPalette[2]));
        QCOMPARE(dlg_->document().history().position(), 3);
    }

    // The window draws the selection mark where the click chose the level: the ninth, black
    // cell.
    void selectionMarkFollowsTheClick() {
        Load(4, 5);
        const QRect bar = dlg_->PaletteRect;
        QCOMPARE(Grab().pixel(bar.left() + 129, bar.top() + 8), kBlack);
        QTest::mouseClick(dlg_.get(), Qt::LeftButton, {}, QPoint(bar.left() + 140, bar.top() + 8));
        const QImage shown = Grab();
        QCOMPARE(shown.pixel(bar.left() + 129, bar.top() + 8), 0xffffffff);
        QCOMPARE(shown.pixel(bar.left() + 143, bar.top() + 8), 0xffffffff);
        QCOMPARE(shown.pixel(bar.left() + 136, bar.top() + 8), kBlack);
    }

    void gifDirections() {
        // Below about 210 pixels along its axis a picture does not sway at all.
        Load(240, 240);
        Stroke(0, {{60, 60}, {180, 180}});
        for (int direction : {0, 1}) {
            const QString path =
                Path(direction == 0 ? QStringLiteral("横揺れ") : QStringLiteral("縦揺れ.gif"));
            GenerateGif(path, direction, 0);
            QCOMPARE(prompts_.messages,
                     QStringList(QStringLiteral("GIFファイルを生成しました。\n") + path +
                                 (direction == 0 ? QStringLiteral(".gif") : QString())));

            // The frame at the widest angle is the rendered one of that direction.
            QImageReader reader(direction == 0 ? path + QStringLiteral(".gif") : path);
            QImage frame;
            for (int k = 0; k <= 2; ++k)
                QVERIFY(reader.read(&frame));
            frame.convertTo(QImage::Format_RGB32);
            const auto rendered = [&](SwayDirection d) {
                return RenderSwayFrames(dlg_->document().picture(), dlg_->document().depthMap(),
                                        d)[2]
                    .image();
            };
            const double near = MeanDifference(frame, rendered(SwayDirection(direction)));
            const double far = MeanDifference(frame, rendered(SwayDirection(1 - direction)));
            QVERIFY2(near < 2 && far > 4 * near,
                     qPrintable(QStringLiteral("%1 %2").arg(near).arg(far)));
        }
    }

    // A name from the WebP filter is written as a full-colour WebP, frame for frame.
    void webpFromTheSaveDialog() {
        Load(240, 200);
        Stroke(0, {{60, 60}, {180, 150}});
        const QString path = Path(QStringLiteral("揺れ.webp"));
        GenerateGif(path, 0, 0);
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("WebPファイルを生成しました。\n") + path));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("webp"));
        QCOMPARE(reader.imageCount(), FrameCount);
        QImage frame;
        for (int k = 0; k <= 2; ++k)
            QVERIFY(reader.read(&frame));
        frame.convertTo(QImage::Format_RGB32);
        // Lossy, so the frame is compared with its own rendered frame and the opposite one.
        const auto rendered = RenderSwayFrames(
            dlg_->document().picture(), dlg_->document().depthMap(), SwayDirection::Horizontal);
        const double near = MeanDifference(frame, rendered[2].image());
        const double far = MeanDifference(frame, rendered[6].image());
        QVERIFY2(far > 3 * near, qPrintable(QStringLiteral("%1 %2").arg(near).arg(far)));
    }

    // A name from the MP4 filter is written as a video of the repeated cycle, and the message
    // names a video, in both languages.
    void mp4FromTheSaveDialog() {
        Load(240, 200);
        Stroke(0, {{60, 60}, {180, 150}});
        const QString path = Path(QStringLiteral("揺れ.mp4"));
        GenerateGif(path, 0, 2);
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("MP4動画を生成しました。\n") + path));
        // The progress window runs through the encoding to its end.
        QCOMPARE(progress_, QList<int>({0, 0, 1, 2, 3, 4, 5, 6, 7, 256, 0, 2, 4, 6, 8, 256}));
        const DecodedVideo video = DecodeVideo(path);
        QVERIFY(video.ok);
        QCOMPARE(video.codec, QStringLiteral("h264"));
        QCOMPARE(QSize(video.width, video.height), QSize(120, 100));
        QCOMPARE(video.frames.size(), size_t(7 * FrameCount));
        const Translations english(Language::English);
        QVERIFY(english.complete());
        GenerateGif(path, 0, std::nullopt);
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("Generating the MP4 video was stopped.")));
        GenerateGif(path, 0, 4);
        QCOMPARE(prompts_.messages.value(0).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("The MP4 video was generated."));
    }

    // The end messages name the format written: the GIF sentences for a GIF, the same naming
    // WebP for a WebP, in both languages; the generate dialog's title likewise.
    void endMessagesNameTheFormat() {
        Load(40, 30);
        const QString locked = UnreplaceablePath(dir_, ".webp");
        WriteBytes(locked, "old");
        const struct {
            Language language;
            const char* title;
            const char* written;
            const char* cancelled;
            const char* failed;
        } cases[] = {
            {Language::Japanese, "WebPファイルを生成する", "WebPファイルを生成しました。",
             "WebPファイルの生成を中断しました。", "WebPファイルを保存できませんでした。"},
            {Language::English, "Generate WebP file", "The WebP file was generated.",
             "Generating the WebP file was stopped.", "The WebP file could not be saved."},
        };
        const auto firstLine = [this] {
            return prompts_.messages.size() == 1
                       ? prompts_.messages[0].section(QLatin1Char('\n'), 0, 0)
                       : QStringLiteral("%1 messages").arg(prompts_.messages.size());
        };
        for (const auto& c : cases) {
            const Translations translations(c.language);
            QVERIFY(translations.complete());
            QCOMPARE(GenerateTitleFor(SettingsFor(FileDialogUse::GenerateGif)
                                          .filter.section(QStringLiteral(";;"), 1, 1)),
                     QString::fromUtf8(c.title));
            GenerateGif(Path(QStringLiteral("揺れ.webp")), 0, 4);
            QCOMPARE(firstLine(), QString::fromUtf8(c.written));
            GenerateGif(Path(QStringLiteral("揺れ.webp")), 0, std::nullopt);
            QCOMPARE(firstLine(), QString::fromUtf8(c.cancelled));
            GenerateGif(locked, 0, 4);
            QCOMPARE(firstLine(), QString::fromUtf8(c.failed));
            // A GIF keeps the GIF sentences.
            GenerateGif(Path(QStringLiteral("揺れ.gif")), 0, std::nullopt);
            QCOMPARE(firstLine(), c.language == Language::Japanese
                                      ? QStringLiteral("GIFファイルの生成を中断しました。")
                                      : QStringLiteral("Generating the GIF file was stopped."));
        }
    }

    void gifCancelsProgressAndFailure() {
        Load(40, 30);
        const QString gif = Path(QStringLiteral("動き.gif"));
        const QByteArray old = WriteBytes(gif, "old gif");
        const QList<int> firstHalf = {0, 0, 1, 2, 3, 4, 5, 6, 7, 256};

        // Cancelling each dialog in turn: nothing is asked after it, nothing written.
        const struct {
            int answered; // dialogs answered before the cancel
            QStringList messages;
            QList<int> progress;
        } cancels[] = {
            {0, {}, {}},
            {1, {}, {}},
            {2, {QStringLiteral("GIFファイルの生成を中断しました。")}, firstHalf},
            {3, {QStringLiteral("GIFファイルの生成を中断しました。")}, firstHalf},
        };
        const QStringList asked = {"AskFilePath", "AskSwayDirection", "AskOutputSize",
                                   "AskSizeLimit"};
        for (const auto& c : cancels) {
            GenerateGif(c.answered > 0 ? gif : QString(),
                        c.answered > 1 ? std::optional(0) : std::nullopt,
                        c.answered > 2 ? std::optional(0) : std::nullopt, {std::nullopt});
            QStringList calls = asked.mid(0, c.answered + 1);
            if (!c.messages.isEmpty())
                calls << QStringLiteral("ShowMessage");
            QCOMPARE(prompts_.calls, calls);
            QCOMPARE(prompts_.fileDialogUses, std::vector(1, FileDialogUse::GenerateGif));
            QCOMPARE(prompts_.messages, c.messages);
            QCOMPARE(progress_, c.progress);
            QCOMPARE(ReadAll(gif), old);
        }

        // A full run replaces the file with 8 frames of the chosen size. A file dropped while it
        // renders is turned away: the picture and map being read stay as they are.
        QMimeData dropped;
        dropped.setUrls(
            {QUrl::fromLocalFile(WritePicture(Path(QStringLiteral("途中.png")), 9, 9))});
        bool dropAccepted = false;
        dlg_->SetProgressSink([&](int command) {
            progress_ << command;
            if (command != 3)
                return;
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &dropped, Qt::LeftButton, {});
            QCoreApplication::sendEvent(dlg_.get(), &enter);
            QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &dropped, Qt::LeftButton, {});
            QCoreApplication::sendEvent(dlg_.get(), &drop);
            dropAccepted = enter.isAccepted() || drop.isAccepted();
        });
        GenerateGif(gif, 1, 2);
        QVERIFY(!dropAccepted);
        QCOMPARE(dlg_->document().size(), QSize(40, 30));
        QCOMPARE(progress_, firstHalf + QList<int>({0, 2, 4, 6, 8, 256}));
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("GIFファイルを生成しました。\n") + gif));
        QImageReader reader(gif);
        QCOMPARE(reader.imageCount(), 8);
        for (int k = 0; k < 8; ++k)
            QCOMPARE(reader.read().size(), QSize(20, 15));

        // A write that fails says so, hides the progress and keeps the old file.
        const QString locked = UnreplaceablePath(dir_, ".gif");
        WriteBytes(locked, old);
        GenerateGif(locked, 0, 4);
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("GIFファイルを保存できませんでした。\n\n"
                                            "ファイル名が長すぎます")));
        QCOMPARE(progress_.last(), 256);
        QCOMPARE(ReadAll(locked), old);
    }

    // After the output size the flow asks a limit on the file's size. Left empty it writes the
    // bytes of a run without one; half the plain size is kept to, and the message adds what gave
    // way; a limit nothing meets fails with that reason and writes nothing. The last text is
    // offered again, and one that cannot be read is asked again.
    void sizeLimitInTheGenerateFlow() {
        prompts_.messages.clear();
        QVERIFY(dlg_->LoadPicture(WritePhoto(Path(QStringLiteral("写真.png")), 240, 200)));
        Stroke(0, {{60, 60}, {180, 150}});
        const QString plain = Path(QStringLiteral("上限なし.gif"));
        GenerateGif(plain, 0, 0);
        QCOMPARE(prompts_.calls, QStringList({"AskFilePath", "AskSwayDirection", "AskOutputSize",
                                              "AskSizeLimit", "ShowMessage"}));
        QCOMPARE(prompts_.sizeLimitInitials, QStringList(QString()));
        QCOMPARE(prompts_.messages,
                 QStringList(QStringLiteral("GIFファイルを生成しました。\n") + plain));
        const SwayOptions& sway = dlg_->preview().options();
        const QString direct = Path(QStringLiteral("直接.gif"));
        QVERIFY(WriteSwayAnimation(direct,
                                   RenderSwayFrames(dlg_->document().picture(),
                                                    dlg_->document().depthMap(),
                                                    SwayDirection::Horizontal, sway),
                                   QSize(240, 200), {}, {}, sway));
        const QByteArray bytes = ReadAll(plain);
        QCOMPARE(bytes, ReadAll(direct));

        const long long half = bytes.size() / 2;
        const QString limited = Path(QStringLiteral("半分.gif"));
        GenerateGif(limited, 0, 0, {QStringLiteral("8X"), QStringLiteral(" %1 ").arg(half)});
        QCOMPARE(prompts_.sizeLimitInitials, QStringList({QString(), QStringLiteral("8X")}));
        const qint64 written = QFileInfo(limited).size();
        QVERIFY2(written > 0 && written <= half, qPrintable(QString::number(written)));
        QCOMPARE(QImageReader(limited).imageCount(), FrameCount);
        const QStringList parts = prompts_.messages.value(0).split(QStringLiteral("\n\n"));
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0], QStringLiteral("GIFファイルを生成しました。\n") + limited);
        QVERIFY2(parts[1].startsWith(ByteCountText(half) + QStringLiteral(" に収めるため、")) &&
                     !parts[1].contains(QLatin1Char('\n')),
                 qPrintable(parts[1]));

        const QString none = Path(QStringLiteral("無理.gif"));
        GenerateGif(none, 0, 0, {QStringLiteral("100")});
        QCOMPARE(prompts_.sizeLimitInitials, QStringList(QString::number(half)));
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0].section(QStringLiteral("\n\n"), 0, 0),
                 QStringLiteral("GIFファイルを保存できませんでした。"));
        QVERIFY2(prompts_.messages[0]
                     .section(QStringLiteral("\n\n"), 1)
                     .startsWith(QStringLiteral("1/4 の大きさでも 100 B に収まりません")),
                 qPrintable(prompts_.messages[0]));
        QVERIFY(!QFileInfo::exists(none));
        QCOMPARE(progress_.last(), 256);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files).filter(QStringLiteral("無理")),
                 QStringList());
    }

    // Within a limit a WebP and a video are encoded several times: the progress window moves on
    // with every encoding and never back, and the line that ends the message is translated.
    void sizeLimitProgressAndEnglish() {
        prompts_.messages.clear();
        QVERIFY(dlg_->LoadPicture(WritePhoto(Path(QStringLiteral("写真.png")), 240, 200)));
        Stroke(0, {{60, 60}, {180, 150}});
        const Translations english(Language::English);
        QVERIFY(english.complete());
        for (const char* name : {"half.webp", "half.mp4"}) {
            const QString path = Path(QString::fromLatin1(name));
            GenerateGif(path, 0, 0);
            const qint64 plain = QFileInfo(path).size();
            GenerateGif(path, 0, 0, {QString::number(plain / 2)});
            QVERIFY2(QFileInfo(path).size() <= plain / 2, name);
            // The first encoding takes the bar to 4 at most, and the search's further.
            const QList<int> steps = WritingSteps();
            const QString shownSteps = QString::fromLatin1(name) + QLatin1Char(' ') +
                                       QString::number(steps.size()) + QStringLiteral(" steps");
            QVERIFY2(steps.size() >= 5 && steps.first() == 2 && steps[steps.size() - 3] >= 5 &&
                         steps.mid(steps.size() - 2) == QList<int>({8, 256}),
                     qPrintable(shownSteps));
            for (qsizetype k = 1; k + 1 < steps.size(); ++k)
                QVERIFY2(steps[k] > steps[k - 1], name);
            const QString shown = prompts_.messages.value(0).section(QStringLiteral("\n\n"), 1);
            QVERIFY2(shown.startsWith(QStringLiteral("To fit within ")), qPrintable(shown));
        }
    }
};

QTEST_MAIN(EditorCommandsTest)
#include "tst_editorcommands.moc"
