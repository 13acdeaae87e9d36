#include "gif/GifPipeline.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>

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

Result WriteSwayAnimation(const QString& path, std::vector<ImageHandle> frames, QSize out,
                          const AnimationOptions& options,
                          const std::function<void(int)>& showProgress, const SwayOptions& sway) {
    if (frames.empty())
        return Result::Failure(GifPipeline::tr("フレームがありません"));
    // A search within a byte limit goes back to earlier steps at a smaller size; the bar stays
    // where it got to rather than running backwards.
    std::atomic<int> shown = -1;
    const auto forward = [&](int step) {
        int was = shown.load();
        while (step > was)
            if (shown.compare_exchange_weak(was, step)) {
                showProgress(step);
                return;
            }
    };
    // What the limit made the format give way to is only true of a file that was written.
    QString choice;
    EncodeOptions encode{options.webp, options.mp4, options.maxBytes, {}};
    if (options.gaveWay)
        encode.gaveWay = [&choice](const QString& line) {
            choice = line;
        };
    Result written = OutputFormatOf(options.format)
                         .encoder.Write(path, std::move(frames), out, GifDelay(sway), encode,
                                        showProgress ? std::function<void(int)>(forward) : nullptr);
    if (written && !choice.isEmpty())
        options.gaveWay(choice);
    return written;
}

Result WriteSwayGif(const QString& path, std::vector<ImageHandle> frames, QSize out,
                    const std::function<void(int)>& showProgress, const SwayOptions& sway) {
    return WriteSwayAnimation(path, std::move(frames), out, {AnimationFormat::Gif, {}, {}},
                              showProgress, sway);
}

Result WriteSwayWebp(const QString& path, std::vector<ImageHandle> frames, QSize out,
                     const WebpOptions& options, const std::function<void(int)>& showProgress,
                     const SwayOptions& sway) {
    return WriteSwayAnimation(path, std::move(frames), out, {AnimationFormat::Webp, options, {}},
                              showProgress, sway);
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
        return GenerationResult::Failure(GifPipeline::tr("フレームを作れませんでした"));

    const std::optional<int> choice = hooks.askOutputSize ? hooks.askOutputSize() : 0;
    if (!choice) {
        rendered.clear(); // every frame released, nothing written
        return GenerationResult::Success(GenerationOutcome::Cancelled);
    }

    AnimationOptions limited = animation;
    if (hooks.askSizeLimit) {
        const std::optional<long long> limit = hooks.askSizeLimit();
        if (!limit) {
            rendered.clear();
            return GenerationResult::Success(GenerationOutcome::Cancelled);
        }
        limited.maxBytes = *limit;
    }

    show(0);
    const QSize out = OutputSizeFor(*choice, picture.width(), picture.height());
    Result written;
    heavy(
        [&] { written = WriteSwayAnimation(path, std::move(rendered), out, limited, show, sway); });
    hide();

    if (!written)
        return GenerationResult::Failure(written.reason);
    return GenerationResult::Success(GenerationOutcome::Written);
}

} // namespace kelvaro
