#include "gif/GifPipeline.h"

#include <QCoreApplication>
#include <algorithm>

namespace kelvaro {

// The context of this file's texts in the translations.
class GifPipeline {
    Q_DECLARE_TR_FUNCTIONS(GifPipeline)
};

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
                    const std::function<void(int)>& showProgress, const SwayOptions& sway) {
    const auto show = [&](int step) {
        if (showProgress)
            showProgress(step);
    };
    const int count = int(frames.size());
    if (count == 0)
        return Result::Failure(GifPipeline::tr("フレームがありません"));
    // A sway cycle repeats its angles: equal frames are scaled and reduced once and share the
    // result, so they stay equal in the GIF.
    std::vector<size_t> sourceOf(static_cast<size_t>(count));
    std::vector<ImageHandle> distinct;
    for (size_t k = 0; k < size_t(count); ++k) {
        sourceOf[k] = distinct.size();
        for (size_t j = 0; j < distinct.size(); ++j)
            if (distinct[j].image() == frames[k].image()) {
                sourceOf[k] = j;
                break;
            }
        if (sourceOf[k] == distinct.size())
            distinct.push_back(std::move(frames[k]));
    }
    frames.clear();
    for (ImageHandle& frame : distinct)
        ResizeImage(frame, out.width(), out.height());
    show(2);
    show(4);

    // One palette for all frames, so that no colour flickers from frame to frame.
    if (Result reduced = ReduceFrameColors(distinct); !reduced)
        return reduced;
    show(6);

    std::vector<ImageHandle> output;
    output.reserve(size_t(count));
    for (size_t k = 0; k < size_t(count); ++k)
        output.emplace_back(QImage(distinct[sourceOf[k]].image()));
    distinct.clear();
    show(8);

    return WriteAnimatedGif(path, output, count, GifDelay(sway));
}

std::optional<AnimationFormat> AnimationFormatOfName(const QString& name) {
    if (name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
        return AnimationFormat::Gif;
    if (name.endsWith(QLatin1String(".webp"), Qt::CaseInsensitive))
        return AnimationFormat::Webp;
    return std::nullopt;
}

Result WriteSwayWebp(const QString& path, std::vector<ImageHandle> frames, QSize out,
                     const WebpOptions& options, const std::function<void(int)>& showProgress,
                     const SwayOptions& sway) {
    const auto show = [&](int step) {
        if (showProgress)
            showProgress(step);
    };
    if (frames.empty())
        return Result::Failure(GifPipeline::tr("フレームがありません"));
    for (ImageHandle& frame : frames)
        ResizeImage(frame, out.width(), out.height());
    show(2);
    Result written = WriteAnimatedWebp(path, frames, GifDelay(sway) * 10, options);
    show(8);
    return written;
}

Result WriteSwayAnimation(const QString& path, std::vector<ImageHandle> frames, QSize out,
                          const AnimationOptions& options,
                          const std::function<void(int)>& showProgress, const SwayOptions& sway) {
    if (options.format == AnimationFormat::Webp)
        return WriteSwayWebp(path, std::move(frames), out, options.webp, showProgress, sway);
    return WriteSwayGif(path, std::move(frames), out, showProgress, sway);
}

GenerationResult GenerateSwayGif(const QString& path, const ImageHandle& picture,
                                 const DepthMap& depth, SwayDirection direction,
                                 const GenerationHooks& hooks, const AnimationOptions& animation,
                                 const SwayOptions& sway) {
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
    // The progress steps of rendering are 0..7 whatever the number of frames.
    const int frameCount = ClampedSwayOptions(sway).frames;
    const auto showFrame = [&](int k) {
        show(k * FrameCount / frameCount);
    };
    heavy([&] { rendered = RenderSwayFrames(picture, depth, direction, sway, showFrame); });
    hide();
    // Out of memory: nothing to ask about or write.
    if (rendered.size() != size_t(frameCount))
        return {GenerationOutcome::WriteFailed, GifPipeline::tr("フレームを作れませんでした")};

    const std::optional<int> choice = hooks.askOutputSize ? hooks.askOutputSize() : 0;
    if (!choice) {
        rendered.clear(); // every frame released, nothing written
        return {GenerationOutcome::Cancelled, {}};
    }

    show(0);
    const QSize out = OutputSizeFor(*choice, picture.width(), picture.height());
    Result written;
    heavy([&] {
        written = WriteSwayAnimation(path, std::move(rendered), out, animation, show, sway);
    });
    hide();

    if (!written)
        return {GenerationOutcome::WriteFailed, written.reason};
    return {GenerationOutcome::Written, {}};
}

} // namespace kelvaro
