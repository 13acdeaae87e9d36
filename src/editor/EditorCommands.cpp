// The editor's commands on pictures, depth-map files, painting and undo.
#include "editor/DepthPaintDlg.h"

#include "depth/Painting.h"
#include "editor/canvas/CanvasDisplay.h"
#include "files/PictureFile.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace kelvaro {

namespace {

// Messages shown from more than one command, translated where they are shown.
const char* const kDepthOpenFailed =
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "立体情報を開けませんでした。");
const char* const kShrinkMessage =
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg",
                      "画像サイズが処理可能サイズを超えています。\n\n縮小して読み込みます。");

// The first dropped item that is a local file; web links and the like are passed over.
std::optional<QString> FirstLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return std::nullopt;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return std::nullopt;
}

} // namespace

void CDepthPaintDlg::InstallCommandHandlers() {
    SetCommandHandler(cmd::OpenPicture, [this] { OnOpenPicture(); });
    SetCommandHandler(cmd::SaveDepth, [this] { OnSaveDepthMap(); });
    SetCommandHandler(cmd::LoadDepth, [this] { OnLoadDepthMap(); });
    SetCommandHandler(cmd::LoadGreyDepth, [this] { OnLoadGreyDepth(); });
    SetCommandHandler(cmd::Clear, [this] { OnClear(); });
    SetCommandHandler(cmd::GenerateGif, [this] { OnGenerateGif(); });
    SetCommandHandler(cmd::Undo, [this] { document_.Undo(); });
    SetCommandHandler(cmd::Redo, [this] { document_.Redo(); });
    SetCommandHandler(cmd::SnapToEdges, [this] { OnSnapToEdges(); });
}

// The canvas repaints itself from the document's signals; the window follows them with the
// palette bar, the title's modified marker and the status line.
void CDepthPaintDlg::ObserveDocument() {
    connect(&document_, &EditorDocument::changed, this, [this] {
        // Comparing the whole map is left for the end of a stroke.
        if (!document_.isStroking())
            setWindowModified(document_.isModified());
    });
    connect(&document_, &EditorDocument::pictureReplaced, this, [this] {
        if (!document_.hasPicture())
            picturePath_.clear();
        UpdateActions();
        OnPictureReplaced();
    });
    connect(&document_, &EditorDocument::brushChanged, this, [this] {
        UpdateToolIcons();
        ShowBrush();
        update(PaletteRect);
    });
}

// ---- Pictures ----

std::optional<QString> CDepthPaintDlg::AskFile(FileDialogUse use) {
    const std::optional<QString> path =
        prompts_.AskFilePath(use, StartFor(use, picturePath_, lastFolder_));
    if (path)
        lastFolder_ = QFileInfo(*path).absolutePath();
    return path;
}

void CDepthPaintDlg::OnOpenPicture() {
    if (const std::optional<QString> path = AskFile(FileDialogUse::OpenPicture))
        LoadPicture(*path);
}

bool CDepthPaintDlg::LoadPicture(const QString& path) {
    const QString failed = tr("画像ファイルを開けませんでした。");
    LoadedPicture loaded = kelvaro::LoadPicture(path);
    if (loaded.image.isNull()) {
        prompts_.ShowMessage(WithReason(failed, loaded.image.reason()));
        return false;
    }
    // Asked once the new picture (from the dialog or a drop) has opened, before it replaces the
    // painted map: a picture that cannot open puts nothing at risk.
    if (!MayGiveUpDepthMap())
        return false;
    // The notice says from which size to which, so that a photo's shrinking is no surprise.
    if (loaded.shrunk)
        prompts_.ShowMessage(tr(kShrinkMessage) + QStringLiteral("\n\n%1 × %2 → %3 × %4")
                                                      .arg(loaded.fileSize.width())
                                                      .arg(loaded.fileSize.height())
                                                      .arg(loaded.image.width())
                                                      .arg(loaded.image.height()));
    const QString previous = std::exchange(picturePath_, path);
    if (const Result replaced = document_.ReplacePicture(std::move(loaded.image)); !replaced) {
        picturePath_ = previous;
        prompts_.ShowMessage(WithReason(failed, replaced.reason));
        return false;
    }
    UpdateTitle();
    UpdateStatus();
    return true;
}

