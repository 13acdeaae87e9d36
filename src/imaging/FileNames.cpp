#include "imaging/FileNames.h"

#include "imaging/SystemLimits.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSaveFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kelvaro {

// The context of this file's texts in the translations.
class FileNames {
    Q_DECLARE_TR_FUNCTIONS(FileNames)
};

namespace {

constexpr char16_t StrayBase = 0xDC00;

bool IsStray(const QString& name, qsizetype i) {
    const char16_t c = name[i].unicode();
    return c >= StrayBase + 0x80 && c <= StrayBase + 0xFF &&
           (i == 0 || !QChar::isHighSurrogate(name[i - 1].unicode()));
}

// The length of the valid UTF-8 sequence at bytes[i], 0 when it is not one.
int Utf8SequenceAt(const QByteArray& bytes, qsizetype i, char32_t& code) {
    const auto at = [&](qsizetype k) {
        return static_cast<unsigned char>(bytes[k]);
    };
    const unsigned lead = at(i);
    int length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned next = at(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

Result Failure(const QString& name, int error) {
    return Result::Failure(
        QStringLiteral("%1: %2").arg(DisplayFileName(name), SystemErrorReason(error)));
}

// A fresh name for a temporary sibling of `name`: ".LAST.kelvaro-XXXXXXXX".
QString TemporarySibling(const QString& name) {
    return JoinName(FolderOfName(name),
                    QStringLiteral(".%1.kelvaro-%2")
                        .arg(LastPartOfName(name))
                        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

QString WithoutTrailingSlashes(QString name) {
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    return name;
}

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The POSIX twin of QSaveFile for names Qt cannot carry.
Result WriteBytesAtomically(const QString& name, const QByteArray& bytes) {
    QByteArray target = FileNameBytes(name);
    struct stat link {};
    if (::lstat(target.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Like QSaveFile, replace the file the link points to and keep the link.
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved))
            target = QByteArray(resolved);
    }
    struct stat old {};
    const bool replacing = ::stat(target.constData(), &old) == 0;
    const QString targetName = FileNameFromBytes(target);

    QByteArray temporary;
    FdCloser fd;
    for (int attempt = 0; attempt < 100 && fd.fd < 0; ++attempt) {
        temporary = FileNameBytes(TemporarySibling(targetName));
        fd.fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd.fd < 0 && errno != EEXIST)
            return Failure(name, errno);
    }
    if (fd.fd < 0)
        return Failure(name, EEXIST);
    const auto abandon = [&](int error) {
        ::unlink(temporary.constData());
        return Failure(name, error);
    };
    if (replacing && ::fchmod(fd.fd, old.st_mode & 07777) != 0)
        return abandon(errno);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n < 0 ? errno : ENOSPC);
        done += n;
    }
    if (::fsync(fd.fd) != 0)
        return abandon(errno);
    const int closed = ::close(fd.fd);
    fd.fd = -1;
    if (closed != 0)
        return abandon(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return abandon(errno);
    return Result::Success();
}

} // namespace

QString FileNameFromBytes(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        if (const int length = Utf8SequenceAt(bytes, i, code); length > 0) {
            name.append(QString::fromUcs4(&code, 1));
            i += length;
        } else {
            name.append(QChar(char16_t(StrayBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
        }
    }
    return name;
}

QByteArray FileNameBytes(const QString& name) {
    QByteArray bytes;
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype to) {
        if (to > plainFrom)
            bytes.append(QStringView(name).mid(plainFrom, to - plainFrom).toUtf8());
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsStray(name, i))
            continue;
        flushPlain(i);
        bytes.append(char(name[i].unicode() - StrayBase));
        plainFrom = i + 1;
    }
    flushPlain(name.size());
    return bytes;
}

bool HoldsStrayBytes(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        if (IsStray(name, i))
            return true;
    return false;
}

QString DisplayFileName(const QString& name) {
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (IsStray(name, i))
            shown[i] = QChar::ReplacementCharacter;
    return shown;
}

bool FileStatus::isRegular() const {
    return exists && S_ISREG(mode);
}

bool FileStatus::isFolder() const {
    return exists && S_ISDIR(mode);
}

bool FileStatus::sameFileAs(const FileStatus& other) const {
    return exists && other.exists && device == other.device && inode == other.inode;
}

FileStatus StatFile(const QString& name) {
    struct stat s {};
    if (::stat(FileNameBytes(name).constData(), &s) != 0)
        return {};
    return {true, s.st_dev, s.st_ino, s.st_mode, qint64(s.st_size)};
}

OpenedFile OpenFileForReading(const QString& name) {
    OpenedFile opened;
    // Non-blocking, so a FIFO without a writer cannot hang the open; it is refused below.
    const int fd = ::open(FileNameBytes(name).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        opened.reason = SystemErrorReason(errno);
        return opened;
    }
    FdCloser guard{fd};
    struct stat s {};
    if (::fstat(fd, &s) != 0) {
        opened.reason = SystemErrorReason(errno);
        return opened;
    }
    if (S_ISDIR(s.st_mode)) {
        opened.reason = SystemErrorReason(EISDIR);
        return opened;
    }
    if (!S_ISREG(s.st_mode)) {
        opened.reason = NotRegularFileReason();
        return opened;
    }
    if (s.st_size == 0) {
        opened.reason = FileNames::tr("ファイルが空です");
        return opened;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        opened.reason = file->errorString();
        return opened;
    }
    guard.fd = -1; // the QFile closes it now
    opened.file = std::move(file);
    return opened;
}

Result WriteFileAtomically(const QString& name, const QByteArray& bytes) {
    if (HoldsStrayBytes(name))
        return WriteBytesAtomically(name, bytes);
    // A FIFO or device at the name is refused rather than replaced by a plain file.
    if (const FileStatus target = StatFile(name); target.exists && !target.isRegular())
        return Result::Failure(target.isFolder() ? SystemErrorReason(EISDIR)
                                                 : NotRegularFileReason());
    QSaveFile file(name);
    // errno is read right after each step, before anything else can change it.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return Result::Failure(FileErrorReason(file, errno));
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = FileErrorReason(file, errno);
        file.cancelWriting();
        return Result::Failure(why);
    }
    errno = 0;
    if (!file.commit())
        return Result::Failure(FileErrorReason(file, errno));
    return Result::Success();
}

