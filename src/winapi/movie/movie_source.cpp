// FFmpeg reader of one stream of a movie (see movie_source.h).
#include "winapi/movie/movie_source.h"

#include <algorithm>
#include <cstring>

#include "winapi/movie/ffmpeg_calls.h"

static_assert(kMovieSwsFlags == (SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP));

namespace winapi::movie {

namespace {

constexpr int kIoBufferSize = 64 * 1024;
// A stream that gives this many packets of its type without one frame has stopped giving frames.
constexpr int kPacketsWithoutFrame = 4096;
// A timestamp further than this beyond the last one is a jump, not a gap.
constexpr int64_t kMaxJump = 10 * 10000000LL;
const AVRational kHundredNs{1, 10000000};

struct IoOpaque {
    std::shared_ptr<SharedStream> stream;
    int64_t position = 0;
};

int ReadIo(void* opaque, uint8_t* buffer, int size)
{
    auto* io = static_cast<IoOpaque*>(opaque);
    const int got = io->stream->Read(io->position, buffer, size);
    if (got <= 0)
        return AVERROR_EOF;
    io->position += got;
    return got;
}

int64_t SeekIo(void* opaque, int64_t offset, int whence)
{
    auto* io = static_cast<IoOpaque*>(opaque);
    const int64_t size = io->stream->Size();
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += io->position;
        break;
    case SEEK_END:
        if (size < 0)
            return -1;
        offset += size;
        break;
    default:
        return -1;
    }
    if (offset < 0 || (size >= 0 && offset > size))
        return -1;
    io->position = offset;
    return offset;
}

} // namespace

int SharedStream::Read(int64_t position, uint8_t* buffer, int bytes)
{
    std::lock_guard lock(m_mutex);
    if (!m_stream->SeekMovie(position))
        return -1;
    return m_stream->ReadMovie(buffer, bytes);
}

int64_t SharedStream::Size()
{
    std::lock_guard lock(m_mutex);
    return m_stream->MovieSize();
}

MovieSource::~MovieSource()
{
    m_av->sws_freeContext(m_sws);
    m_av->swr_free(&m_swr);
    m_av->av_frame_free(&m_audioFrame);
    m_av->av_packet_free(&m_packet);
    m_av->avcodec_free_context(&m_codec);
    m_av->avformat_close_input(&m_format);
    if (m_io != nullptr) {
        delete static_cast<IoOpaque*>(m_io->opaque);
        m_av->av_freep(&m_io->buffer);
        m_av->avio_context_free(&m_io);
    }
}

