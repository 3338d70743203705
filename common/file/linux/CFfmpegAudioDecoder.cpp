#include "common/file/linux/CFfmpegAudioDecoder.h"

#include "common/file/linux/CMp3StreamScanner.h"
#include "common/file/linux/CMp4HeaderCheck.h"
#include "common/file/linux/CMp4TrackTiming.h"
#include "common/file/linux/FfmpegInit.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// MP3: frames decoded before a seek target so that the bit reservoir (up to
// 511 bytes back, several frames at low rates) and the filter bank are full.
constexpr int64_t kMp3PrerollFrames = 10;
// MP3: the delay of the decoder's filter bank, added to an encoder delay
// recorded in the information tag.
constexpr int64_t kMp3DecoderDelay = 529;
// Timestamped streams: frames decoded before a seek target (the overlap of
// the transform and the state of band replication).
constexpr int64_t kTimestampPrerollFrames = 8192;
// The start of the next block when nothing tells it (just after a seek).
constexpr int64_t kUnknownStart = INT64_MIN;

// More frames than any packet of a supported codec decodes to.
constexpr int64_t kMaxFramesPerPacket = 16384;

// The demuxers the reader is for: MP3, the MP4 family (MP4, M4A, MOV), ASF
// (WMA) and ADTS AAC. Anything else a probe may find in a file (a playlist,
// a concatenation script) could make the demuxer open other files or URLs.
constexpr const char* kAllowedFormats = "mp3,mov,asf,aac";
// Only files: a demuxer may open nothing else.
constexpr const char* kAllowedProtocols = "file";
// What the demuxer may read, and the stream time it may look at, to find
// the streams: a few packets of every supported codec tell all it needs.
constexpr const char* kProbeSize = "2097152";
constexpr const char* kAnalyzeDuration = "2000000";
// The demuxer's read buffer.
constexpr int kIoBufferSize = 65536;

int64_t ThreadCpuTimeNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

struct IoContextFree
{
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

CFfmpegAudioDecoder::ECodec CodecFromId(AVCodecID id)
{
    switch (id)
    {
    case AV_CODEC_ID_MP3:
        return CFfmpegAudioDecoder::ECodec::kMp3;
    case AV_CODEC_ID_AAC:
        return CFfmpegAudioDecoder::ECodec::kAac;
    case AV_CODEC_ID_ALAC:
        return CFfmpegAudioDecoder::ECodec::kAlac;
    case AV_CODEC_ID_WMAV1:
        return CFfmpegAudioDecoder::ECodec::kWmaV1;
    case AV_CODEC_ID_WMAV2:
        return CFfmpegAudioDecoder::ECodec::kWmaV2;
    case AV_CODEC_ID_WMAPRO:
        return CFfmpegAudioDecoder::ECodec::kWmaPro;
    case AV_CODEC_ID_WMALOSSLESS:
        return CFfmpegAudioDecoder::ECodec::kWmaLossless;
    case AV_CODEC_ID_NONE:
        return CFfmpegAudioDecoder::ECodec::kUnknown;
    default:
        return CFfmpegAudioDecoder::ECodec::kOther;
    }
}

uint32_t ClampToUint32(int64_t v)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX));
}

uint32_t AverageBitRate(int64_t bytes, uint32_t rate, int64_t frames)
{
    if (bytes <= 0 || frames <= 0)
        return 0;
    return ClampToUint32(av_rescale(bytes, 8 * static_cast<int64_t>(rate), frames));
}

bool IsMp4Family(const AVFormatContext* format)
{
    return format != nullptr && format->iformat != nullptr && format->iformat->name != nullptr &&
           std::strstr(format->iformat->name, "mp4") != nullptr;
}

bool IsMp3Container(const AVFormatContext* format)
{
    return format != nullptr && format->iformat != nullptr && format->iformat->name != nullptr &&
           std::strcmp(format->iformat->name, "mp3") == 0;
}

// A channel layout made by FFmpeg's own constructor from a zeroed struct
// (the constructor leaves the map and the opaque pointer alone for an
// unspecified order).
AVChannelLayout DefaultLayout(int channels)
{
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    return layout;
}

// A copy of a decoded frame's layout, or the default one of its channel
// count. The destination starts zeroed: the copy first frees what its
// destination holds.
AVChannelLayout SourceLayout(const AVChannelLayout& frameLayout)
{
    AVChannelLayout layout{};
    if (frameLayout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&layout, &frameLayout) < 0)
    {
        av_channel_layout_uninit(&layout);
        layout = DefaultLayout(frameLayout.nb_channels);
    }
    return layout;
}

uint64_t LayoutHash(const AVChannelLayout& layout)
{
    return static_cast<uint64_t>(layout.nb_channels) << 48 ^ static_cast<uint64_t>(layout.order) << 40 ^
           (layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0);
}

// iTunes gapless information, "iTunSMPB": hexadecimal fields of which the
// second is the priming, the third the padding and the fourth the number of
// samples of the source.
struct GaplessInfo
{
    int64_t priming = 0;
    int64_t samples = 0;
};

bool ParseGaplessInfo(const std::string& text, GaplessInfo* out)
{
    std::istringstream in(text);
    uint64_t fields[4] = {};
    for (uint64_t& field : fields)
        if (!(in >> std::hex >> field))
            return false;
    if (fields[1] > INT32_MAX || fields[3] == 0 ||
        fields[3] > static_cast<uint64_t>(CMp4TrackTiming::kMaxTicks))
        return false;
    out->priming = static_cast<int64_t>(fields[1]);
    out->samples = static_cast<int64_t>(fields[3]);
    return true;
}

