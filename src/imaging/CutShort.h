#pragma once

#include <QByteArray>

namespace kelvaro {

// Whether a JPEG or an uncompressed BMP file ends before its picture does. Their decoders fill
// what is missing with grey or black and report success, so the structure is checked here: a
// JPEG must reach its end marker, a BMP must hold every row its header declares. False for
// other formats and for files too damaged to tell (their decoders judge those).
bool PictureFileCutShort(const QByteArray& bytes, const QByteArray& format);

} // namespace kelvaro
