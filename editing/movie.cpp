// Movie files through libavformat's mov muxer, written into a descriptor
// opened by open_regular (no link is followed, no FIFO blocks). Samples are
// made here: raw 24-bit R, G, B rows top-down, JPEG pictures from the
// compression layer, or MPEG-4 part 2 from libavcodec.
#include "editing/movie.h"

#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/cl_compress.h"
#include "platform/fileio.h"

struct Movie {
    int fd = -1;
    AVFormatContext *oc = nullptr;
    AVIOContext *io = nullptr;
    AVStream *st = nullptr;
    AVCodecContext *enc = nullptr; // MPEG-4 only
    SwsContext *sws = nullptr;
    AVFrame *yuv = nullptr;
    AVPacket *pkt = nullptr;
    int width = 0, height = 0, rate = 25, quality = 85;
    bool header = false;
    std::string path;
};

namespace {

enum { MOVIE_UNCOMPRESSED = 0, MOVIE_MVC2 = 1, MOVIE_JPEG = 2, MOVIE_QT_UNCOMPRESSED = 3 };

bool raw_format(int index) {
    return index == MOVIE_UNCOMPRESSED || index == MOVIE_QT_UNCOMPRESSED;
}

int write_cb(void *opaque, uint8_t *buf, int size) {
    auto *m = static_cast<Movie *>(opaque);
    int left = size;
    while (left > 0) {
        ssize_t n = ::write(m->fd, buf, size_t(left));
        if (n <= 0) return AVERROR(EIO);
        buf += n;
        left -= int(n);
    }
    return size;
}

int64_t seek_cb(void *opaque, int64_t offset, int whence) {
    auto *m = static_cast<Movie *>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st;
        return ::fstat(m->fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(EIO);
    }
    off_t r = ::lseek(m->fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return r < 0 ? AVERROR(EIO) : int64_t(r);
}

void release(Movie *m) {
    if (m->sws) sws_freeContext(m->sws);
    av_frame_free(&m->yuv);
    av_packet_free(&m->pkt);
    avcodec_free_context(&m->enc);
    if (m->io) {
        av_free(m->io->buffer);
        avio_context_free(&m->io);
    }
    if (m->oc) avformat_free_context(m->oc);
    if (m->fd >= 0) ::close(m->fd);
    delete m;
}

int write_packet(Movie *m, AVPacket *pkt) {
    pkt->stream_index = m->st->index;
    av_packet_rescale_ts(pkt, AVRational{1, m->rate}, m->st->time_base);
    return av_write_frame(m->oc, pkt) < 0 ? -1 : 0;
}

// Drains the MPEG-4 encoder's packets into the file.
int drain(Movie *m) {
    for (;;) {
        int r = avcodec_receive_packet(m->enc, m->pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
        if (r < 0) return -1;
        int w = write_packet(m, m->pkt);
        av_packet_unref(m->pkt);
        if (w != 0) return -1;
    }
}

} // namespace

int MvCreate(const char *path, int width, int height, int rate, Movie **movie, int index,
             int quality) {
    if (!path || !movie || width < 2 || height < 2 || rate < 1 || index < 0 || index > 4) return -1;
    auto *m = new Movie;
    m->width = width;
    m->height = height;
    m->rate = rate;
    m->quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    m->path = path;
    ::unlink(path);
    m->fd = open_regular(path, O_RDWR | O_CREAT | O_TRUNC, 0666);
    bool ok = m->fd >= 0 && avformat_alloc_output_context2(&m->oc, nullptr, "mov", nullptr) >= 0;
    if (ok) {
        const int bufsize = 1 << 16;
        auto *buf = static_cast<unsigned char *>(av_malloc(bufsize));
        m->io = buf ? avio_alloc_context(buf, bufsize, 1, m, nullptr, write_cb, seek_cb) : nullptr;
        if (!m->io) av_free(buf);
        ok = m->io != nullptr;
    }
    if (ok) {
        m->oc->pb = m->io;
        m->oc->flags |= AVFMT_FLAG_CUSTOM_IO;
        m->st = avformat_new_stream(m->oc, nullptr);
        ok = m->st != nullptr;
    }
    if (ok) {
        AVCodecParameters *par = m->st->codecpar;
        m->st->time_base = AVRational{1, rate};
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->width = width;
        par->height = height;
        if (raw_format(index)) {
            par->codec_id = AV_CODEC_ID_RAWVIDEO;
            par->format = AV_PIX_FMT_RGB24;
            par->bits_per_coded_sample = 24;
            par->codec_tag = MKTAG('r', 'a', 'w', ' ');
        } else if (index == MOVIE_MVC2) {
            const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
            m->enc = codec ? avcodec_alloc_context3(codec) : nullptr;
            m->yuv = av_frame_alloc();
            m->pkt = av_packet_alloc();
            ok = m->enc && m->yuv && m->pkt;
            if (ok) {
                m->enc->width = width;
                m->enc->height = height;
                m->enc->time_base = AVRational{1, rate};
                m->enc->framerate = AVRational{rate, 1};
                m->enc->pix_fmt = AV_PIX_FMT_YUV420P;
                m->enc->gop_size = 12;
                m->enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_QSCALE;
                m->enc->global_quality = FF_QP2LAMBDA * (2 + (100 - m->quality) / 10);
                m->enc->thread_count = 1;
                ok = avcodec_open2(m->enc, codec, nullptr) >= 0 &&
                     avcodec_parameters_from_context(par, m->enc) >= 0;
                m->yuv->format = AV_PIX_FMT_YUV420P;
                m->yuv->width = width;
                m->yuv->height = height;
                ok = ok && av_frame_get_buffer(m->yuv, 0) >= 0;
                m->sws =
                    ok ? sws_getContext(width, height, AV_PIX_FMT_0BGR, width, height,
                                        AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr)
                       : nullptr;
                ok = ok && m->sws;
            }
        } else {
            par->codec_id = AV_CODEC_ID_MJPEG;
            par->format = AV_PIX_FMT_YUVJ422P;
            par->codec_tag = MKTAG('j', 'p', 'e', 'g');
        }
        m->st->avg_frame_rate = AVRational{rate, 1};
    }
    ok = ok && avformat_write_header(m->oc, nullptr) >= 0;
    if (!ok) {
        release(m);
        ::unlink(path);
        return -1;
    }
    m->header = true;
    ::fchmod(m->fd, 0666);
    *movie = m;
    return 0;
}

int MvFrameAdd(const unsigned char *pixels, std::vector<unsigned char> &buffer, Movie *m, int index,
               int width, int height, int frame) {
    if (!m || !pixels || width != m->width || height != m->height || frame < 0) return -1;
    const size_t w = size_t(width), h = size_t(height);
    if (m->enc) {
        if (av_frame_make_writable(m->yuv) < 0) return -1;
        // Bottom-up rows: start at the top line and step backwards.
        const uint8_t *src[1] = {pixels + (h - 1) * w * 4};
        const int stride[1] = {-int(w * 4)};
        sws_scale(m->sws, src, stride, 0, height, m->yuv->data, m->yuv->linesize);
        m->yuv->pts = frame;
        if (avcodec_send_frame(m->enc, m->yuv) < 0) return -1;
        return drain(m);
    }
    AVPacket *pkt = av_packet_alloc();
    if (!pkt) return -1;
    int result = -1;
    if (raw_format(index)) {
        if (av_new_packet(pkt, int(w * h * 3)) >= 0) {
            // Top-down R, G, B rows from the bottom-up 0, B, G, R picture.
            for (size_t y = 0; y < h; y++) {
                const unsigned char *s = pixels + (h - 1 - y) * w * 4;
                unsigned char *d = pkt->data + y * w * 3;
                for (size_t x = 0; x < w; x++, s += 4, d += 3) {
                    d[0] = s[3];
                    d[1] = s[2];
                    d[2] = s[1];
                }
            }
            result = 0;
        }
    } else {
        buffer.resize(w * h * 4 + 65536);
        int size = int(buffer.size());
        if (clCompressImage(CL_JPEG, width, height, CL_RGBX, 750.0f / float(m->quality) - 0.001f,
                            pixels, &size, buffer.data()) == 0 &&
            av_new_packet(pkt, size) >= 0) {
            std::memcpy(pkt->data, buffer.data(), size_t(size));
            result = 0;
        }
    }
    if (result == 0) {
        pkt->pts = pkt->dts = frame;
        pkt->duration = 1;
        pkt->flags |= AV_PKT_FLAG_KEY;
        result = write_packet(m, pkt);
    }
    av_packet_free(&pkt);
    return result;
}

int MvClose(Movie *m) {
    if (!m) return -1;
    int result = 0;
    if (m->enc) {
        if (avcodec_send_frame(m->enc, nullptr) < 0 || drain(m) != 0) result = -1;
    }
    if (m->header && av_write_trailer(m->oc) < 0) result = -1;
    if (m->io) avio_flush(m->io);
    release(m);
    return result;
}
