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
#include <cstring>

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

uint32_t Be16(const uint8_t* p)
{
    return (uint32_t{p[0]} << 8) | p[1];
}

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The codec and size of a JPEG or PNG picture; the muxer needs the size.
bool ProbePicture(const uint8_t* data, size_t size, AVCodecID& codec, int& width, int& height)
{
    static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 24 && std::memcmp(data, kPngSignature, 8) == 0 && std::memcmp(data + 12, "IHDR", 4) == 0)
    {
        codec = AV_CODEC_ID_PNG;
        width = static_cast<int>(std::min<uint32_t>(Be32(data + 16), INT32_MAX));
        height = static_cast<int>(std::min<uint32_t>(Be32(data + 20), INT32_MAX));
        return width > 0 && height > 0;
    }
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF)
        return false;
    // Walk the JPEG segments to the first start-of-frame marker.
    size_t pos = 2;
    while (pos + 4 <= size)
    {
        if (data[pos] != 0xFF)
            return false;
        const uint8_t marker = data[pos + 1];
        if (marker == 0xFF)
        {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
        {
            pos += 2; // markers without a length
            continue;
        }
        const size_t length = Be16(data + pos + 2);
        if (length < 2 || pos + 2 + length > size)
            return false;
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame)
        {
            if (length < 7)
                return false;
            codec = AV_CODEC_ID_MJPEG;
            height = static_cast<int>(Be16(data + pos + 5));
            width = static_cast<int>(Be16(data + pos + 7));
            return width > 0 && height > 0;
        }
        pos += 2 + length;
    }
    return false;
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

bool CFfmpegAacEncoder::SetCoverPicture(const uint8_t* data, size_t size)
{
    if (!IsOpen() || m_started || m_coverStream != nullptr || data == nullptr || size == 0 ||
        size > static_cast<size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE))
        return false;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    if (!ProbePicture(data, size, codec, width, height))
        return false;
    m_coverStream = avformat_new_stream(m_format, nullptr);
    if (m_coverStream == nullptr)
        return false;
    m_coverStream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    m_coverStream->codecpar->codec_id = codec;
    m_coverStream->codecpar->width = width;
    m_coverStream->codecpar->height = height;
    m_coverStream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    m_coverStream->time_base = AVRational{1, 90000};
    m_cover.assign(data, data + size);
    return true;
}

void CFfmpegAacEncoder::SetTag(const char* key, const char* value)
{
    if (m_format == nullptr || key == nullptr || *key == '\0')
        return;
    av_dict_set(&m_format->metadata, key, (value != nullptr && *value != '\0') ? value : nullptr, 0);
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

    if (m_coverStream != nullptr)
    {
        ret = av_new_packet(m_packet, static_cast<int>(m_cover.size()));
        if (ret < 0)
            return Fail("av_new_packet", ret);
        std::memcpy(m_packet->data, m_cover.data(), m_cover.size());
        m_packet->stream_index = m_coverStream->index;
        m_packet->flags |= AV_PKT_FLAG_KEY;
        m_packet->pts = m_packet->dts = 0;
        ret = av_write_frame(m_format, m_packet);
        av_packet_unref(m_packet);
        if (ret < 0)
            return Fail("av_write_frame (cover)", ret);
        std::vector<uint8_t>().swap(m_cover);
    }
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
    m_coverStream = nullptr;
    std::vector<uint8_t>().swap(m_cover);
    m_channels = 0;
    m_filled = 0;
    m_nextPts = 0;
    m_framesTaken = 0;
    m_started = false;
    m_failed = false;
}
