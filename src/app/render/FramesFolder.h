#pragma once

#include "imaging/Imaging.h"

#include <vector>

namespace kelvaro {

// The name of frame k in a frames folder.
QString FrameFileName(int k);

// Writes the frames as frame-0.png ... into the folder `folder` (created with its parents when
// missing), all or nothing: they are written into a new temporary folder beside it and moved into
// place only when every one is written. Frames an earlier run left there are replaced together;
// a failure leaves the folder as it was, and concurrent runs into one folder take turns, so their
// frames never mix. With noClobber, existing frames are refused instead of replaced.
Result WriteFramesFolder(const QString& folder, const std::vector<ImageHandle>& frames,
                         bool noClobber);

} // namespace kelvaro
