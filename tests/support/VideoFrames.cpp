#include "VideoFrames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <QtEndian>

#include <cmath>

DecodedVideo DecodeVideo(const QString& path) {
    DecodedVideo video;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return video;
    AVCodecContext* decoder = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* scaler = nullptr;
    const auto finish = [&] {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    };
    const int index = avformat_find_stream_info(format, nullptr) < 0
                          ? -1
                          : av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        finish();
        return video;
    }
    const AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!decoder || avcodec_parameters_to_context(decoder, stream->codecpar) < 0 ||
        avcodec_open2(decoder, codec, nullptr) < 0) {
        finish();
        return video;
    }
    video.codec = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
    video.pixelFormat = QString::fromUtf8(
        av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream->codecpar->format)));
    video.width = stream->codecpar->width;
    video.height = stream->codecpar->height;
    video.rateNum = stream->avg_frame_rate.num;
    video.rateDen = stream->avg_frame_rate.den;
    video.seconds = format->duration > 0 ? double(format->duration) / AV_TIME_BASE : 0;

    const auto take = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            QImage image(frame->width, frame->height, QImage::Format_RGB32);
            if (!scaler) {
                scaler = sws_getContext(
                    frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                    frame->width, frame->height, AV_PIX_FMT_RGB32,
                    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
                const int space =
                    frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
                const int* table = sws_getCoefficients(space);
                sws_setColorspaceDetails(scaler, table,
                                         frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0, table, 1,
                                         0, 1 << 16, 1 << 16);
            }
            uint8_t* to[1] = {image.bits()};
            const int stride[1] = {int(image.bytesPerLine())};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, to, stride);
            video.frames.push_back(image);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder, packet) == 0)
            take();
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    take();
    video.ok = true;
    finish();
    return video;
}

QStringList Mp4Boxes(const QByteArray& bytes) {
    QStringList boxes;
    qsizetype at = 0;
    while (at + 8 <= bytes.size()) {
        quint64 size = qFromBigEndian<quint32>(bytes.constData() + at);
        if (size == 1 && at + 16 <= bytes.size())
            size = qFromBigEndian<quint64>(bytes.constData() + at + 8);
        boxes << QString::fromLatin1(bytes.mid(at + 4, 4));
        if (size < 8)
            break;
        at += qsizetype(size);
    }
    return boxes;
}

double Psnr(const QImage& a, const QImage& b, int w, int h) {
    double squares = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                squares += double(d) * d;
        }
    const double mse = squares / (3.0 * w * h);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}