// Finds what the headers leave open of the streams by decoding their first
// packets, on this thread. Pictures are not decoded: a cover is kept as its
// bytes, and a picture header may declare any size, whose frame the decoder
// would allocate and clear (a kilobyte file whose cover claimed 6000 x 6000
// pixels took a second and a hundred megabytes to open).
bool FindStreamInfo(AVFormatContext* format)
{
    std::vector<AVDictionary*> options(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i)
    {
        av_dict_set(&options[i], "threads", "1", 0);
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            av_dict_set(&options[i], "max_pixels", "1", 0);
    }
    const bool found = avformat_find_stream_info(format, options.empty() ? nullptr : options.data()) >= 0;
    for (AVDictionary*& streamOptions : options)
        av_dict_free(&streamOptions);
    return found;
}

// The part of an MP4 track that is presented, in media ticks.
struct Presentation
{
    int64_t firstTick = 0;
    int64_t ticks = 0;
};

// The edit ends more than one movie tick before the sample table does, so
// the table covers padding after the audio: the edit tells the length.
bool EditEndsBeforeTable(const CMp4TrackTiming::Timing& timing, int64_t tableTicks)
{
    return timing.hasEdit && timing.singleEdit && timing.editDuration > 0 &&
           av_compare_ts(timing.editDuration + 1, AVRational{1, static_cast<int>(timing.movieTimeScale)},
                         tableTicks, AVRational{1, static_cast<int>(timing.mediaTimeScale)}) < 0;
}

// The priming ends where the edit list starts the presentation (or, without
// one, where the gapless information says); the audio ends with the number
// of samples the gapless information gives, else with the edit where the
// table holds padding, else with the table (whose last entry then counts
// the real samples of the last packet only).
bool PresentationOf(const CMp4TrackTiming::Timing& timing, const std::string& gaplessText, Presentation* out)
{
    if (timing.sampleTableTicks <= 0 || timing.mediaTimeScale > INT_MAX || timing.movieTimeScale > INT_MAX ||
        timing.movieTimeScale == 0)
        return false;
    GaplessInfo gapless;
    const bool hasGapless = ParseGaplessInfo(gaplessText, &gapless);
    const int64_t first = timing.hasEdit ? timing.editMediaTime : (hasGapless ? gapless.priming : 0);
    if (first > timing.sampleTableTicks)
        return false;
    const int64_t rest = timing.sampleTableTicks - first;
    out->firstTick = first;
    if (hasGapless && gapless.samples <= rest)
        out->ticks = gapless.samples;
    else if (EditEndsBeforeTable(timing, rest))
        out->ticks = av_rescale(timing.editDuration, timing.mediaTimeScale, timing.movieTimeScale);
    else
        out->ticks = rest;
    return true;
}
} // namespace

// The open file, read by the demuxer through its own I/O context; the
// deadline of an opening in the thread's CPU time (0: none).
struct CFfmpegAudioDecoder::Input
{
    int fd = -1;
    int64_t size = 0;
    int64_t pos = 0;
    int64_t deadline = 0;
    std::unique_ptr<AVIOContext, IoContextFree> io;

    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input()
    {
        io.reset();
        if (fd >= 0)
            ::close(fd);
    }

    static int Read(void* opaque, uint8_t* buf, int size)
    {
        Input* in = static_cast<Input*>(opaque);
        for (;;)
        {
            const ssize_t got = ::pread(in->fd, buf, static_cast<size_t>(size), in->pos);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return AVERROR(EIO);
            if (got == 0)
                return AVERROR_EOF;
            in->pos += got;
            return static_cast<int>(got);
        }
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence)
    {
        Input* in = static_cast<Input*>(opaque);
        int64_t to = -1;
        switch (whence & ~AVSEEK_FORCE)
        {
        case AVSEEK_SIZE:
            return in->size;
        case SEEK_SET:
            to = offset;
            break;
        case SEEK_CUR:
            to = in->pos + offset;
            break;
        case SEEK_END:
            to = in->size + offset;
            break;
        default:
            break;
        }
        if (to < 0)
            return AVERROR(EINVAL);
        in->pos = to;
        return to;
    }

    static int IsLate(void* opaque)
    {
        const Input* in = static_cast<const Input*>(opaque);
        return in->deadline != 0 && ThreadCpuTimeNs() > in->deadline ? 1 : 0;
    }
};

void CFfmpegAudioDecoder::FormatClose::operator()(AVFormatContext* format) const
{
    avformat_close_input(&format);
}

void CFfmpegAudioDecoder::CodecFree::operator()(AVCodecContext* codec) const
{
    avcodec_free_context(&codec);
}

void CFfmpegAudioDecoder::PacketFree::operator()(AVPacket* packet) const
{
    av_packet_free(&packet);
}

void CFfmpegAudioDecoder::FrameFree::operator()(AVFrame* frame) const
{
    av_frame_free(&frame);
}

void CFfmpegAudioDecoder::ConverterFree::operator()(SwrContext* converter) const
{
    swr_free(&converter);
}

void CFfmpegAudioDecoder::DictionaryFree::operator()(AVDictionary* tags) const
{
    av_dict_free(&tags);
}

CFfmpegAudioDecoder::CFfmpegAudioDecoder() = default;

CFfmpegAudioDecoder::~CFfmpegAudioDecoder()
{
    Close();
}

