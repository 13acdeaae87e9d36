#include "app/messages/MessageHandler.h"

#include "imaging/DecoderMessages.h"

#include <QtGlobal>

#include <sys/mman.h>
#include <tiffio.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <fcntl.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace kelvaro {

namespace {

std::atomic<bool> showMessages{false};
std::atomic<QtMessageHandler> qtHandler{nullptr};
int realStderr = -1; // set while descriptor 2 is moved aside

void HandleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg)
        NoteDecoderMessage(message);
    if (type == QtFatalMsg || showMessages.load())
        if (const QtMessageHandler previous = qtHandler.load())
            previous(type, context, message);
}

// libtiff prints straight to stderr unless given handlers; its lines join Qt's instead.
void TiffMessage(const char* module, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    qWarning("libtiff: %s: %s", module ? module : "", text);
}

} // namespace

void InstallMessageHandler(bool verbose) {
    showMessages.store(verbose);
    if (verbose && realStderr >= 0)
        ::dup2(realStderr, STDERR_FILENO);
    if (qtHandler.load() == nullptr) {
        qtHandler.store(qInstallMessageHandler(HandleMessage));
        TIFFSetErrorHandler(TiffMessage);
        TIFFSetWarningHandler(TiffMessage);
    }
}

int SetLibraryOutputAside() {
    if (realStderr >= 0)
        return realStderr;
    const int own = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (own < 0)
        return -1;
    const int scratch = ::memfd_create("kelvaro-library-output", MFD_CLOEXEC);
    if (scratch < 0 || ::dup2(scratch, STDERR_FILENO) < 0) {
        if (scratch >= 0)
            ::close(scratch);
        ::close(own);
        return -1;
    }
    ::close(scratch);
    realStderr = own;
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_report_fd(reinterpret_cast<void*>(std::intptr_t(own)));
#endif
    return own;
}

} // namespace kelvaro