std::unique_ptr<MovieSource> MovieSource::Open(const std::string& path, std::shared_ptr<SharedStream> stream,
                                               MediaType type)
{
    const FfmpegCalls* av = OpenFfmpeg();
    if (av == nullptr)
        return nullptr;
    std::unique_ptr<MovieSource> source(new MovieSource);
    source->m_av = av;
    source->m_type = type;
    source->m_format = av->avformat_alloc_context();
    if (source->m_format == nullptr)
        return nullptr;
    if (stream != nullptr) {
        auto* buffer = static_cast<uint8_t*>(av->av_malloc(kIoBufferSize));
        if (buffer == nullptr)
            return nullptr;
        auto* opaque = new IoOpaque{stream, 0};
        source->m_io = av->avio_alloc_context(buffer, kIoBufferSize, 0, opaque, ReadIo, nullptr, SeekIo);
        if (source->m_io == nullptr) {
            delete opaque;
            av->av_free(buffer);
            return nullptr;
        }
        source->m_format->pb = source->m_io;
        source->m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    source->m_stream = std::move(stream);
    // The kind code is a hint only: the container is probed.
    AVFormatContext* format = source->m_format;
    if (av->avformat_open_input(&format, source->m_io != nullptr ? nullptr : path.c_str(), nullptr, nullptr) <
        0) {
        source->m_format = nullptr; // freed by avformat_open_input
        return nullptr;
    }
    source->m_format = format;
    if (av->avformat_find_stream_info(format, nullptr) < 0)
        return nullptr;
    const AVMediaType want = type == MediaType::Video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
    int index = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i]->codecpar->codec_type == want &&
            (format->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
            index = static_cast<int>(i);
            break;
        }
    }
    if (index < 0)
        return nullptr;
    AVStream* st = format->streams[index];
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVCodec* codec = av->avcodec_find_decoder(st->codecpar->codec_id);
    if (codec == nullptr)
        return nullptr;
    source->m_codec = av->avcodec_alloc_context3(codec);
    if (source->m_codec == nullptr || av->avcodec_parameters_to_context(source->m_codec, st->codecpar) < 0)
        return nullptr;
    source->m_codec->pkt_timebase = st->time_base;
    source->m_codec->thread_count = type == MediaType::Video ? 0 : 1;
    if (av->avcodec_open2(source->m_codec, codec, nullptr) < 0)
        return nullptr;
    source->m_streamIndex = index;
    source->m_packet = av->av_packet_alloc();
    if (source->m_packet == nullptr)
        return nullptr;
    if (type == MediaType::Video) {
        const int w = source->m_codec->width;
        const int h = source->m_codec->height;
        if (w <= 0 || h <= 0 || w > kMovieMaxSide || h > kMovieMaxSide)
            return nullptr;
        source->m_width = w;
        source->m_height = h;
        AVRational rate = av->av_guess_frame_rate(format, st, nullptr);
        if (rate.num > 0 && rate.den > 0 && av_q2d(rate) >= 1 && av_q2d(rate) <= 240)
            source->m_frameDuration = av->av_rescale_q(1, av_inv_q(rate), kHundredNs);
    } else {
        const int rate = source->m_codec->sample_rate;
        if (rate <= 0 || source->m_codec->ch_layout.nb_channels <= 0)
            return nullptr;
        source->m_outRate = rate < 8000 || rate > 96000 ? 48000 : rate;
        source->m_audioFrame = av->av_frame_alloc();
        if (source->m_audioFrame == nullptr)
            return nullptr;
    }
    // Each stream's time starts at its own first timestamp: frame n of a movie of f frames a second
    // is due at n / f, also where a muxer's preroll starts the picture a little after the container.
    if (st->start_time != AV_NOPTS_VALUE)
        source->m_start = st->start_time;
    else if (format->start_time != AV_NOPTS_VALUE)
        source->m_start = av->av_rescale_q(format->start_time, AV_TIME_BASE_Q, st->time_base);
    const int64_t startOffset = av->av_rescale_q(source->m_start, st->time_base, kHundredNs) -
                                (format->start_time != AV_NOPTS_VALUE
                                     ? av->av_rescale_q(format->start_time, AV_TIME_BASE_Q, kHundredNs)
                                     : 0);
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        source->m_duration = av->av_rescale_q(format->duration, AV_TIME_BASE_Q, kHundredNs) -
                             std::max<int64_t>(startOffset, 0);
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
        const int64_t own = av->av_rescale_q(st->duration, st->time_base, kHundredNs);
        if (source->m_duration <= 0 || own < source->m_duration)
            source->m_duration = own;
    }
    if (type == MediaType::Video && format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        source->MeasureDuration();
    return source;
}

void MovieSource::MeasureDuration()
{
    // Elementary streams carry no length: count their frames (the parser cuts one a packet).
    int64_t frames = 0;
    while (ReadPacketOfStream(m_packet) == 0) {
        ++frames;
        m_av->av_packet_unref(m_packet);
    }
    m_duration = frames * m_frameDuration;
    SeekToStart();
}

int MovieSource::ReadPacketOfStream(AVPacket* packet)
{
    for (;;) {
        const int result = m_av->av_read_frame(m_format, packet);
        if (result < 0)
            return result;
        if (packet->stream_index == m_streamIndex)
            return 0;
        m_av->av_packet_unref(packet);
    }
}