bool CFfmpegAudioDecoder::Initialise()
{
    static std::once_flag once;
    static bool available = false;
    std::call_once(once,
                   []
                   {
                       InitializeFfmpeg();
                       // The libraries found at run time must be the ones compiled against.
                       const bool versionsMatch =
                           (avformat_version() >> 16) == LIBAVFORMAT_VERSION_MAJOR &&
                           (avcodec_version() >> 16) == LIBAVCODEC_VERSION_MAJOR &&
                           (swresample_version() >> 16) == LIBSWRESAMPLE_VERSION_MAJOR &&
                           (avutil_version() >> 16) == LIBAVUTIL_VERSION_MAJOR;
                       available = versionsMatch && avcodec_find_decoder(AV_CODEC_ID_MP3) != nullptr &&
                                   avcodec_find_decoder(AV_CODEC_ID_AAC) != nullptr &&
                                   avcodec_find_decoder(AV_CODEC_ID_ALAC) != nullptr &&
                                   av_find_input_format("mp3") != nullptr &&
                                   av_find_input_format("mp4") != nullptr;
                   });
    return available;
}

int CFfmpegAudioDecoder::Open(const char* utf8Path)
{
    Close();
    if (!Initialise() || utf8Path == nullptr || *utf8Path == 0)
        return kCannotOpen;
    m_state.path = utf8Path;
    if (!OpenFile() || IsRefusedMp4Header() || !OpenContainer())
    {
        Close();
        return kCannotOpen;
    }

    if (!FindTheAudioStream())
    {
        Close();
        return kNotOneAudioStream;
    }
    DescribeStream();
    ReadTagsAndCover();
    m_state.open = true;
    return kOpened;
}

bool CFfmpegAudioDecoder::FindTheAudioStream()
{
    int audioStreams = 0;
    int videoStreams = 0;
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
    {
        const AVStream* st = m_format->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
        {
            ++audioStreams;
            m_state.streamIndex = static_cast<int>(i);
        }
        else if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                 (st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0)
        {
            ++videoStreams;
        }
    }
    return audioStreams == 1 && videoStreams == 0;
}

bool CFfmpegAudioDecoder::OpenFile()
{
    // Non-blocking, so that a FIFO doesn't wait for a writer; then only a
    // regular file is read.
    auto input = std::make_unique<Input>();
    input->fd = ::open(m_state.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (input->fd < 0 || ::fstat(input->fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    input->size = st.st_size;
    m_input = std::move(input);
    return true;
}

bool CFfmpegAudioDecoder::IsRefusedMp4Header() const
{
    const CMp4HeaderCheck::EVerdict verdict = CMp4HeaderCheck::Check(m_input->fd, m_input->size);
    return verdict != CMp4HeaderCheck::EVerdict::kSound && verdict != CMp4HeaderCheck::EVerdict::kNotBoxes;
}

bool CFfmpegAudioDecoder::OpenContainer()
{
    if (m_input == nullptr)
        return false;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr)
        return false;
    m_input->pos = 0;
    m_input->io.reset(
        avio_alloc_context(buffer, kIoBufferSize, 0, m_input.get(), &Input::Read, nullptr, &Input::Seek));
    AVFormatContext* format = m_input->io != nullptr ? avformat_alloc_context() : nullptr;
    if (format == nullptr)
    {
        if (m_input->io == nullptr)
            av_free(buffer);
        m_input->io.reset();
        return false;
    }
    format->pb = m_input->io.get();
    format->interrupt_callback.callback = &Input::IsLate;
    format->interrupt_callback.opaque = m_input.get();
    m_input->deadline = ThreadCpuTimeNs() + kOpenCpuBudgetNs;

    // The name only guides the probe: the demuxer reads the open file. The
    // "file:" prefix keeps a colon in the path from naming a protocol.
    const std::string url = "file:" + m_state.path;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kAllowedFormats, 0);
    av_dict_set(&options, "protocol_whitelist", kAllowedProtocols, 0);
    av_dict_set(&options, "probesize", kProbeSize, 0);
    av_dict_set(&options, "analyzeduration", kAnalyzeDuration, 0);
    // MP4 timestamps stay those of the sample table: the priming and the
    // length come from the track's own boxes (ReadMp4Presentation), and
    // no packet is dropped for an edit list rounded to the movie's ticks.
    av_dict_set(&options, "ignore_editlist", "1", 0);
    const int opened = avformat_open_input(&format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
    {
        // The context is gone; the I/O context is ours.
        m_input->deadline = 0;
        m_input->io.reset();
        return false;
    }
    m_format.reset(format);
    const bool found = FindStreamInfo(format);
    m_input->deadline = 0;
    if (!found)
    {
        CloseContainer();
        return false;
    }
    return true;
}

void CFfmpegAudioDecoder::CloseContainer()
{
    // The demuxer first: it reads through the I/O context.
    m_format.reset();
    if (m_input != nullptr)
        m_input->io.reset();
}

void CFfmpegAudioDecoder::DescribeStream()
{
    const AVStream* st = m_format->streams[m_state.streamIndex];
    const AVCodecParameters* par = st->codecpar;
    m_state.description = Description();
    m_state.description.codec = CodecFromId(par->codec_id);
    m_state.description.sampleRate = ClampToUint32(par->sample_rate);
    m_state.description.channels = static_cast<uint16_t>(std::clamp(par->ch_layout.nb_channels, 0, 65535));
    if (m_state.description.codec == ECodec::kAlac || m_state.description.codec == ECodec::kWmaLossless)
        m_state.description.bitsPerRawSample =
            static_cast<uint16_t>(std::clamp(par->bits_per_raw_sample, 0, 64));
    m_state.description.nominalBitRate = ClampToUint32(par->bit_rate);
    m_state.description.averageBitRate =
        ClampToUint32(par->bit_rate > 0 ? par->bit_rate : m_format->bit_rate);
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE && par->sample_rate > 0)
        m_state.description.numFrames =
            av_rescale_q(st->duration, st->time_base, AVRational{1, par->sample_rate});
}

void CFfmpegAudioDecoder::ReadTagsAndCover()
{
    AVDictionary* fileTags = nullptr;
    AVDictionary* streamTags = nullptr;
    av_dict_copy(&fileTags, m_format->metadata, 0);
    av_dict_copy(&streamTags, m_format->streams[m_state.streamIndex]->metadata, 0);
    m_fileTags.reset(fileTags);
    m_streamTags.reset(streamTags);

    const AVStream* cover = nullptr;
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
    {
        const AVStream* st = m_format->streams[i];
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 || st->attached_pic.size <= 0)
            continue;
        const AVDictionaryEntry* kind = av_dict_get(st->metadata, "comment", nullptr, 0);
        const bool front = kind != nullptr && std::strcmp(kind->value, "Cover (front)") == 0;
        if (cover == nullptr || front)
            cover = st;
        if (front)
            break;
    }
    if (cover != nullptr && static_cast<uint32_t>(cover->attached_pic.size) <= kMaxPictureSize)
        m_state.cover.assign(cover->attached_pic.data, cover->attached_pic.data + cover->attached_pic.size);
}

