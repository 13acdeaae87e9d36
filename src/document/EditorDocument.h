#pragma once

#include "depth/DepthMap.h"
#include "depth/EdgeSnap.h"
#include "depth/GreyDepth.h"
#include "depth/Painting.h"
#include "depth/PicturePainting.h"
#include "depth/UndoHistory.h"
#include "files/PictureFile.h"
#include "imaging/ImageHandle.h"
#include "imaging/Imaging.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace kelvaro {

// What the editor edits: the picture, its depth map and the undo history, with the brush (tool,
// level, pen width). Every operation takes map coordinates and knows nothing of windows; views
// observe the signals. All state changes pass through the operations below, each of which
// finishes its change (history included) before it signals.
class EditorDocument : public QObject {
    Q_OBJECT

public:
    explicit EditorDocument(QObject* parent = nullptr) : QObject(parent) {}

    // ---- State ----
    // A picture and its depth map exist.
    bool hasPicture() const { return loaded_; }
    const ImageHandle& picture() const { return picture_; }
    const DepthMap& depthMap() const { return map_; }
    // The picture's (and the map's) size; empty without a picture.
    QSize size() const { return QSize(map_.width(), map_.height()); }
    const UndoHistory& history() const { return history_; }

    PaintTool tool() const { return tool_; }
    DepthLevel level() const { return level_; }
    // The width the next stroke paints with; a stroke keeps the width it started with.
    int penWidth() const { return penWidth_; }
    void setTool(PaintTool tool);
    void setLevel(DepthLevel level);
    void setPenWidth(int width);
    // "手前を保護": while on, the pen, both fills, the gradient and the snap leave pixels of a
    // nearer level than the one they paint alone (see MayOverwrite); the eraser ignores it.
    bool protectNearer() const { return protectNearer_; }
    void setProtectNearer(bool on);
    // The colour fill's tolerance, 0 to 255.
    int colourTolerance() const { return colourTolerance_; }
    void setColourTolerance(int tolerance);

    // A pen or eraser stroke is in progress (between BeginStroke and EndStroke).
    bool isStroking() const { return stroking_; }

    // ---- Pictures and depth-map files ----
    // Replaces the picture, makes a fresh depth map of its size and starts the history again.
    // When the picture is null or no map can be made, nothing changes and the reason is returned.
    Result ReplacePicture(ImageHandle picture);
    // Forgets the picture and the depth map (the undo history stays).
    void Release();
    // Copies a depth-map file onto the map (see LoadDepthMapFile) as one undo step, and reports
    // the file's size and its pixels of no palette colour. Fails without a picture; a failed load
    // changes nothing.
    ResultOf<DepthMapFileLoad> LoadDepthMap(const QString& path);
    // Replaces the whole map with one snapped from a decoded grey depth image (see DepthFromGrey),
    // as one undo step. Fails without a picture or image; a failure changes nothing.
    Result ImportGreyDepth(const ImageHandle& grey, const GreyDepthOptions& options);
    Result SaveDepthMap(const QString& path);
    // The depth map differs from the one it had when the picture was opened or the map was last
    // saved or loaded (painting that was undone again is no change).
    bool isModified() const;

    // ---- Editing; each does nothing without a picture ----
    // A stroke of the current tool (pen: the selected level, eraser: the base level). The press
    // paints a dot of the pen width, each move a segment from the last point (clamped into the
    // map), the release its last segment; the whole stroke is one undo step.
    void BeginStroke(QPoint point);
    void ContinueStroke(QPoint point);
    void EndStroke(QPoint point);
    // Flood fill with the selected level; records an undo step even when nothing changed.
    void Fill(QPoint seed);
    // The operations that look at the picture (see PicturePainting.h and EdgeSnap.h). Each is
    // one undo step when it changed something (none otherwise) and reports the rectangle it
    // changed (an empty one when nothing changed).
    // Fill by the picture's colour from the seed, with the selected level and the tolerance.
    void ColourFill(QPoint seed);
    // The gradient from the selected level at a to the base level at b over the fill region of a.
    void Gradient(QPoint a, QPoint b);
    // Moves the map's borders onto the picture's edges within the radius.
    void SnapToEdges(int radius = kDefaultSnapRadius);
    // Selects the level of the map colour under the point; false (selection kept) for a colour
    // outside the palette or a point off the map.
    bool Pick(QPoint point);
    // Sets the whole map to the base level, as one undo step.
    void Clear();
    // One step back or forward; reports the whole map changed even when there was no step.
    void Undo();
    void Redo();

signals:
    // Map pixels inside `mapRect` may have changed. For a stroke segment this is its repaint box,
    // which may reach beyond the map; the whole map for everything else (empty without a map).
    void changed(const QRect& mapRect);
    // The picture was replaced or released; changed() for the whole new map follows.
    void pictureReplaced();
    // The tool, the level or the pen width was set.
    void brushChanged();

private:
    QRect PaintSegment(QPoint from, QPoint to);
    void Finish(const QRect& changedRect);
    void Changed(const QRect& mapRect) { emit changed(mapRect); }
    void ChangedAll() { emit changed(map_.rect()); }

    ImageHandle picture_;
    DepthMap map_;
    // The map as last opened, saved or loaded; shares the map's pixels until they are painted.
    QImage unmodified_;
    bool loaded_ = false;
    UndoHistory history_;
    PaintTool tool_ = PaintTool::Pen;
    DepthLevel level_ = 0;
    int penWidth_ = 8;
    bool protectNearer_ = false;
    int colourTolerance_ = kDefaultColourTolerance;
    bool stroking_ = false;
    int strokeWidth_ = 8;
    QPoint last_;
};

} // namespace kelvaro
