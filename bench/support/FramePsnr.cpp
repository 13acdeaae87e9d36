#include "FramePsnr.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>

double MeanPsnr(const QString& file, const std::vector<kelvaro::ImageHandle>& rendered) {
    QImageReader reader(file);
    double sum = 0;
    int frames = 0;
    QImage frame;
    while (frames < int(rendered.size()) && reader.read(&frame)) {
        const QImage& reference = rendered[size_t(frames)].image();
        frame.convertTo(QImage::Format_RGB32);
        if (frame.size() != reference.size())
            return -1;
        double se = 0;
        for (int y = 0; y < frame.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const double dr = qRed(a[x]) - qRed(b[x]), dg = qGreen(a[x]) - qGreen(b[x]),
                             db = qBlue(a[x]) - qBlue(b[x]);
                se += dr * dr + dg * dg + db * db;
            }
        }
        const double mse = se / (3.0 * frame.width() * frame.height());
        // Frames past 99 dB count as 99, as a frame that is exactly the same does: no eye tells
        // them apart, and a mean of one perfect frame and one a level off in a pixel somewhere
        // should not rank above a mean of two perfect ones.
        sum += mse == 0 ? 99.0 : std::min(99.0, 10 * std::log10(255.0 * 255.0 / mse));
        ++frames;
    }
    return frames == int(rendered.size()) ? sum / frames : -1;
}
