#pragma once

#include "depth/DepthMap.h"
#include "imaging/ImageHandle.h"

#include <list>

namespace kelvaro {

// Whole-map snapshots of the depth map's recent states, at most kMaxEntries, with the position of
// the state the map shows now. Entries after the position are redo states, entries before it
// undo states. Undo and redo copy an entry back over the map; they do not repaint.
class UndoHistory {
public:
    static constexpr int kMaxEntries = 8;

    // Forgets every entry and starts again from one snapshot of the map (a fresh picture).
    void Reset(const DepthMap& map);
    // Forgets every entry (no picture): undo and redo then do nothing.
    void Clear();

    // After a finished edit: drops the redo states, appends a snapshot of the map and moves to
    // it; beyond kMaxEntries the oldest entry goes.
    void RecordSnapshot(const DepthMap& map);

    // One step back or forward, restoring the map from that entry. Nothing happens (and false is
    // returned) without a map or at the oldest / newest entry.
    bool Undo(DepthMap& map);
    bool Redo(DepthMap& map);

    bool CanUndo() const { return position_ >= 1; }
    bool CanRedo() const { return position_ >= 0 && position_ < count() - 1; }

    int count() const { return int(entries_.size()); }
    // Index of the entry the map matches now, counted from the oldest at 0; -1 when empty.
    int position() const { return position_; }
    // The snapshot held by an entry, shared, not copied (a null image for an index out of range).
    QImage snapshot(int index) const;

private:
    void Restore(DepthMap& map) const;

    std::list<ImageHandle> entries_;
    int position_ = -1;
};

} // namespace kelvaro
