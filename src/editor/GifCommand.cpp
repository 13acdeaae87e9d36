// "GIFを生成": the file, the sway direction, then the generation run with progress, asking the
// output size and a limit on the file's size (empty at first, then the last one given). The GIF is
// what the preview shows: the direction dialog opens on the preview's direction, and the motion
// (frames, angle, still level, delay, hole fill) is the preview's.
#include "editor/DepthPaintDlg.h"

#include "encode/SizeLimit.h"
#include "gif/GifPipeline.h"
#include "imaging/SystemLimits.h"

#include <QFileInfo>
#include <QScopeGuard>

namespace kelvaro {

namespace {

// The messages that end a generation. A GIF gets the GIF sentences; any other format the same
// sentences naming it, so that a WebP is never reported as a GIF; a video is named a video.
struct EndTexts {
    QString written;
    QString cancelled;
    QString failed;
};

EndTexts EndTextsFor(const QString& path) {
    const QString name = AnimationFormatOfName(path) ? AnimationFormatName(QFileInfo(path).suffix())
                                                     : AnimationFormatName(QString());
    if (name == QLatin1String("GIF"))
        return {CDepthPaintDlg::tr("GIFファイルを生成しました。"),
                CDepthPaintDlg::tr("GIFファイルの生成を中断しました。"),
                CDepthPaintDlg::tr("GIFファイルを保存できませんでした。")};
    if (name == QLatin1String("MP4"))
        return {CDepthPaintDlg::tr("MP4動画を生成しました。"),
                CDepthPaintDlg::tr("MP4動画の生成を中断しました。"),
                CDepthPaintDlg::tr("MP4動画を保存できませんでした。")};
    return {CDepthPaintDlg::tr("%1ファイルを生成しました。").arg(name),
            CDepthPaintDlg::tr("%1ファイルの生成を中断しました。").arg(name),
            CDepthPaintDlg::tr("%1ファイルを保存できませんでした。").arg(name)};
}

} // namespace

void CDepthPaintDlg::OnGenerateGif() {
    if (!document_.hasPicture())
        return;
    const std::optional<QString> path = AskFile(FileDialogUse::GenerateGif);
    if (!path)
        return;
    const std::optional<int> direction =
        prompts_.AskSwayDirection(preview_->direction() == SwayDirection::Vertical ? 1 : 0);
    if (!direction)
        return; // cancelled silently
    GenerateGif(WithDefaultSuffix(*path, FileDialogUse::GenerateGif), *direction);
}

void CDepthPaintDlg::GenerateHorizontalSwayGif(const QString& path) {
    GenerateGif(path, 0);
}

void CDepthPaintDlg::GenerateVerticalSwayGif(const QString& path) {
    GenerateGif(path, 1);
}

void CDepthPaintDlg::GenerateGif(const QString& path, int direction) {
    const EndTexts texts = EndTextsFor(path);
    // The run goes to Qt's thread pool, which waits forever for a thread it could not start.
    if (!CanStartWorkerThreads()) {
        prompts_.ShowMessage(WithReason(texts.failed, NoThreadsReason()));
        return;
    }
    // The preview stands still meanwhile, leaving the cores to the GIF.
    preview_->SetPaused(true);
    const auto resume = qScopeGuard([this] { preview_->SetPaused(false); });
    GenerationHooks hooks;
    hooks.showProgress = [this](int step) {
        ShowProgress(step);
    };
    hooks.hideProgress = [this] {
        HideProgress();
    };
    hooks.askOutputSize = [this] {
        return prompts_.AskOutputSize(document_.size());
    };
    hooks.askSizeLimit = [this]() -> std::optional<long long> {
        // A text the limit cannot be read from is offered again until it can, or cancelled.
        for (;;) {
            const std::optional<QString> text = prompts_.AskSizeLimit(sizeLimitText_);
            if (!text)
                return std::nullopt;
            sizeLimitText_ = text->trimmed();
            if (const std::optional<long long> limit = ParseSizeLimit(sizeLimitText_))
                return limit;
        }
    };
    // Rendering and writing run on a worker; the window repaints meanwhile but takes no input.
    hooks.runHeavy = [this](const std::function<void()>& work) {
        RunBusy(work);
    };
    // A name ending in .webp or .mp4 (the filters of the save dialog) is written in that format,
    // any other as GIF.
    AnimationOptions animation;
    animation.format = AnimationFormatOfName(path).value_or(AnimationFormat::Gif);
    // The line that says what the limit made the format give way to ends the message, as a
    // sentence of its own.
    QString gaveWay;
    animation.gaveWay = [&gaveWay](const QString& line) {
        gaveWay = line.left(1).toUpper() + line.mid(1);
    };
    const GenerationResult result =
        GenerateSwayGif(path, document_.picture(), document_.depthMap(),
                        direction == 0 ? SwayDirection::Horizontal : SwayDirection::Vertical, hooks,
                        animation, preview_->options());
    if (!result)
        prompts_.ShowMessage(WithReason(texts.failed, result.reason()));
    else if (*result == GenerationOutcome::Written)
        prompts_.ShowMessage(WithReason(WithFileName(texts.written, path), gaveWay));
    else
        prompts_.ShowMessage(texts.cancelled);
}

} // namespace kelvaro