// A new picture: the window takes its height, the canvas (back at 100 %) is centred in it.
void CDepthPaintDlg::OnPictureReplaced() {
    UpdateTitle();
    UpdateStatus();
    if (!document_.hasPicture())
        return;
    const QSize picture = document_.size();
    // The canvas stands as in a window of that outer size, below the second row of controls.
    SetOuterSize(QSize(layout::StartOuterSize.width(), std::max(picture.height(), 480) + 72));
    update();
}

// "NAME - Kelvaro ver.4" with the modified marker while the map has unsaved changes.
void CDepthPaintDlg::UpdateTitle() {
    const QString program = QStringLiteral("Kelvaro ver.4");
    if (!document_.hasPicture()) {
        setWindowTitle(program);
        setWindowModified(false);
        return;
    }
    const QString name = picturePath_.isEmpty() ? tr("無題") : QFileInfo(picturePath_).fileName();
    setWindowTitle(QStringLiteral("%1[*] - %2").arg(DisplayFileName(name), program));
    setWindowModified(document_.isModified());
}

QString CDepthPaintDlg::PointerStatus() const {
    const std::optional<QPoint> point = canvas_->hoverPoint();
    if (!point)
        return {};
    const std::optional<DepthLevel> level = LevelAt(document_.depthMap(), *point);
    return tr("%1, %2  段 %3")
        .arg(point->x())
        .arg(point->y())
        .arg(level ? QString::number(*level) : QStringLiteral("-"));
}

QString CDepthPaintDlg::ZoomStatus() const {
    if (!document_.hasPicture())
        return {};
    return QStringLiteral("%1 %").arg(canvas_->zoom().percent());
}

QString CDepthPaintDlg::PictureStatus() const {
    if (!document_.hasPicture())
        return {};
    const QString name = picturePath_.isEmpty() ? tr("無題") : QFileInfo(picturePath_).fileName();
    return QStringLiteral("%1  %2 × %3")
        .arg(DisplayFileName(name))
        .arg(document_.size().width())
        .arg(document_.size().height());
}

void CDepthPaintDlg::UpdateStatus() {
    pointerStatus_->setText(PointerStatus());
    zoomStatus_->setText(ZoomStatus());
    pictureStatus_->setText(PictureStatus());
}

// Drops are not user input to the event loop, so they are turned away explicitly while a GIF is
// being made: the worker is reading the picture and the map they would replace.
void CDepthPaintDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!busy_ && FirstLocalFile(event->mimeData()))
        event->acceptProposedAction();
}

void CDepthPaintDlg::dropEvent(QDropEvent* event) {
    if (busy_)
        return;
    // Only the first dropped file counts; anything that is not a local file is ignored.
    if (const std::optional<QString> path = FirstLocalFile(event->mimeData())) {
        event->acceptProposedAction();
        LoadPicture(*path);
    }
}

// ---- Depth-map files ----

void CDepthPaintDlg::OnSaveDepthMap() {
    SaveDepthMapCommand();
}

bool CDepthPaintDlg::SaveDepthMapCommand() {
    if (!document_.hasPicture())
        return false;
    const std::optional<QString> path = AskFile(FileDialogUse::SaveDepthMap);
    if (!path)
        return false;
    const QString file = WithDefaultSuffix(*path, FileDialogUse::SaveDepthMap);
    const Result saved = document_.SaveDepthMap(file);
    prompts_.ShowMessage(
        saved ? WithFileName(tr("立体情報をビットマップファイルに保存しました。"), file)
              : WithReason(tr("立体情報を保存できませんでした。"), saved.reason));
    return saved.ok;
}

