#include "imaging/SystemLimits.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <thread>
#include <vector>

namespace kelvaro {

// The context of this file's texts in the translations.
class SystemLimits {
    Q_DECLARE_TR_FUNCTIONS(SystemLimits)
};

QString SystemErrorReason(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return SystemLimits::tr("ディスクの空き容量が足りません");
    case EACCES:
    case EPERM:
        return SystemLimits::tr("アクセスが許可されていません");
    case ELOOP:
        return SystemLimits::tr("シンボリックリンクが多すぎます (循環しています)");
    case ENOENT:
        return SystemLimits::tr("ファイルが見つかりません");
    case ENOTDIR:
        return SystemLimits::tr("パスの途中にフォルダーでないものがあります");
    case EROFS:
        return SystemLimits::tr("読み取り専用のファイルシステムです");
    case EFBIG:
        return SystemLimits::tr("ファイルが大きすぎます");
    case EISDIR:
        return SystemLimits::tr("フォルダーは開けません");
    case ENXIO:
    case ENODEV:
        return NotRegularFileReason();
    case ENOMEM:
        return NoMemoryReason();
    case ENAMETOOLONG:
        return SystemLimits::tr("ファイル名が長すぎます");
    case EIO:
        return SystemLimits::tr("読み書きの途中でエラーが起きました");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString FileErrorReason(const QFileDevice& file, int error) {
    return error != 0 ? SystemErrorReason(error) : file.errorString();
}

QString NotRegularFileReason() {
    return SystemLimits::tr("通常のファイルではありません");
}

bool CanStartWorkerThreads() {
    // As many threads at once as a pool would start, all alive together, then let go.
    const int count = std::max(1, QThread::idealThreadCount());
    std::latch go(1);
    std::vector<std::thread> threads;
    bool started = true;
    try {
        threads.reserve(size_t(count));
        for (int i = 0; i < count; ++i)
            threads.emplace_back([&go] { go.wait(); });
    } catch (const std::exception&) {
        started = false;
    }
    go.count_down();
    for (std::thread& t : threads)
        t.join();
    return started;
}

bool HasMemoryFor(qint64 bytes) {
    if (bytes <= 0)
        return true;
    void* p = std::malloc(size_t(bytes));
    std::free(p);
    return p != nullptr;
}

QString NoThreadsReason() {
    return SystemLimits::tr("処理に使うスレッドを起動できません");
}

QString NoMemoryReason() {
    return SystemLimits::tr("メモリが足りません");
}

} // namespace kelvaro
