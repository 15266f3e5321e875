// Movie sources of an import, through FFmpeg. The demuxer is limited to the
// local file protocol and to container formats that carry their own media,
// so a movie file cannot make the reader open other files or the network;
// the picture size is checked against the still readers' limits before any
// buffer is sized by it.
#include "editing/import_movie.h"

#include <dirent.h>

#include <cctype>
#include <cmath>
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include "editing/image_seq.h"
#include "editing/import.h"
#include "media/img_util.h"
#include "media/video_globals.h"

namespace {

const char *const movie_exts[] = {".mp4", ".mov", ".avi", ".mkv", ".webm"};
// Demuxers a movie may be read with: QuickTime/MP4, AVI, Matroska/WebM.
const char *const demuxers = "mov,mp4,m4a,3gp,3g2,mj2,avi,matroska,webm";

int sws_space(AVColorSpace cs, int height) {
    switch (cs) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        // Unmarked: high-definition pictures are taken as BT.709.
        return height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

} // namespace

struct MovieSource::State {
    AVFormatContext *fmt = nullptr;
    AVCodecContext *dec = nullptr;
    SwsContext *sws = nullptr;
    AVPacket *pkt = nullptr;
    AVFrame *cur = nullptr, *next = nullptr;
    bool have_cur = false, have_next = false, eof = false;
    int stream = -1;
    int w = 0, h = 0, frames = 0; // the picture as shown (after rotation)
    int sw = 0, sh = 0;           // the picture as coded
    int turn = 0;                 // clockwise quarter turns that make it upright
    std::vector<unsigned char> turned;
    double tb = 0, start = 0;
    std::vector<unsigned char> rgb;
    int sws_fmt = -1, sws_cs = -1, sws_range = -1;