int64_t MovieSource::Rebase(int64_t rawPts, int64_t rawDuration)
{
    AVStream* st = m_format->streams[m_streamIndex];
    if (!m_originSet && rawPts != AV_NOPTS_VALUE) {
        // Elementary streams give their first frame a time after 0: that frame starts the movie.
        m_originSet = true;
        if (rawPts > m_start && rawPts - m_start < m_av->av_rescale_q(kMaxJump, kHundredNs, st->time_base))
            m_start = rawPts;
    }
    int64_t t;
    if (rawPts == AV_NOPTS_VALUE)
        t = m_lastPts < 0 ? 0 : m_lastPts + rawDuration;
    else
        t = m_av->av_rescale_q(rawPts - m_start, st->time_base, kHundredNs) + m_offset;
    if (m_lastPts >= 0 && (t < m_lastPts || t > m_lastPts + kMaxJump)) {
        // Mends damaged timestamps: a frame that goes back or jumps follows the last one instead.
        const int64_t fixed = m_lastPts + rawDuration;
        m_offset += fixed - t;
        t = fixed;
    }
    if (t < 0)
        t = 0;
    m_lastPts = t;
    return t;
}

bool MovieSource::NextFrame(AVFrame* frame, int64_t* pts)
{
    if (m_ended)
        return false;
    int packets = 0;
    for (;;) {
        const int got = m_av->avcodec_receive_frame(m_codec, frame);
        if (got == 0) {
            m_gotAny = true;
            const int64_t step =
                frame->pkt_duration > 0
                    ? m_av->av_rescale_q(frame->pkt_duration, m_format->streams[m_streamIndex]->time_base,
                                         kHundredNs)
                    : m_frameDuration;
            *pts = Rebase(frame->best_effort_timestamp, std::max<int64_t>(step, 1));
            return true;
        }
        if (got == AVERROR_EOF || (got != AVERROR(EAGAIN) && got < 0)) {
            m_ended = true;
            return false;
        }
        if (m_flushed || ++packets > kPacketsWithoutFrame) {
            m_ended = true;
            return false;
        }
        if (ReadPacketOfStream(m_packet) < 0) {
            m_av->avcodec_send_packet(m_codec, nullptr);
            m_flushed = true;
            continue;
        }
        const int sent = m_av->avcodec_send_packet(m_codec, m_packet);
        m_av->av_packet_unref(m_packet);
        if (sent < 0 && sent != AVERROR(EAGAIN) && !m_gotAny)
            m_decodeFailed = true;
    }
}

