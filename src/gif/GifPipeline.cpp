#include "gif/GifPipeline.h"

#include <algorithm>

namespace kelvaro {

QSize OutputSizeFor(int choice, int w, int h) {
    int ow = 0, oh = 0;
    switch (choice) {
    case 0:
        ow = w, oh = h;
        break;
    case 1:
        ow = (2 * w) / 3, oh = (2 * h) / 3;
        break;
    case 2:
        ow = w / 2, oh = h / 2;
        break;
    case 3:
        ow = w / 3, oh = h / 3;
        break;
    default: // every other choice is the quarter size
        ow = w / 4, oh = h / 4;
        break;
    }
    // Tiny pictures would otherwise give frames without pixels.
    return {std::max(ow, 1), std::max(oh, 1)};
}

Result WriteSwayGif(const QString& path, std::vector<ImageHandle> frames, QSize out,
                    const std::function<void(int)>& showProgress) {
    const auto show = [&](int step) {
        if (showProgress)
            showProgress(step);
    };
    const int count = int(frames.size());
    if (count == 0)
        return Result::Failure(QStringLiteral("フレームがありません"));
    for (ImageHandle& frame : frames)
        ResizeImage(frame, out.width(), out.height());
    show(2);

    // The frames are stacked into one strip so that one colour reduction serves them all and
    // every frame of the GIF shares one palette. A sway cycle repeats its angles, so equal frames
    // enter the strip once and share their reduced pixels.
    std::vector<int> stripRow(size_t(count), -1);
    std::vector<int> distinct;
    for (int k = 0; k < count; ++k) {
        for (int j : distinct)
            if (frames[size_t(j)].image() == frames[size_t(k)].image()) {
                stripRow[size_t(k)] = stripRow[size_t(j)];
                break;
            }
        if (stripRow[size_t(k)] < 0) {
            stripRow[size_t(k)] = int(distinct.size());
            distinct.push_back(k);
        }
    }
    QImage strip(out.width(), out.height() * int(distinct.size()), QImage::Format_RGB32);
    if (strip.isNull())
        return Result::Failure(QStringLiteral("メモリが足りません"));
    for (size_t i = 0; i < distinct.size(); ++i)
        DrawImage(strip, 0, int(i) * out.height(), out.width(), out.height(),
                  frames[size_t(distinct[i])], 0, 0);
    frames.clear();
    show(4);

    ImageHandle frameStrip(std::move(strip));
    if (Result reduced = ReduceImageColors(frameStrip, 0, 0); !reduced)
        return reduced;
    show(6);

    std::vector<ImageHandle> output;
    output.reserve(size_t(count));
    for (int k = 0; k < count; ++k)
        output.push_back(CropImage(frameStrip, 0, stripRow[size_t(k)] * out.height(), out.width(),
                                   out.height()));
    ReleaseImage(frameStrip);
    show(8);

    return WriteAnimatedGif(path, output, count, 6);
}

GenerationResult GenerateSwayGif(const QString& path, const ImageHandle& picture,
                                 const DepthMap& depth, SwayDirection direction,
                                 const GenerationHooks& hooks) {
    const auto show = [&](int step) {
        if (hooks.showProgress)
            hooks.showProgress(step);
    };
    const auto hide = [&] {
        if (hooks.hideProgress)
            hooks.hideProgress();
    };
    const auto heavy = [&](const std::function<void()>& work) {
        if (hooks.runHeavy)
            hooks.runHeavy(work);
        else
            work();
    };

    std::vector<ImageHandle> rendered;
    show(0);
    heavy([&] { rendered = RenderSwayFrames(picture, depth, direction, show); });
    hide();
    if (rendered.size() != size_t(FrameCount)) // out of memory: nothing to ask about or write
        return {GenerationOutcome::WriteFailed, QStringLiteral("フレームを作れませんでした")};

    const std::optional<int> choice = hooks.askOutputSize ? hooks.askOutputSize() : 0;
    if (!choice) {
        rendered.clear(); // every frame released, nothing written
        return {GenerationOutcome::Cancelled, {}};
    }

    show(0);
    const QSize out = OutputSizeFor(*choice, picture.width(), picture.height());
    Result written;
    heavy([&] { written = WriteSwayGif(path, std::move(rendered), out, show); });
    hide();

    if (!written)
        return {GenerationOutcome::WriteFailed, written.reason};
    return {GenerationOutcome::Written, {}};
}

} // namespace kelvaro
