#include "PeerGif.h"

#include <QProcess>
#include <QStringList>

namespace {

bool RunFfmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")}
                << args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

bool WriteFfmpegGif(const QString& pattern, int delay, const QString& palette, const QString& out) {
    return RunFfmpeg({QStringLiteral("-i"), pattern, QStringLiteral("-vf"),
                      QStringLiteral("palettegen"), palette}) &&
           RunFfmpeg({QStringLiteral("-framerate"), QStringLiteral("100/%1").arg(delay),
                      QStringLiteral("-i"), pattern, QStringLiteral("-i"), palette,
                      QStringLiteral("-lavfi"), QStringLiteral("paletteuse=dither=floyd_steinberg"),
                      QStringLiteral("-loop"), QStringLiteral("0"), out});
}