bool CDepthPaintDlg::MayGiveUpDepthMap() {
    if (!document_.isModified())
        return true;
    switch (prompts_.AskSaveChanges(tr("立体情報が保存されていません。保存しますか？"))) {
    case SaveChoice::Save:
        return SaveDepthMapCommand();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void CDepthPaintDlg::OnLoadDepthMap() {
    if (!document_.hasPicture())
        return;
    const std::optional<QString> path = AskFile(FileDialogUse::LoadDepthMap);
    if (!path)
        return;
    const ResultOf<DepthMapFileLoad> load = document_.LoadDepthMap(*path);
    if (!load) {
        prompts_.ShowMessage(WithReason(tr(kDepthOpenFailed), load.reason()));
        return;
    }
    // The map is loaded either way; these say what became of it.
    if (load->fileSize != document_.size())
        prompts_.ShowMessage(
            tr("立体情報ファイルの大きさ (%1 × %2) が画像の大きさ (%3 × %4) と違います。"
               "\n\n左上をそろえて、拡大・縮小せずに読み込みました。")
                .arg(load->fileSize.width())
                .arg(load->fileSize.height())
                .arg(document_.size().width())
                .arg(document_.size().height()));
    if (load->offPalettePixels > 0)
        prompts_.ShowMessage(
            tr("立体情報の色ではない画素が %1 個あります。これらは最も手前の段 (赤) "
               "として扱われます。\n\nグレースケールの深度画像は「立体情報」の"
               "「グレースケール画像から読み込む...」で読み込めます。")
                .arg(load->offPalettePixels));
}

void CDepthPaintDlg::OnLoadGreyDepth() {
    if (!document_.hasPicture())
        return;
    const std::optional<QString> path = AskFile(FileDialogUse::LoadGreyDepth);
    if (!path)
        return;
    // Decoded before the question, so a file that is no picture does not ask it in vain.
    const ImageHandle grey = ReadGreyDepthFile(*path);
    if (grey.isNull()) {
        prompts_.ShowMessage(WithReason(tr(kDepthOpenFailed), grey.reason()));
        return;
    }
    const std::optional<int> near = prompts_.AskGreyDepthNear(greyDepthNear_);
    if (!near)
        return;
    greyDepthNear_ = *near;
    GreyDepthOptions options;
    options.blackNear = *near == 1;
    if (!document_.ImportGreyDepth(grey, options))
        prompts_.ShowMessage(tr(kDepthOpenFailed));
}

// ---- Painting ----

void CDepthPaintDlg::OnClear() {
    if (!document_.hasPicture())
        return;
    if (!prompts_.AskYesNo(QStringLiteral("Kelvaro"), tr("立体情報をクリアしてよろしいですか？")))
        return;
    document_.Clear();
}

// Tens of milliseconds on the largest picture, so it runs here, under a busy pointer.
void CDepthPaintDlg::OnSnapToEdges() {
    if (!document_.hasPicture())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.SnapToEdges(kDefaultSnapRadius);
    QApplication::restoreOverrideCursor();
}

void CDepthPaintDlg::OnLButtonDown(QPoint client, Qt::KeyboardModifiers modifiers) {
    if (const std::optional<DepthLevel> level = PaletteLevelAt(client, PaletteRect)) {
        document_.setLevel(*level);
        return;
    }
    if (canvas_->geometry().contains(client))
        canvas_->PressAt(canvas_->viewport()->mapFrom(this, client), modifiers);
}

// The canvas's tool of the press gets the moves and the release wherever the pointer goes.
void CDepthPaintDlg::OnMouseMove(QPoint client) {
    canvas_->MoveTo(canvas_->viewport()->mapFrom(this, client));
}

void CDepthPaintDlg::OnLButtonUp(QPoint client) {
    canvas_->ReleaseAt(canvas_->viewport()->mapFrom(this, client));
}

void CDepthPaintDlg::OnRButtonUp(QPoint client) {
    if (canvas_->geometry().contains(client))
        canvas_->PickAt(canvas_->viewport()->mapFrom(this, client));
}

void CDepthPaintDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->position().toPoint(), event->modifiers());
}

void CDepthPaintDlg::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
}

void CDepthPaintDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonUp(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        OnRButtonUp(event->position().toPoint());
}

} // namespace kelvaro