std::string CFfmpegAudioDecoder::GetTag(const char* key) const
{
    for (const AVDictionary* tags : {m_fileTags.get(), m_streamTags.get()})
    {
        const AVDictionaryEntry* e = av_dict_get(tags, key, nullptr, 0);
        if (e != nullptr && e->value != nullptr && *e->value != 0)
            return e->value;
    }
    return std::string();
}

bool CFfmpegAudioDecoder::OpenCodec()
{
    const AVCodecParameters* par =
        m_state.mode == EMode::kMp3Frames ? nullptr : m_format->streams[m_state.streamIndex]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par != nullptr ? par->codec_id : AV_CODEC_ID_MP3);
    if (decoder == nullptr)
        return false;
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (m_codec == nullptr)
        return false;
    if (par != nullptr)
    {
        if (avcodec_parameters_to_context(m_codec.get(), par) < 0)
            return false;
        m_codec->pkt_timebase = m_format->streams[m_state.streamIndex]->time_base;
    }
    m_codec->thread_count = 1;
    // Timestamped streams keep their priming and padding: the timestamps say
    // which samples belong to the stream.
    if (m_state.mode == EMode::kTimestamps)
        m_codec->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
        return false;
    if (m_packet == nullptr)
        m_packet.reset(av_packet_alloc());
    if (m_frame == nullptr)
        m_frame.reset(av_frame_alloc());
    if (m_packet == nullptr || m_frame == nullptr)
        return false;
    if ((m_state.description.codec == ECodec::kAlac || m_state.description.codec == ECodec::kWmaLossless) &&
        m_codec->bits_per_raw_sample > 0)
        m_state.description.bitsPerRawSample =
            static_cast<uint16_t>(std::min(m_codec->bits_per_raw_sample, 64));
    return true;
}

void CFfmpegAudioDecoder::RenewDecoder()
{
    // A new decoder rather than a flushed one: decoders keep state a flush
    // leaves alone (the noise generator of AAC), and a fresh one makes what
    // follows a seek depend on the target only.
    m_codec.reset();
    if (!OpenCodec())
    {
        m_codec.reset();
        m_state.ended = true;
        m_state.readError = true;
    }
}

void CFfmpegAudioDecoder::CloseCodec()
{
    m_codec.reset();
    m_packet.reset();
    m_frame.reset();
    m_converter.reset();
    m_converterFormat = -1;
    m_converterRate = 0;
    m_converterLayoutHash = 0;
}

bool CFfmpegAudioDecoder::StartDecoding()
{
    if (!m_state.open)
        return false;
    if (m_state.decoding)
        return true;
    ChooseMode();
    const bool ok = m_state.mode == EMode::kMp3Frames ? StartMp3Frames() : StartContainerDecoding();
    if (!ok)
    {
        Close();
        return false;
    }
    return true;
}

void CFfmpegAudioDecoder::ChooseMode()
{
    const AVStream* st = m_format->streams[m_state.streamIndex];
    m_state.timeBaseNum = st->time_base.num;
    m_state.timeBaseDen = st->time_base.den;
    const int headerRate = st->codecpar->sample_rate;

    m_state.mode = EMode::kSequential;
    if (m_state.description.codec == ECodec::kMp3 && IsMp3Container(m_format.get()))
    {
        m_mp3 = std::make_unique<CMp3StreamScanner>();
        if (m_mp3->Open(m_state.path.c_str()))
            m_state.mode = EMode::kMp3Frames;
        else
            m_mp3.reset();
    }
    else if (IsMp4Family(m_format.get()) && m_state.timeBaseNum > 0 && m_state.timeBaseDen > 0 &&
             headerRate > 0 &&
             (static_cast<int64_t>(m_state.timeBaseNum) * headerRate) % m_state.timeBaseDen == 0)
    {
        m_state.mode = EMode::kTimestamps;
        ReadMp4Presentation();
    }
}

