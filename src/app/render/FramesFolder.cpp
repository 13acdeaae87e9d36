#include "app/render/FramesFolder.h"

#include "imaging/FileNames.h"
#include "imaging/Parallel.h"
#include "imaging/SystemLimits.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageWriter>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace kelvaro {

namespace {

// The context of the frames folder's texts in the translation.
class FramesFolder {
    Q_DECLARE_TR_FUNCTIONS(FramesFolder)
};

// Lossless either way; light compression keeps writing the frames quick.
constexpr int PngQuality = 80;

// Removes the temporary folder and whatever is left in it when the run ends, however it ends.
class TemporaryFolder {
public:
    explicit TemporaryFolder(QString name) : name_(std::move(name)) {}
    ~TemporaryFolder() {
        QStringList entries;
        if (ListFolder(name_, entries))
            for (const QString& entry : entries)
                RemoveName(JoinName(name_, entry));
        RemoveName(name_);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    QString file(const QString& part) const { return JoinName(name_, part); }
    const QString& name() const { return name_; }

private:
    QString name_;
};

// An exclusive lock on a folder for as long as it lives, so two runs move their frames in turn.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
        : fd_(::open(FileNameBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FolderLock() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

Result EncodeAndWrite(const TemporaryFolder& temporary, const std::vector<ImageHandle>& frames) {
    // Compression is most of the time spent here; the frames are encoded on all cores.
    std::vector<Result> written(frames.size());
    ParallelFor(int(frames.size()), [&](int k) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(PngQuality);
        if (!writer.write(frames[std::size_t(k)].image())) {
            written[std::size_t(k)] = Result::Failure(writer.errorString());
            return;
        }
        written[std::size_t(k)] = WriteFileAtomically(temporary.file(FrameFileName(int(k))), bytes);
    });
    for (const Result& result : written)
        if (!result)
            return result;
    return Result::Success();
}

// Moves the frames one by one into an existing folder, under its lock. Every old frame is first
// linked into the temporary folder, so a failed move puts back exactly what was there.
Result MoveIntoExistingFolder(const QString& folder, const TemporaryFolder& temporary, int count,
                              bool noClobber) {
    FolderLock lock(folder);
    if (!lock.held())
        return Result::Failure(
            QStringLiteral("%1: %2").arg(DisplayFileName(folder), SystemErrorReason(errno)));
    std::vector<bool> hadOld(size_t(count), false);
    for (int k = 0; k < count; ++k) {
        const QString target = JoinName(folder, FrameFileName(k));
        const FileStatus status = StatFile(target);
        if (!status.exists)
            continue;
        if (!status.isRegular())
            return Result::Failure(FramesFolder::tr("%1 はすでにあり、通常のファイルではありません")
                                       .arg(DisplayFileName(target)));
        if (noClobber)
            return Result::Failure(
                QStringLiteral("%1 exists (--no-clobber)").arg(DisplayFileName(target)));
        const QString saved = temporary.file(QStringLiteral("old-") + FrameFileName(k));
        if (::link(FileNameBytes(target).constData(), FileNameBytes(saved).constData()) != 0)
            return Result::Failure(
                QStringLiteral("%1: %2").arg(DisplayFileName(target), SystemErrorReason(errno)));
        hadOld[size_t(k)] = true;
    }
    for (int k = 0; k < count; ++k) {
        const QString target = JoinName(folder, FrameFileName(k));
        if (Result moved = RenameFile(temporary.file(FrameFileName(k)), target); !moved) {
            for (int j = 0; j < k; ++j) {
                const QString put = JoinName(folder, FrameFileName(j));
                if (hadOld[size_t(j)])
                    RenameFile(temporary.file(QStringLiteral("old-") + FrameFileName(j)), put);
                else
                    RemoveName(put);
            }
            return moved;
        }
    }
    return Result::Success();
}

} // namespace

QString FrameFileName(int k) {
    return QStringLiteral("frame-%1.png").arg(k);
}

Result WriteFramesFolder(const QString& folder, const std::vector<ImageHandle>& frames,
                         bool noClobber) {
    const FileStatus status = StatFile(folder);
    if (status.exists && !status.isFolder())
        return Result::Failure(FramesFolder::tr("%1 はすでにあり、フォルダーではありません")
                                   .arg(DisplayFileName(folder)));
    if (Result made = MakeFolders(FolderOfName(folder)); !made)
        return made;
    QString temporaryName;
    if (Result made = MakeTemporaryFolderBeside(folder, temporaryName); !made)
        return made;
    const TemporaryFolder temporary(temporaryName);
    if (Result written = EncodeAndWrite(temporary, frames); !written)
        return written;

    // A new folder moves into place whole; one that exists meanwhile is filled frame by frame.
    if (!status.exists) {
        const Result moved = RenameFile(temporary.name(), folder);
        if (moved || !StatFile(folder).isFolder())
            return moved;
    }
    return MoveIntoExistingFolder(folder, temporary, int(frames.size()), noClobber);
}

} // namespace kelvaro