bool MovieSource::Convert(const AVFrame* frame, uint8_t* dst, int pitch, int width, int height)
{
    if (frame->width <= 0 || frame->height <= 0 || frame->width > kMovieMaxSide || frame->height > kMovieMaxSide ||
        width <= 0 || height <= 0)
        return false;
    const int space = frame->colorspace;
    const int range = frame->color_range;
    if (m_sws == nullptr || m_swsWidth != frame->width || m_swsHeight != frame->height || m_swsFormat != frame->format ||
        m_swsDstW != width || m_swsDstH != height || m_swsSpace != space || m_swsRange != range) {
        m_av->sws_freeContext(m_sws);
        // Sliced over the machine's cores: a 720p frame at accurate rounding and full chroma costs
        // several milliseconds on one.
        m_sws = m_av->sws_alloc_context();
        if (m_sws == nullptr)
            return false;
        m_av->av_opt_set_int(m_sws, "srcw", frame->width, 0);
        m_av->av_opt_set_int(m_sws, "srch", frame->height, 0);
        m_av->av_opt_set_int(m_sws, "src_format", frame->format, 0);
        m_av->av_opt_set_int(m_sws, "dstw", width, 0);
        m_av->av_opt_set_int(m_sws, "dsth", height, 0);
        m_av->av_opt_set_int(m_sws, "dst_format", AV_PIX_FMT_BGRA, 0);
        m_av->av_opt_set_int(m_sws, "sws_flags", kMovieSwsFlags, 0);
        m_av->av_opt_set_int(m_sws, "threads", std::clamp(m_av->av_cpu_count(), 1, 8), 0);
        if (m_av->sws_init_context(m_sws, nullptr, nullptr) < 0) {
            m_av->sws_freeContext(m_sws);
            m_sws = nullptr;
            return false;
        }
        const int* table = m_av->sws_getCoefficients(space == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : space);
        m_av->sws_setColorspaceDetails(m_sws, table, range == AVCOL_RANGE_JPEG ? 1 : 0,
                                       m_av->sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        m_swsWidth = frame->width;
        m_swsHeight = frame->height;
        m_swsFormat = frame->format;
        m_swsDstW = width;
        m_swsDstH = height;
        m_swsSpace = space;
        m_swsRange = range;
    }
    // The destination is the caller's memory, lent to the frame for this call.
    AVFrame* out = m_av->av_frame_alloc();
    if (out == nullptr)
        return false;
    out->buf[0] = m_av->av_buffer_create(
        dst, static_cast<size_t>(pitch) * static_cast<size_t>(height), [](void*, uint8_t*) {}, nullptr, 0);
    out->data[0] = dst;
    out->linesize[0] = pitch;
    out->width = width;
    out->height = height;
    out->format = AV_PIX_FMT_BGRA;
    const bool ok = out->buf[0] != nullptr && m_av->sws_scale_frame(m_sws, out, frame) >= 0;
    m_av->av_frame_free(&out);
    return ok;
}

bool MovieSource::ReadAudio(std::vector<int16_t>* out, int64_t* pts)
{
    if (m_ended)
        return false;
    int64_t framePts = 0;
    if (!NextFrame(m_audioFrame, &framePts))
        return false;
    AVFrame* frame = m_audioFrame;
    uint64_t layoutKey = static_cast<uint64_t>(frame->ch_layout.nb_channels) << 32 | frame->ch_layout.order;
    if (m_swr == nullptr || m_swrFormat != frame->format || m_swrRate != frame->sample_rate || m_swrLayout != layoutKey) {
        m_av->swr_free(&m_swr);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            m_av->av_channel_layout_default(&in, frame->ch_layout.nb_channels);
        else
            m_av->av_channel_layout_copy(&in, &frame->ch_layout);
        const int rate = frame->sample_rate;
        if (rate <= 0 ||
            m_av->swr_alloc_set_opts2(&m_swr, &stereo, AV_SAMPLE_FMT_S16, m_outRate, &in,
                                      static_cast<AVSampleFormat>(frame->format), rate, 0, nullptr) < 0 ||
            m_av->swr_init(m_swr) < 0) {
            m_av->av_channel_layout_uninit(&in);
            m_av->swr_free(&m_swr);
            m_ended = true;
            return false;
        }
        m_av->av_channel_layout_uninit(&in);
        m_swrFormat = frame->format;
        m_swrRate = frame->sample_rate;
        m_swrLayout = layoutKey;
    }
    const int room = m_av->swr_get_out_samples(m_swr, frame->nb_samples);
    if (room < 0) {
        m_ended = true;
        return false;
    }
    const size_t base = out->size();
    out->resize(base + static_cast<size_t>(room) * 2);
    uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(out->data() + base)};
    const int made = m_av->swr_convert(m_swr, planes, room, const_cast<const uint8_t**>(frame->extended_data),
                                       frame->nb_samples);
    out->resize(base + static_cast<size_t>(std::max(made, 0)) * 2);
    *pts = framePts;
    return true;
}

bool MovieSource::Seek(int64_t position)
{
    AVStream* st = m_format->streams[m_streamIndex];
    const int64_t target =
        m_av->av_rescale_q(std::max<int64_t>(position, 0), kHundredNs, st->time_base) + m_start;
    m_av->avcodec_flush_buffers(m_codec);
    if (m_swr != nullptr)
        m_av->swr_init(m_swr);
    m_flushed = false;
    m_ended = false;
    m_lastPts = -1;
    m_offset = 0;
    if (m_av->av_seek_frame(m_format, m_streamIndex, target, AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    // Streams without an index (elementary streams) go back to their first byte.
    return SeekToStart();
}

bool MovieSource::SeekToStart()
{
    m_av->avcodec_flush_buffers(m_codec);
    m_flushed = false;
    m_ended = false;
    m_lastPts = -1;
    m_offset = 0;
    if (m_av->av_seek_frame(m_format, -1, 0, AVSEEK_FLAG_BYTE) >= 0 ||
        m_av->av_seek_frame(m_format, m_streamIndex, m_start, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) >= 0)
        return true;
    m_ended = true;
    return false;
}

} // namespace winapi::movie