void CFfmpegAudioDecoder::ReadMp4Presentation()
{
    const AVStream* st = m_format->streams[m_state.streamIndex];
    m_state.timestampOrigin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    m_state.presentedTicks = -1;
    // The stream's ID is the track's; its time base, the track's time scale.
    // The gapless information counts samples at the stream's rate: it
    // applies where the track's ticks are those samples.
    const std::string gapless =
        st->codecpar->sample_rate == m_state.timeBaseDen ? GetTag("iTunSMPB") : std::string();
    CMp4TrackTiming::Timing timing;
    Presentation presentation;
    if (st->id > 0 && m_state.timeBaseNum == 1 &&
        CMp4TrackTiming::Read(m_input->fd, static_cast<uint32_t>(st->id), &timing) &&
        timing.mediaTimeScale == static_cast<uint32_t>(m_state.timeBaseDen) &&
        PresentationOf(timing, gapless, &presentation))
    {
        m_state.timestampOrigin = presentation.firstTick;
        m_state.presentedTicks = presentation.ticks;
    }
}

bool CFfmpegAudioDecoder::StartMp3Frames()
{
    // The data bytes of the audio, for the average bit rate.
    const int64_t dataBytes =
        m_mp3->GetTagBytes() > 0 ? m_mp3->GetTagBytes() : m_mp3->GetAudioEnd() - m_mp3->GetAudioStart();
    CloseContainer();
    m_state.description.sampleRate = m_mp3->GetSampleRate();
    m_state.description.channels = m_mp3->GetNumChannels();
    m_state.block.assign(m_state.description.channels, std::vector<int32_t>());
    m_state.outputFixed = true;
    if (!OpenCodec())
        return false;
    m_state.mp3Origin = m_mp3->HasEncoderDelay() ? m_mp3->GetEncoderDelay() + kMp3DecoderDelay : 0;
    m_state.description.numFrames = std::max<int64_t>(0, Mp3DecodedEnd() - m_state.mp3Origin);

    CMp3StreamScanner::Frame first;
    const bool vbr = m_mp3->IsVbrTag() || !m_mp3->IsConstantBitRateSoFar();
    m_state.description.nominalBitRate = !vbr && m_mp3->GetFrame(0, &first) ? first.bitRate : 0;
    m_state.description.averageBitRate =
        AverageBitRate(dataBytes, m_state.description.sampleRate, m_state.description.numFrames);
    m_state.decoding = true;
    m_state.nextBlockStart = kUnknownStart;
    SeekExact(0);
    return true;
}

int64_t CFfmpegAudioDecoder::Mp3DecodedEnd()
{
    const int64_t spf = m_mp3->GetSamplesPerFrame();
    if (m_mp3->GetTagFrames() <= 0)
        return m_mp3->CountFrames() * spf;
    // The decoder's filter bank delays the audio by kMp3DecoderDelay: the
    // padding the tag records includes it. The tag's frames decode to no
    // more than their samples, however little padding it records.
    const int64_t tagEnd = m_mp3->GetTagFrames() * spf;
    if (!m_mp3->HasEncoderDelay())
        return tagEnd;
    return std::min(tagEnd, tagEnd + kMp3DecoderDelay - m_mp3->GetEncoderPadding());
}

bool CFfmpegAudioDecoder::StartContainerDecoding()
{
    if (!OpenCodec())
        return false;
    m_state.decoding = true;
    // The first block tells the rate and channels of the decoded audio.
    m_state.outputFixed = false;
    m_state.nextBlockStart = m_state.mode == EMode::kTimestamps ? kUnknownStart : 0;
    SeekExact(0);
    if (!DecodeNextBlock() || m_state.description.sampleRate == 0 || m_state.description.channels == 0)
        return false;
    const int rate = static_cast<int>(m_state.description.sampleRate);
    if (m_state.mode == EMode::kTimestamps &&
        (static_cast<int64_t>(m_state.timeBaseNum) * rate) % m_state.timeBaseDen != 0)
    {
        // Timestamps that don't count whole samples of the decoded audio.
        m_state.mode = EMode::kSequential;
        if (!Restart() || !DecodeNextBlock())
            return false;
    }
    const int64_t stated = m_state.mode == EMode::kTimestamps ? StatedTimestampLength() : -1;
    m_state.description.numFrames = stated >= 0 ? stated : CountByDecoding();
    if (m_state.mode == EMode::kTimestamps)
        SetIndexedAverageBitRate();
    m_state.readError = false;
    SeekExact(0);
    return true;
}

int64_t CFfmpegAudioDecoder::StatedTimestampLength()
{
    AVStream* st = m_format->streams[m_state.streamIndex];
    int64_t ticks = m_state.presentedTicks;
    if (ticks < 0 && st->duration > 0 && st->duration != AV_NOPTS_VALUE)
        ticks = st->duration;
    if (ticks < 0)
        return -1;
    const AVRational tb{m_state.timeBaseNum, m_state.timeBaseDen};
    const AVRational frames{1, static_cast<int>(m_state.description.sampleRate)};
    const int64_t length = av_rescale_q(ticks, tb, frames);

    // The stated length comes from the file: it may not run past the last
    // packet by more than a packet could ever hold.
    const int entries = avformat_index_get_entries_count(st);
    int64_t lastStart = -1;
    for (int i = 0; i < entries; ++i)
        lastStart = std::max(lastStart, avformat_index_get_entry(st, i)->timestamp);
    if (lastStart < 0)
        return length;
    return std::min(length,
                    av_rescale_q(lastStart - m_state.timestampOrigin, tb, frames) + kMaxFramesPerPacket);
}

