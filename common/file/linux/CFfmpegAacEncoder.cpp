#include "common/file/linux/CFfmpegAacEncoder.h"

#include "common/file/linux/FfmpegInit.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace
{
constexpr int kIoBufferSize = 1 << 16;

CFfmpegAacEncoder::Output* AsOutput(void* opaque)
{
    return static_cast<CFfmpegAacEncoder::Output*>(opaque);
}

// The write callback's buffer became const in libavformat 61.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
int WritePacket(void* opaque, const uint8_t* buf, int size)
#else
int WritePacket(void* opaque, uint8_t* buf, int size)
#endif
{
    if (size < 0)
        return AVERROR(EINVAL);
    return AsOutput(opaque)->WriteBytes(buf, static_cast<uint32_t>(size)) ? size : AVERROR(EIO);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence)
{
    CFfmpegAacEncoder::Output* out = AsOutput(opaque);
    if (whence & AVSEEK_SIZE)
    {
        const int64_t size = out->SizeBytes();
        return size < 0 ? AVERROR(ENOSYS) : size;
    }
    const int64_t pos = out->SeekBytes(offset, whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(EIO) : pos;
}

// Full scale is the most the integer formats hold; the encoder refuses values
// that are not numbers.
inline float Limit(float v)
{
    if (std::isnan(v))
        return 0.0f;
    return std::clamp(v, -1.0f, 1.0f);
}
} // namespace

CFfmpegAacEncoder::CFfmpegAacEncoder() = default;

CFfmpegAacEncoder::~CFfmpegAacEncoder()
{
    Close();
}

bool CFfmpegAacEncoder::Fail(const char* operation, int code)
{
    m_failed = true;
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    m_lastError = std::string(operation) + ": " + text;
    return false;
}

bool CFfmpegAacEncoder::Open(uint32_t rate, uint16_t channels, int32_t bitRate)
{
    Close();
    InitializeFfmpeg();
    m_lastError.clear();
    m_failed = false;
    if (rate == 0 || rate > INT32_MAX || channels < 1 || channels > 2 || bitRate <= 0)
        return Fail("invalid format", AVERROR(EINVAL));

    int ret = avformat_alloc_output_context2(&m_format, nullptr, "ipod", nullptr);
    if (ret < 0 || m_format == nullptr)
    {
        Close();
        return Fail("no m4a muxer", ret < 0 ? ret : AVERROR_MUXER_NOT_FOUND);
    }

    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr)
    {
        Close();
        return Fail("no aac encoder", AVERROR_ENCODER_NOT_FOUND);
    }
    m_codec = avcodec_alloc_context3(codec);
    if (m_codec == nullptr)
    {
        Close();
        return Fail("encoder allocation", AVERROR(ENOMEM));
    }
    m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_codec->sample_rate = static_cast<int>(rate);
    av_channel_layout_default(&m_codec->ch_layout, channels);
    m_codec->bit_rate = bitRate;
    m_codec->time_base = AVRational{1, static_cast<int>(rate)};
    m_codec->thread_count = 1;
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    ret = avcodec_open2(m_codec, codec, nullptr);
    if (ret < 0)
    {
        Close();
        return Fail("avcodec_open2", ret);
    }

    m_audioStream = avformat_new_stream(m_format, nullptr);
    if (m_audioStream == nullptr)
    {
        Close();
        return Fail("avformat_new_stream", AVERROR(ENOMEM));
    }
    ret = avcodec_parameters_from_context(m_audioStream->codecpar, m_codec);
    if (ret < 0)
    {
        Close();
        return Fail("avcodec_parameters_from_context", ret);
    }
    m_audioStream->time_base = m_codec->time_base;

    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_frame == nullptr || m_packet == nullptr)
    {
        Close();
        return Fail("frame allocation", AVERROR(ENOMEM));
    }
    m_frame->format = AV_SAMPLE_FMT_FLTP;
    m_frame->sample_rate = m_codec->sample_rate;
    m_frame->nb_samples = m_codec->frame_size > 0 ? m_codec->frame_size : static_cast<int>(kBlockFrames);
    ret = av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout);
    if (ret >= 0)
        ret = av_frame_get_buffer(m_frame, 0);
    if (ret < 0)
    {
        Close();
        return Fail("av_frame_get_buffer", ret);
    }
    m_channels = channels;
    return true;
}

int64_t CFfmpegAacEncoder::GetBitRate() const
{
    return m_codec != nullptr ? m_codec->bit_rate : 0;
}

