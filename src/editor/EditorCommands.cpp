// The editor's commands on pictures, depth-map files, painting and undo.
#include "editor/DepthPaintDlg.h"

#include "depth/Painting.h"
#include "editor/canvas/CanvasDisplay.h"
#include "files/PictureFile.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace kelvaro {

namespace {

const QString kShrinkMessage =
    QStringLiteral("画像サイズが処理可能サイズを超えています。\n\n縮小して読み込みます。");

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
    SetCommandHandler(cmd::Clear, [this] { OnClear(); });
    SetCommandHandler(cmd::GenerateGif, [this] { OnGenerateGif(); });
    // Undo and redo repaint the canvas even when there was no step to take.
    SetCommandHandler(cmd::Undo, [this] {
        m_history.Undo(m_depthMap);
        update(CanvasRect);
    });
    SetCommandHandler(cmd::Redo, [this] {
        m_history.Redo(m_depthMap);
        update(CanvasRect);
    });
}

// ---- Pictures ----

void CDepthPaintDlg::OnOpenPicture() {
    if (const std::optional<QString> path = prompts_.AskFilePath(FileDialogUse::OpenPicture))
        LoadPicture(*path);
}

bool CDepthPaintDlg::LoadPicture(const QString& path) {
    LoadedPicture loaded = kelvaro::LoadPicture(path);
    DepthMap map;
    if (loaded.image.isNull() || !map.Create(loaded.image.width(), loaded.image.height())) {
        prompts_.ShowMessage(QStringLiteral("画像ファイルを開けませんでした。"));
        return false;
    }
    if (loaded.shrunk)
        prompts_.ShowMessage(kShrinkMessage);

    ReleaseCanvas();
    SourceImage = std::move(loaded.image);
    m_nWidth = SourceImage.width();
    m_nHeight = SourceImage.height();
    SetOuterSize(QSize(layout::StartOuterSize.width(), std::max(m_nHeight, 480) + 72));
    const QSize outer = OuterSize();
    CanvasRect = QRect((outer.width() - m_nWidth) / 2 - 3,
                       (outer.height() - m_nHeight - 42) / 2 + 21, m_nWidth, m_nHeight);
    m_depthMap = std::move(map);
    m_bLoaded = true;
    m_history.Reset(m_depthMap);
    setWindowTitle(QStringLiteral("Kelvaro ver.4"));
    update();
    return true;
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
    if (!m_bLoaded)
        return;
    const std::optional<QString> path = prompts_.AskFilePath(FileDialogUse::SaveDepthMap);
    if (!path)
        return;
    const Result saved =
        SaveDepthMapFile(WithDefaultSuffix(*path, FileDialogUse::SaveDepthMap), m_depthMap);
    prompts_.ShowMessage(saved ? QStringLiteral("立体情報をビットマップファイルに保存しました。")
                               : QStringLiteral("立体情報を保存できませんでした。"));
}

void CDepthPaintDlg::OnLoadDepthMap() {
    if (!m_bLoaded)
        return;
    const std::optional<QString> path = prompts_.AskFilePath(FileDialogUse::LoadDepthMap);
    if (!path)
        return;
    // Not an undo step: the history's current entry still holds the map from before the load.
    if (!LoadDepthMapFile(*path, m_depthMap)) {
        prompts_.ShowMessage(QStringLiteral("立体情報を開けませんでした。"));
        return;
    }
    update(CanvasRect);
}

// ---- Painting ----

void CDepthPaintDlg::OnClear() {
    if (!m_bLoaded)
        return;
    if (!prompts_.AskYesNo(QStringLiteral("Kelvaro"),
                           QStringLiteral("立体情報をクリアしてよろしいですか？")))
        return;
    m_depthMap.Clear();
    m_history.RecordSnapshot(m_depthMap);
    update(CanvasRect);
}

void CDepthPaintDlg::DrawStrokeSegment(QPoint from, QPoint to) {
    kelvaro::DrawStrokeSegment(m_depthMap, from, to, m_nPenWidth,
                               StrokeColour(PaintTool(m_nTool), m_nLevel));
}

void CDepthPaintDlg::OnLButtonDown(QPoint client) {
    if (const std::optional<DepthLevel> level = PaletteLevelAt(client, PaletteRect)) {
        m_nLevel = *level;
        update(PaletteRect);
        return;
    }
    if (!m_bLoaded)
        return;
    const std::optional<QPoint> point = CanvasPointAt(client, CanvasRect);
    if (!point)
        return;
    m_ptLast = *point;
    if (PaintTool(m_nTool) == PaintTool::Fill) {
        kelvaro::Fill(m_depthMap, m_ptLast, DepthPalette[size_t(m_nLevel)]);
        m_history.RecordSnapshot(m_depthMap); // also when nothing changed
        update(CanvasRect);
        return;
    }
    // The width is read once, at the stroke start; Qt keeps sending this window the moves and
    // the release while the button is held, wherever the pointer goes.
    UpdateData(true);
    m_nPenWidth = PenWidthForThickness(m_nThickness);
    m_bDrawing = true;
    DrawStrokeSegment(m_ptLast, m_ptLast);
    update(StrokeInvalidRect(m_ptLast, m_ptLast, m_nPenWidth, CanvasRect.topLeft()));
}

void CDepthPaintDlg::OnMouseMove(QPoint client) {
    if (!m_bDrawing)
        return;
    const QPoint p = ClampToMap(client - CanvasRect.topLeft(), QSize(m_nWidth, m_nHeight));
    DrawStrokeSegment(m_ptLast, p);
    update(StrokeInvalidRect(m_ptLast, p, m_nPenWidth, CanvasRect.topLeft()));
    m_ptLast = p;
}

void CDepthPaintDlg::OnLButtonUp(QPoint client) {
    if (!m_bDrawing)
        return;
    OnMouseMove(client);
    m_bDrawing = false;
    m_history.RecordSnapshot(m_depthMap); // one stroke, one undo step
}

void CDepthPaintDlg::OnRButtonUp(QPoint client) {
    if (!m_bLoaded)
        return;
    const std::optional<QPoint> point = CanvasPointAt(client, CanvasRect);
    if (!point)
        return;
    if (const std::optional<DepthLevel> level = LevelAt(m_depthMap, *point))
        m_nLevel = *level;
    update(PaletteRect);
}

void CDepthPaintDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->position().toPoint());
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

void CDepthPaintDlg::DrawCanvasNow(QPainter& painter, const QRect& dirty) {
    CanvasState state;
    if (const QWidget* raised = Control(ctrl::RaisedLabel))
        state.raisedLabel = raised->geometry();
    state.level = m_nLevel;
    state.map = &m_depthMap;
    state.picture = &SourceImage;
    state.loaded = m_bLoaded;
    state.canvasRect = CanvasRect;
    state.view = m_nView;
    state.faint = m_bFaint;
    DrawCanvas(painter, state, PaletteRect, dirty);
}

} // namespace kelvaro
