#pragma once

#include <QImage>
#include <QString>

#include <vector>

// A video file read back through libavformat and libavcodec, its frames converted to 32-bit RGB
// by the matrix and range the stream declares: what a player shows.
struct DecodedVideo {
    bool ok = false;
    QString codec;       // "h264"
    QString pixelFormat; // "yuv420p"
    int width = 0, height = 0;
    int rateNum = 0, rateDen = 1; // the stream's average frame rate
    double seconds = 0;           // the container's duration
    std::vector<QImage> frames;
};

DecodedVideo DecodeVideo(const QString& path);

// The top-level boxes of an MP4 file in order ("ftyp", "moov", "mdat", ...).
QStringList Mp4Boxes(const QByteArray& bytes);

// The PSNR of b against a over the w x h rectangle at the top left, in dB (99 when equal).
double Psnr(const QImage& a, const QImage& b, int w, int h);
