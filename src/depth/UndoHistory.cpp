#include "depth/UndoHistory.h"

#include <iterator>

namespace kelvaro {

void UndoHistory::Clear() {
    entries_.clear();
    position_ = -1;
}

void UndoHistory::Reset(const DepthMap& map) {
    Clear();
    entries_.push_back(map.CopyOut());
    position_ = 0;
}

void UndoHistory::RecordSnapshot(const DepthMap& map) {
    if (position_ < count() - 1)
        entries_.erase(std::next(entries_.begin(), position_ + 1), entries_.end());
    entries_.push_back(map.CopyOut());
    ++position_;
    if (count() > kMaxEntries) {
        entries_.pop_front();
        --position_;
    }
}

bool UndoHistory::Undo(DepthMap& map) {
    if (!map.exists() || !CanUndo())
        return false;
    --position_;
    Restore(map);
    return true;
}

bool UndoHistory::Redo(DepthMap& map) {
    if (!map.exists() || !CanRedo())
        return false;
    ++position_;
    Restore(map);
    return true;
}

QImage UndoHistory::snapshot(int index) const {
    if (index < 0 || index >= count())
        return {};
    return std::next(entries_.begin(), index)->image();
}

void UndoHistory::Restore(DepthMap& map) const {
    // The entry keeps its own image untouched so it can be restored again; an entry whose
    // snapshot could not be taken leaves the map as it is.
    const ImageHandle& entry = *std::next(entries_.begin(), position_);
    if (entry.isNull())
        return;
    const ImageHandle copy = DuplicateImage(entry);
    map.CopyIn(copy);
}

} // namespace kelvaro