QString FolderOfName(const QString& name) {
    const QString trimmed = WithoutTrailingSlashes(name);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return trimmed.left(slash);
}

QString LastPartOfName(const QString& name) {
    const QString trimmed = WithoutTrailingSlashes(name);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString JoinName(const QString& folder, const QString& part) {
    if (folder.isEmpty() || folder == QLatin1String("."))
        return part;
    return folder.endsWith(QLatin1Char('/')) ? folder + part : folder + QLatin1Char('/') + part;
}

Result MakeFolders(const QString& name) {
    const QString folder = WithoutTrailingSlashes(name);
    if (StatFile(folder).isFolder())
        return Result::Success();
    const QString parent = FolderOfName(folder);
    if (parent != folder && !LastPartOfName(folder).isEmpty()) {
        if (Result made = MakeFolders(parent); !made)
            return made;
    }
    if (::mkdir(FileNameBytes(folder).constData(), 0777) != 0 && errno != EEXIST)
        return Failure(folder, errno);
    if (!StatFile(folder).isFolder())
        return Failure(folder, ENOTDIR);
    return Result::Success();
}

Result MakeTemporaryFolderBeside(const QString& name, QString& created) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = TemporarySibling(WithoutTrailingSlashes(name));
        // mkdir rather than mkdtemp: the folder is moved into place and keeps the default
        // permissions, not mkdtemp's owner-only ones.
        if (::mkdir(FileNameBytes(candidate).constData(), 0777) == 0) {
            created = candidate;
            return Result::Success();
        }
        if (errno != EEXIST)
            return Failure(FolderOfName(name), errno);
    }
    return Failure(FolderOfName(name), EEXIST);
}

Result ListFolder(const QString& name, QStringList& entries) {
    entries.clear();
    DIR* dir = ::opendir(FileNameBytes(name).constData());
    if (!dir)
        return Failure(name, errno);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        if (bytes != "." && bytes != "..")
            entries.append(FileNameFromBytes(bytes));
    }
    ::closedir(dir);
    return Result::Success();
}

Result RenameFile(const QString& from, const QString& to) {
    if (::rename(FileNameBytes(from).constData(), FileNameBytes(to).constData()) != 0)
        return Failure(to, errno);
    return Result::Success();
}

Result RemoveName(const QString& name) {
    const QByteArray bytes = FileNameBytes(name);
    if (::unlink(bytes.constData()) == 0 || errno == ENOENT)
        return Result::Success();
    if ((errno == EISDIR || errno == EPERM) && ::rmdir(bytes.constData()) == 0)
        return Result::Success();
    return Failure(name, errno);
}

} // namespace kelvaro