void CFfmpegAudioDecoder::SetIndexedAverageBitRate()
{
    AVStream* st = m_format->streams[m_state.streamIndex];
    int64_t bytes = 0;
    const int entries = avformat_index_get_entries_count(st);
    for (int i = 0; i < entries; ++i)
        bytes += avformat_index_get_entry(st, i)->size;
    if (bytes > 0)
        m_state.description.averageBitRate =
            AverageBitRate(bytes, m_state.description.sampleRate, m_state.description.numFrames);
}

void CFfmpegAudioDecoder::Close()
{
    CloseCodec();
    CloseContainer();
    m_input.reset();
    m_mp3.reset();
    m_fileTags.reset();
    m_streamTags.reset();
    m_state = State();
}

bool CFfmpegAudioDecoder::Restart()
{
    const int streamIndex = m_state.streamIndex;
    m_state.blockLength = 0;
    CloseCodec();
    CloseContainer();
    if (!OpenContainer() || streamIndex < 0 || static_cast<unsigned>(streamIndex) >= m_format->nb_streams ||
        m_format->streams[streamIndex]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
    {
        // The file changed or went away: what follows is silence.
        CloseContainer();
        m_state.readError = true;
        m_state.ended = true;
        return false;
    }
    m_state.streamIndex = streamIndex;
    if (!OpenCodec())
    {
        CloseCodec();
        CloseContainer();
        m_state.readError = true;
        m_state.ended = true;
        return false;
    }
    m_state.blockLength = 0;
    m_state.nextBlockStart = m_state.mode == EMode::kTimestamps ? kUnknownStart : 0;
    m_state.firstBlockAfterSeek = m_state.mode == EMode::kTimestamps;
    m_state.exactFrom = INT64_MIN;
    m_state.drainSent = false;
    m_state.ended = false;
    return true;
}

void CFfmpegAudioDecoder::Seek(int64_t frame)
{
    if (!m_state.decoding)
        return;
    SeekExact(std::clamp<int64_t>(frame, 0, m_state.description.numFrames));
}

void CFfmpegAudioDecoder::SeekExact(int64_t frame)
{
    m_state.pos = frame;
    if (IsReachedByDecodingOn(frame))
        return;
    m_state.seekRetried = false;
    m_state.blockLength = 0;
    m_state.ended = false;
    m_state.drainSent = false;
    switch (m_state.mode)
    {
    case EMode::kMp3Frames:
        SeekMp3Frames(frame);
        break;
    case EMode::kTimestamps:
        SeekTimestamps(frame);
        break;
    case EMode::kSequential:
        Restart();
        break;
    }
}

bool CFfmpegAudioDecoder::IsReachedByDecodingOn(int64_t frame) const
{
    // A decoding that began at the stream's first packet and is at its first
    // block: a target before that block reaches silence up to it, as a
    // decode from the start does.
    if (m_state.mode == EMode::kTimestamps && m_state.blockLength > 0 && m_state.blockIsFirstAfterSeek &&
        m_state.seekRetried && m_state.exactFrom == INT64_MIN && frame < m_state.blockStart)
        return true;
    // Targets a little ahead of what is decoded are reached by decoding on.
    const int64_t current = m_state.blockLength > 0 ? m_state.blockStart : m_state.nextBlockStart;
    if (m_state.nextBlockStart == kUnknownStart || frame < current || frame < m_state.exactFrom ||
        (m_codec == nullptr && !m_state.ended))
        return false;
    int64_t reach = INT64_MAX;
    if (m_state.mode == EMode::kMp3Frames)
        reach = 2 * kMp3PrerollFrames * m_mp3->GetSamplesPerFrame();
    else if (m_state.mode == EMode::kTimestamps)
        reach = 2 * kTimestampPrerollFrames;
    return frame - m_state.nextBlockStart <= reach;
}

void CFfmpegAudioDecoder::SeekMp3Frames(int64_t frame)
{
    const int64_t spf = m_mp3->GetSamplesPerFrame();
    const int64_t k = (frame + m_state.mp3Origin) / spf;
    m_state.mp3NextFrame = std::max<int64_t>(0, k - kMp3PrerollFrames);
    m_state.nextBlockStart = m_state.mp3NextFrame * spf - m_state.mp3Origin;
    m_state.exactFrom = m_state.mp3NextFrame == 0 ? INT64_MIN : frame;
    RenewDecoder();
}

void CFfmpegAudioDecoder::SeekTimestamps(int64_t frame)
{
    if ((m_format == nullptr || m_codec == nullptr) && !Restart())
        return;
    const AVRational tb{m_state.timeBaseNum, m_state.timeBaseDen};
    const AVRational samples{1, static_cast<int>(m_state.description.sampleRate)};
    const int64_t ts = m_state.timestampOrigin + av_rescale_q_rnd(frame - kTimestampPrerollFrames, samples,
                                                                  tb, static_cast<AVRounding>(AV_ROUND_DOWN));
    if (av_seek_frame(m_format.get(), m_state.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0)
    {
        Restart();
        return;
    }
    RenewDecoder();
    m_state.nextBlockStart = kUnknownStart;
    m_state.firstBlockAfterSeek = true;
    m_state.firstPacketAfterSeek = true;
    m_state.exactFrom = frame - kTimestampPrerollFrames <= 0 ? INT64_MIN : frame;
}

uint32_t CFfmpegAudioDecoder::Read(int32_t* const* bufs, uint32_t n, uint32_t dstOffset)
{
    if (!m_state.decoding || bufs == nullptr)
        return 0;
    const uint32_t limit =
        static_cast<uint32_t>(std::clamp<int64_t>(m_state.description.numFrames - m_state.pos, 0, n));
    uint32_t done = 0;
    while (done < limit)
        done += ReadStep(bufs, dstOffset + done, limit - done);
    return done;
}

uint32_t CFfmpegAudioDecoder::ReadStep(int32_t* const* bufs, uint32_t at, uint32_t n)
{
    if (m_state.blockLength > 0 && m_state.pos >= m_state.blockStart &&
        m_state.pos < m_state.blockStart + m_state.blockLength)
        return CopyFromBlock(bufs, at, n);
    if (m_state.blockLength > 0 && m_state.blockStart > m_state.pos)
    {
        if (m_state.blockIsFirstAfterSeek && !m_state.seekRetried && m_state.mode == EMode::kTimestamps)
        {
            // The seek landed after its target: decode from the start.
            m_state.seekRetried = true;
            if (Restart())
                return 0;
        }
        // A gap in the timestamps is silence.
        return DeliverSilence(bufs, at,
                              static_cast<uint32_t>(std::min<int64_t>(m_state.blockStart - m_state.pos, n)));
    }
    if (DecodeNextBlock())
        return 0;
    // The decoder ended before the stated length: the rest of the file is
    // missing or can't be read. Silence stands in for it up to the length.
    m_state.readError = true;
    return DeliverSilence(bufs, at, n);
}

uint32_t CFfmpegAudioDecoder::CopyFromBlock(int32_t* const* bufs, uint32_t at, uint32_t n)
{
    const uint32_t count =
        static_cast<uint32_t>(std::min<int64_t>(m_state.blockStart + m_state.blockLength - m_state.pos, n));
    const size_t from = static_cast<size_t>(m_state.pos - m_state.blockStart);
    for (uint16_t c = 0; c < m_state.description.channels; ++c)
        if (bufs[c] != nullptr)
            std::memcpy(bufs[c] + at, m_state.block[c].data() + from, count * sizeof(int32_t));
    m_state.pos += count;
    return count;
}

uint32_t CFfmpegAudioDecoder::DeliverSilence(int32_t* const* bufs, uint32_t at, uint32_t n)
{
    for (uint16_t c = 0; c < m_state.description.channels; ++c)
        if (bufs[c] != nullptr)
            std::memset(bufs[c] + at, 0, n * sizeof(int32_t));
    m_state.pos += n;
    return n;
}

int64_t CFfmpegAudioDecoder::CountByDecoding()
{
    int64_t end = m_state.blockLength > 0 ? m_state.blockStart + m_state.blockLength : 0;
    while (DecodeNextBlock())
        end = std::max(end, m_state.blockStart + static_cast<int64_t>(m_state.blockLength));
    return std::max<int64_t>(0, end);
}

bool CFfmpegAudioDecoder::DecodeNextBlock()
{
    if (m_state.ended)
        return false;
    const bool ok = m_state.mode == EMode::kMp3Frames ? DecodeNextMp3Block() : DecodeNextContainerBlock();
    if (!ok)
    {
        m_state.ended = true;
        m_state.blockLength = 0;
    }
    return ok;
}

bool CFfmpegAudioDecoder::DecodeNextMp3Block()
{
    if (m_codec == nullptr)
        return false;
    CMp3StreamScanner::Frame f;
    if (!m_mp3->GetFrame(m_state.mp3NextFrame, &f))
    {
        if (m_mp3->ReadErrorOccurred())
            m_state.readError = true;
        return false;
    }
    const uint32_t spf = m_mp3->GetSamplesPerFrame();
    const int64_t start = m_state.mp3NextFrame * spf - m_state.mp3Origin;
    ++m_state.mp3NextFrame;
    m_state.nextBlockStart = start + spf;

    av_packet_unref(m_packet.get());
    if (av_new_packet(m_packet.get(), static_cast<int>(f.size)) < 0 || !m_mp3->ReadFrame(f, m_packet->data))
    {
        m_state.readError = true;
        return false;
    }
    m_state.blockLength = 0;
    if (avcodec_send_packet(m_codec.get(), m_packet.get()) >= 0)
    {
        while (avcodec_receive_frame(m_codec.get(), m_frame.get()) >= 0)
        {
            if (m_state.blockLength == 0 && m_frame->nb_samples > 0)
                TakeFrame(m_frame.get(), start);
            av_frame_unref(m_frame.get());
        }
    }
    av_packet_unref(m_packet.get());
    // Every frame stands for its samples, so that the positions of the frames
    // after it stay exact: a frame that doesn't decode is silence.
    if (m_state.blockLength == 0)
        SetSilentBlock(start, spf);
    if (m_state.blockLength != spf)
    {
        for (auto& channel : m_state.block)
            channel.resize(spf, 0);
        m_state.blockLength = spf;
    }
    return true;
}

bool CFfmpegAudioDecoder::DecodeNextContainerBlock()
{
    if (m_codec == nullptr || m_format == nullptr)
        return false;
    for (;;)
    {
        const int r = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (r == 0)
        {
            if (TakeContainerFrame())
                return true;
            continue;
        }
        if (r == AVERROR_EOF || m_state.drainSent)
            return false;
        FeedNextPacket();
    }
}

bool CFfmpegAudioDecoder::TakeContainerFrame()
{
    const int64_t start = ContainerFrameStart(m_frame.get());
    if (m_frame->nb_samples <= 0 || start == kUnknownStart)
    {
        // Without a timestamp just after a seek the frame has no place.
        av_frame_unref(m_frame.get());
        return false;
    }
    TakeFrame(m_frame.get(), start);
    av_frame_unref(m_frame.get());
    m_state.nextBlockStart = start + m_state.blockLength;
    m_state.blockIsFirstAfterSeek = m_state.firstBlockAfterSeek;
    m_state.firstBlockAfterSeek = false;
    return true;
}

int64_t CFfmpegAudioDecoder::ContainerFrameStart(const AVFrame* frame) const
{
    if (m_state.mode != EMode::kTimestamps)
        return m_state.nextBlockStart;
    const int64_t ts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
    const int rate =
        m_state.outputFixed ? static_cast<int>(m_state.description.sampleRate) : frame->sample_rate;
    if (ts == AV_NOPTS_VALUE || rate <= 0)
        return m_state.nextBlockStart;
    return av_rescale_q(ts - m_state.timestampOrigin, AVRational{m_state.timeBaseNum, m_state.timeBaseDen},
                        AVRational{1, rate});
}

void CFfmpegAudioDecoder::FeedNextPacket()
{
    const int r = av_read_frame(m_format.get(), m_packet.get());
    if (r < 0)
    {
        if (r != AVERROR_EOF)
            m_state.readError = true;
        avcodec_send_packet(m_codec.get(), nullptr);
        m_state.drainSent = true;
        return;
    }
    if (m_packet->stream_index == m_state.streamIndex)
    {
        if (m_state.firstPacketAfterSeek)
            NoteFirstPacketAfterSeek();
        avcodec_send_packet(m_codec.get(), m_packet.get()); // a packet that doesn't decode is skipped
    }
    av_packet_unref(m_packet.get());
}

void CFfmpegAudioDecoder::NoteFirstPacketAfterSeek()
{
    // The index of the MP4 family is the whole sample table: its first entry
    // is the stream's first packet. A stream whose first packets don't decode
    // begins after the target of every seek near the start; a decode from
    // the start (opening the file again) would only find the same.
    m_state.firstPacketAfterSeek = false;
    const AVIndexEntry* first = avformat_index_get_entry(m_format->streams[m_state.streamIndex], 0);
    if (first != nullptr && m_packet->dts != AV_NOPTS_VALUE && m_packet->dts <= first->timestamp)
        m_state.seekRetried = true;
}

bool CFfmpegAudioDecoder::ConfigureConverter(const AVFrame* frame)
{
    const uint64_t layoutHash = LayoutHash(frame->ch_layout);
    if (m_converter != nullptr && m_converterFormat == frame->format &&
        m_converterRate == frame->sample_rate && m_converterLayoutHash == layoutHash)
        return true;
    m_converter.reset();
    AVChannelLayout in = SourceLayout(frame->ch_layout);
    AVChannelLayout out = DefaultLayout(m_state.description.channels);
    SwrContext* converter = nullptr;
    const int r =
        swr_alloc_set_opts2(&converter, &out, AV_SAMPLE_FMT_S32P, frame->sample_rate, &in,
                            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    m_converter.reset(converter);
    if (r < 0 || swr_init(converter) < 0)
    {
        m_converter.reset();
        return false;
    }
    m_converterFormat = frame->format;
    m_converterRate = frame->sample_rate;
    m_converterLayoutHash = layoutHash;
    return true;
}

void CFfmpegAudioDecoder::TakeFrame(const AVFrame* frame, int64_t start)
{
    if (!m_state.outputFixed)
    {
        // The first decoded frame fixes the rate and channels of the output.
        m_state.description.sampleRate = ClampToUint32(frame->sample_rate);
        m_state.description.channels =
            static_cast<uint16_t>(std::clamp(frame->ch_layout.nb_channels, 0, 65535));
        m_state.block.assign(m_state.description.channels, std::vector<int32_t>());
        m_state.outputFixed = true;
    }
    const uint32_t length = static_cast<uint32_t>(frame->nb_samples);
    const uint16_t channels = m_state.description.channels;
    for (auto& channel : m_state.block)
        channel.resize(length);
    m_state.blockStart = start;
    m_state.blockLength = length;

    if (static_cast<uint32_t>(frame->sample_rate) != m_state.description.sampleRate)
    {
        // A change of rate within the stream can't keep the positions: silence.
        for (auto& channel : m_state.block)
            std::fill(channel.begin(), channel.end(), 0);
        return;
    }
    if (frame->format == AV_SAMPLE_FMT_S32P && frame->ch_layout.nb_channels == channels)
    {
        for (uint16_t c = 0; c < channels; ++c)
            std::memcpy(m_state.block[c].data(), frame->extended_data[c], length * sizeof(int32_t));
        return;
    }
    int converted = -1;
    if (ConfigureConverter(frame))
    {
        std::vector<uint8_t*> out(channels);
        for (uint16_t c = 0; c < channels; ++c)
            out[c] = reinterpret_cast<uint8_t*>(m_state.block[c].data());
        converted = swr_convert(m_converter.get(), out.data(), static_cast<int>(length),
                                const_cast<const uint8_t**>(frame->extended_data), static_cast<int>(length));
    }
    const uint32_t kept = converted > 0 ? static_cast<uint32_t>(converted) : 0;
    for (auto& channel : m_state.block)
        std::fill(channel.begin() + kept, channel.end(), 0);
}

void CFfmpegAudioDecoder::SetSilentBlock(int64_t start, uint32_t length)
{
    for (auto& channel : m_state.block)
        channel.assign(length, 0);
    m_state.blockStart = start;
    m_state.blockLength = length;
}