bool CFfmpegAacEncoder::Start(Output* output)
{
    if (!IsOpen() || m_failed || m_started || output == nullptr)
        return false;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr)
        return Fail("av_malloc", AVERROR(ENOMEM));
    m_io = avio_alloc_context(buffer, kIoBufferSize, 1, output, nullptr, WritePacket, SeekPacket);
    if (m_io == nullptr)
    {
        av_free(buffer);
        return Fail("avio_alloc_context", AVERROR(ENOMEM));
    }
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;

    // With the movie's time scale at the sample rate the edit list that hides
    // the encoder's priming and padding states the exact length; the default
    // of 1000 per second rounds it to whole milliseconds.
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "movie_timescale", m_codec->sample_rate, 0);
    int ret = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (ret < 0)
        return Fail("avformat_write_header", ret);
    m_started = true;
    if (m_io->error < 0)
        return Fail("write", m_io->error);
    return true;
}

bool CFfmpegAacEncoder::Encode(AVFrame* frame)
{
    int ret = avcodec_send_frame(m_codec, frame);
    if (ret < 0)
        return Fail("avcodec_send_frame", ret);
    for (;;)
    {
        ret = avcodec_receive_packet(m_codec, m_packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            break;
        if (ret < 0)
            return Fail("avcodec_receive_packet", ret);
        m_packet->stream_index = m_audioStream->index;
        av_packet_rescale_ts(m_packet, m_codec->time_base, m_audioStream->time_base);
        ret = av_write_frame(m_format, m_packet);
        av_packet_unref(m_packet);
        if (ret < 0)
            return Fail("av_write_frame", ret);
    }
    if (m_io->error < 0)
        return Fail("write", m_io->error);
    return true;
}

bool CFfmpegAacEncoder::SendBufferedBlock()
{
    m_frame->pts = m_nextPts;
    m_nextPts += m_frame->nb_samples;
    m_filled = 0;
    return Encode(m_frame);
}

bool CFfmpegAacEncoder::Write(const float* const* src, uint32_t n)
{
    if (!m_started || m_failed || src == nullptr)
        return false;
    const uint32_t block = static_cast<uint32_t>(m_frame->nb_samples);
    uint32_t done = 0;
    while (done < n)
    {
        if (m_filled == 0)
        {
            const int ret = av_frame_make_writable(m_frame);
            if (ret < 0)
                return Fail("av_frame_make_writable", ret);
        }
        const uint32_t take = std::min(n - done, block - m_filled);
        for (uint16_t c = 0; c < m_channels; ++c)
        {
            float* dst = reinterpret_cast<float*>(m_frame->extended_data[c]) + m_filled;
            const float* in = src[c];
            if (in == nullptr)
            {
                std::fill(dst, dst + take, 0.0f);
                continue;
            }
            in += done;
            for (uint32_t i = 0; i < take; ++i)
                dst[i] = Limit(in[i]);
        }
        m_filled += take;
        done += take;
        m_framesTaken += take;
        if (m_filled == block && !SendBufferedBlock())
            return false;
    }
    return true;
}

bool CFfmpegAacEncoder::Finish()
{
    bool ok = m_started && !m_failed;
    if (ok && m_filled > 0)
    {
        // The encoder takes a short last block unless it says otherwise; then
        // the block is completed with silence.
        if (m_codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)
        {
            m_frame->nb_samples = static_cast<int>(m_filled);
        }
        else
        {
            const uint32_t block = static_cast<uint32_t>(m_frame->nb_samples);
            for (uint16_t c = 0; c < m_channels; ++c)
            {
                float* dst = reinterpret_cast<float*>(m_frame->extended_data[c]);
                std::fill(dst + m_filled, dst + block, 0.0f);
            }
        }
        ok = SendBufferedBlock();
    }
    ok = ok && Encode(nullptr);
    if (ok)
    {
        const int ret = av_write_trailer(m_format);
        if (ret < 0)
            ok = Fail("av_write_trailer", ret);
        else if (m_io->error < 0)
            ok = Fail("write", m_io->error);
    }
    if (ok)
    {
        avio_flush(m_io);
        if (m_io->error < 0)
            ok = Fail("write", m_io->error);
    }
    Close();
    return ok;
}

void CFfmpegAacEncoder::Close()
{
    if (m_format != nullptr)
    {
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    if (m_io != nullptr)
    {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    m_audioStream = nullptr;
    m_channels = 0;
    m_filled = 0;
    m_nextPts = 0;
    m_framesTaken = 0;
    m_started = false;
    m_failed = false;
}
