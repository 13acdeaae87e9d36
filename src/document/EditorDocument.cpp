#include "document/EditorDocument.h"

#include "files/PictureFile.h"
#include "imaging/SystemLimits.h"

#include <algorithm>

namespace kelvaro {

void EditorDocument::setTool(PaintTool tool) {
    tool_ = tool;
    emit brushChanged();
}

void EditorDocument::setLevel(DepthLevel level) {
    level_ = std::clamp(level, 0, kLevelCount - 1);
    emit brushChanged();
}

void EditorDocument::setPenWidth(int width) {
    penWidth_ = width;
    emit brushChanged();
}

void EditorDocument::setProtectNearer(bool on) {
    protectNearer_ = on;
    emit brushChanged();
}

void EditorDocument::setColourTolerance(int tolerance) {
    colourTolerance_ = std::clamp(tolerance, 0, 255);
    emit brushChanged();
}

Result EditorDocument::ReplacePicture(ImageHandle picture) {
    if (picture.isNull())
        return Result::Failure(picture.reason());
    DepthMap map;
    if (!map.Create(picture.width(), picture.height()))
        return Result::Failure(NoMemoryReason()); // no room for its depth map
    stroking_ = false;
    picture_ = std::move(picture);
    map_ = std::move(map);
    loaded_ = true;
    unmodified_ = map_.surface();
    history_.Reset(map_);
    emit pictureReplaced();
    ChangedAll();
    return Result::Success();
}

void EditorDocument::Release() {
    stroking_ = false;
    picture_.reset();
    map_.Release();
    unmodified_ = QImage();
    loaded_ = false;
    emit pictureReplaced();
    ChangedAll();
}

ResultOf<DepthMapFileLoad> EditorDocument::LoadDepthMap(const QString& path) {
    if (!loaded_)
        return ResultOf<DepthMapFileLoad>::Failure(QStringLiteral("no picture"));
    const ResultOf<DepthMapFileLoad> loaded = LoadDepthMapFile(path, map_);
    if (!loaded)
        return loaded;
    // A step of its own, so undo after "load, stroke" takes back only the stroke.
    history_.RecordSnapshot(map_);
    unmodified_ = map_.surface();
    ChangedAll();
    return loaded;
}

Result EditorDocument::ImportGreyDepth(const ImageHandle& grey, const GreyDepthOptions& options) {
    if (!loaded_)
        return Result::Failure(QStringLiteral("no picture"));
    const ImageHandle depth = DepthFromGrey(grey.image(), map_.width(), map_.height(), options);
    if (depth.isNull())
        return Result::Failure(depth.reason());
    map_.CopyIn(depth);
    history_.RecordSnapshot(map_);
    ChangedAll();
    return Result::Success();
}

Result EditorDocument::SaveDepthMap(const QString& path) {
    if (!loaded_)
        return Result::Failure(QStringLiteral("no picture"));
    const Result saved = SaveDepthMapFile(path, map_);
    if (saved)
        unmodified_ = map_.surface();
    return saved;
}

bool EditorDocument::isModified() const {
    return loaded_ && map_.surface() != unmodified_;
}

QRect EditorDocument::PaintSegment(QPoint from, QPoint to) {
    DrawStrokeSegment(map_, from, to, strokeWidth_, StrokeColour(tool_, level_),
                      protectNearer_ && tool_ == PaintTool::Pen);
    // The repaint box the canvas has always used, moved to map coordinates.
    return StrokeInvalidRect(from, to, strokeWidth_, QPoint(0, 0));
}

void EditorDocument::BeginStroke(QPoint point) {
    if (!loaded_)
        return;
    // A press while a stroke is open (its release went elsewhere) starts the stroke afresh.
    stroking_ = true;
    strokeWidth_ = penWidth_;
    last_ = point;
    Changed(PaintSegment(point, point));
}

void EditorDocument::ContinueStroke(QPoint point) {
    if (!stroking_)
        return;
    const QPoint p = ClampToMap(point, size());
    const QRect box = PaintSegment(last_, p);
    last_ = p;
    Changed(box);
}

void EditorDocument::EndStroke(QPoint point) {
    if (!stroking_)
        return;
    const QPoint p = ClampToMap(point, size());
    const QRect box = PaintSegment(last_, p);
    last_ = p;
    stroking_ = false;
    history_.RecordSnapshot(map_); // one stroke, one undo step
    Changed(box);
}

void EditorDocument::Fill(QPoint seed) {
    if (!loaded_)
        return;
    kelvaro::Fill(map_, seed, DepthPalette[size_t(level_)], protectNearer_);
    history_.RecordSnapshot(map_); // also when nothing changed
    ChangedAll();
}

void EditorDocument::Finish(const QRect& changedRect) {
    if (!changedRect.isEmpty())
        history_.RecordSnapshot(map_);
    Changed(changedRect);
}

void EditorDocument::ColourFill(QPoint seed) {
    if (!loaded_)
        return;
    Finish(kelvaro::ColourFill(picture_.image(), map_, seed, level_, colourTolerance_,
                               protectNearer_));
}

void EditorDocument::Gradient(QPoint a, QPoint b) {
    if (!loaded_)
        return;
    Finish(GradientFill(map_, a, b, level_, protectNearer_));
}

void EditorDocument::SnapToEdges(int radius) {
    if (!loaded_)
        return;
    SnapOptions options;
    options.radius = radius;
    options.protectNearer = protectNearer_;
    Finish(kelvaro::SnapToEdges(picture_.image(), map_, options));
}

bool EditorDocument::Pick(QPoint point) {
    if (!loaded_)
        return false;
    const std::optional<DepthLevel> picked = LevelAt(map_, point);
    if (picked)
        setLevel(*picked);
    return picked.has_value();
}

void EditorDocument::Clear() {
    if (!loaded_)
        return;
    map_.Clear();
    history_.RecordSnapshot(map_);
    ChangedAll();
}

void EditorDocument::Undo() {
    history_.Undo(map_);
    ChangedAll();
}

void EditorDocument::Redo() {
    history_.Redo(map_);
    ChangedAll();
}

} // namespace kelvaro
