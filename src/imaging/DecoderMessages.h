#pragma once

#include <QStringList>

namespace kelvaro {

// Collects the messages that image libraries and Qt's image plug-ins print while this thread
// decodes a file, so that a decode they warned about (a file cut short) can be refused. The
// programs' message handler offers every message to NoteDecoderMessage first.
class DecoderMessageCapture {
public:
    DecoderMessageCapture();
    ~DecoderMessageCapture();
    DecoderMessageCapture(const DecoderMessageCapture&) = delete;
    DecoderMessageCapture& operator=(const DecoderMessageCapture&) = delete;

    const QStringList& messages() const { return messages_; }
    // Whether a library said that the file ended before the picture did.
    bool FileEndedEarly() const;

private:
    friend bool NoteDecoderMessage(const QString& message);
    QStringList messages_;
    DecoderMessageCapture* outer_;
};

// Hands a message to the capture active on this thread; false when there is none.
bool NoteDecoderMessage(const QString& message);

} // namespace kelvaro
