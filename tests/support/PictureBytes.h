#pragma once

#include <QByteArray>
#include <QImage>

#include <functional>

class QImageWriter;

// Picture files built byte by byte for the tests: what Qt cannot write (TGA, headers that declare
// huge sizes, hand-made PNGs) and small edits of what it can (a JPEG's size, an orientation tag).
namespace kelvaro::testing {

// The file `format` names, encoded by Qt; empty when Qt cannot write it.
QByteArray Encode(const QImage& image, const char* format, int quality = -1,
                  const std::function<void(QImageWriter&)>& options = {});

void Be32(QByteArray& b, quint32 v);
void Le16(QByteArray& b, int v);
void Le32(QByteArray& b, quint32 v);

// zlib-compressed data, as a PNG's image data and its compressed text chunks hold.
QByteArray Zlib(const QByteArray& data);

// A PNG chunk with its length and CRC.
QByteArray PngChunk(const char* type, const QByteArray& data);

// A PNG written by hand: w x h, the given bit depth and colour type, rows of zeros (`withData`
// false leaves the image data out), `extra` chunks before the data.
QByteArray HandPng(quint32 w, quint32 h, int depth, int colourType, const QByteArray& extra = {},
                   bool withData = true);

// A BMP header that declares w x h pixels of 24 bits and carries none of them.
QByteArray HugeBmp(quint32 w, quint32 h);

// An uncompressed, top-left origin TGA (Qt reads TGA but does not write it).
QByteArray Tga(const QImage& image);

// A JPEG whose start-of-frame marker says w x h.
QByteArray WithJpegSize(QByteArray jpeg, int w, int h);

// A JPEG with an EXIF orientation tag of 6 put in front of its data: the stored picture is to be
// turned 90 degrees right.
QByteArray Oriented(QByteArray jpeg);

} // namespace kelvaro::testing
