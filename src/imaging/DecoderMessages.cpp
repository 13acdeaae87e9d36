#include "imaging/DecoderMessages.h"

namespace kelvaro {

namespace {
thread_local DecoderMessageCapture* activeCapture = nullptr;
}

DecoderMessageCapture::DecoderMessageCapture() : outer_(activeCapture) {
    activeCapture = this;
}

DecoderMessageCapture::~DecoderMessageCapture() {
    activeCapture = outer_;
}

bool DecoderMessageCapture::FileEndedEarly() const {
    // What libjpeg, libpng and libtiff say when the data stops before the last row; libjpeg and
    // libtiff then fill the rest with grey or leave it blank and still report success.
    static const char* const endedEarly[] = {"premature end", "read error", "unexpected end",
                                             "not enough data", "truncated"};
    for (const QString& message : messages_)
        for (const char* text : endedEarly)
            if (message.contains(QLatin1String(text), Qt::CaseInsensitive))
                return true;
    return false;
}

bool NoteDecoderMessage(const QString& message) {
    if (!activeCapture)
        return false;
    activeCapture->messages_.append(message);
    return true;
}

} // namespace kelvaro