    ~State() {
        sws_freeContext(sws);
        av_frame_free(&cur);
        av_frame_free(&next);
        av_packet_free(&pkt);
        avcodec_free_context(&dec);
        avformat_close_input(&fmt);
    }
    double time_of(const AVFrame *f) const {
        const int64_t ts = f->best_effort_timestamp;
        return ts == AV_NOPTS_VALUE ? 0 : double(ts) * tb - start;
    }
    // Decodes the next frame into `into`; false at the end or on an error.
    bool decode(AVFrame *into) {
        for (;;) {
            const int rc = avcodec_receive_frame(dec, into);
            if (rc == 0) return true;
            if (rc != AVERROR(EAGAIN) || eof) return false;
            for (;;) {
                const int r = av_read_frame(fmt, pkt);
                if (r < 0) {
                    eof = true;
                    avcodec_send_packet(dec, nullptr);
                    break;
                }
                if (pkt->stream_index == stream) {
                    const int s = avcodec_send_packet(dec, pkt);
                    av_packet_unref(pkt);
                    if (s < 0 && s != AVERROR(EAGAIN)) continue; // a damaged packet is skipped
                    break;
                }
                av_packet_unref(pkt);
            }
        }
    }
    // The coded picture rgb (sw x sh) turned upright into `turned` (w x h).
    const unsigned char *upright() {
        if (turn == 0) return rgb.data();
        turned.resize(rgb.size());
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int sx, sy;
                if (turn == 1) { // clockwise: the left column becomes the top row
                    sx = y;
                    sy = sh - 1 - x;
                } else if (turn == 2) {
                    sx = sw - 1 - x;
                    sy = sh - 1 - y;
                } else {
                    sx = sw - 1 - y;
                    sy = x;
                }
                memcpy(&turned[(size_t(y) * w + x) * 3], &rgb[(size_t(sy) * sw + sx) * 3], 3);
            }
        return turned.data();
    }
    bool convert(const AVFrame *f, unsigned char *frame) {
        if (f->width != sw || f->height != sh) return false;
        const bool full = f->color_range == AVCOL_RANGE_JPEG || f->format == AV_PIX_FMT_YUVJ420P ||
                          f->format == AV_PIX_FMT_YUVJ422P || f->format == AV_PIX_FMT_YUVJ444P;
        const int space = sws_space(f->colorspace, h);
        if (!sws || f->format != sws_fmt || space != sws_cs || int(full) != sws_range) {
            sws_freeContext(sws);
            sws = sws_getContext(sw, sh, AVPixelFormat(f->format), sw, sh, AV_PIX_FMT_RGB24,
                                 SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (!sws) return false;
            sws_setColorspaceDetails(sws, sws_getCoefficients(space), full ? 1 : 0,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
            sws_fmt = f->format;
            sws_cs = space;
            sws_range = full ? 1 : 0;
        }
        const size_t srow = size_t(sw) * 3;
        rgb.resize(srow * size_t(sh));
        uint8_t *dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
        int stride[4] = {int(srow), 0, 0, 0};
        if (sws_scale(sws, f->data, f->linesize, 0, sh, dst, stride) != sh) return false;
        const unsigned char *pic = upright();
        const size_t row = size_t(w) * 3;
        // Picture line y goes to row y / 2 of its field (an odd last line is dropped).
        const int half = h / 2;
        for (int y = 0; y < 2 * half; y++)
            memcpy(frame + size_t(y / 2 + half * (y % 2)) * row, pic + size_t(y) * row, row);
        return true;
    }
};

MovieSource::MovieSource() = default;
MovieSource::~MovieSource() = default;

int MovieSource::width() const {
    return s_ ? s_->w : 0;
}
int MovieSource::height() const {
    return s_ ? s_->h : 0;
}
int MovieSource::frames() const {
    return s_ ? s_->frames : 0;
}

bool MovieSource::open(const std::string &path) {
    s_.reset();
    auto s = std::make_unique<State>();
    s->fmt = avformat_alloc_context();
    if (!s->fmt) return false;
    s->fmt->format_whitelist = av_strdup(demuxers);
    s->fmt->protocol_whitelist = av_strdup("file");
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "protocol_whitelist", "file", 0);
    av_log_set_level(AV_LOG_QUIET);
    const std::string url = "file:" + path;
    if (avformat_open_input(&s->fmt, url.c_str(), nullptr, &opts) < 0) {
        av_dict_free(&opts);
        s->fmt = nullptr; // freed by the failed open
        return false;
    }
    av_dict_free(&opts);
    if (avformat_find_stream_info(s->fmt, nullptr) < 0) return false;
    const AVCodec *codec = nullptr;
    s->stream = av_find_best_stream(s->fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (s->stream < 0 || !codec) return false;
    AVStream *st = s->fmt->streams[s->stream];
    if (!img_size_ok(st->codecpar->width, st->codecpar->height)) return false;
    s->sw = s->w = st->codecpar->width;
    s->sh = s->h = st->codecpar->height;
    // A display matrix (phones) says how the coded picture is turned.
    if (const uint8_t *m = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
        const double ccw = av_display_rotation_get(reinterpret_cast<const int32_t *>(m));
        if (!std::isnan(ccw)) {
            const long q = std::lround(-ccw / 90.0);
            s->turn = int(((q % 4) + 4) % 4);
        }
        if (s->turn % 2) std::swap(s->w, s->h);
    }
    s->dec = avcodec_alloc_context3(codec);
    if (!s->dec || avcodec_parameters_to_context(s->dec, st->codecpar) < 0) return false;
    s->dec->thread_count = 1;
    if (avcodec_open2(s->dec, codec, nullptr) < 0) return false;
    s->pkt = av_packet_alloc();
    s->cur = av_frame_alloc();
    s->next = av_frame_alloc();
    if (!s->pkt || !s->cur || !s->next) return false;
    s->tb = av_q2d(st->time_base);
    s->start = st->start_time == AV_NOPTS_VALUE ? 0 : double(st->start_time) * s->tb;
    double seconds = 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        seconds = double(st->duration) * s->tb;
    else if (s->fmt->duration != AV_NOPTS_VALUE && s->fmt->duration > 0)
        seconds = double(s->fmt->duration) / AV_TIME_BASE;
    const double n = std::floor(seconds * fps + 0.5);
    s->frames = n < 1 ? 1 : n > double(IMPORT_MAX_FRAMES) ? int(IMPORT_MAX_FRAMES) : int(n);
    s_ = std::move(s);
    return true;
}

bool MovieSource::picture_at(double t, unsigned char *frame) {
    if (!s_) return false;
    State &s = *s_;
    if (!s.have_cur) {
        if (!s.decode(s.cur)) return false;
        s.have_cur = true;
    }
    for (;;) {
        if (!s.have_next) {
            if (!s.decode(s.next)) break;
            s.have_next = true;
        }
        if (s.time_of(s.next) > t + 1e-6) break;
        std::swap(s.cur, s.next);
        av_frame_unref(s.next);
        s.have_next = false;
    }
    return s.convert(s.cur, frame);
}

bool ImportIsMovie(const std::string &name) {
    for (const char *e : movie_exts)
        if (EndsWithNoCase(name, e)) return true;
    return false;
}

int ImportMovieSearch(const char *dir, std::vector<ImportSeq> &list) {
    std::unique_ptr<DIR, int (*)(DIR *)> d(dir ? opendir(dir) : nullptr, closedir);
    if (!d) return -1;
    std::vector<std::string> names;
    while (dirent *de = readdir(d.get())) {
        const std::string name = de->d_name;
        if (name.size() > 4 && ImportIsMovie(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    int added = 0;
    std::string base = dir;
    if (!base.empty() && base.back() != '/') base += '/';
    for (const std::string &name : names) {
        MovieSource m;
        if (!m.open(base + name)) continue;
        ImportSeq s;
        s.shown = name;
        s.prefix = name;
        s.flags = 8;
        s.ext_index = -1;
        s.first = 1;
        s.last = m.frames();
        list.push_back(s);
        added++;
    }
    return added;
}
