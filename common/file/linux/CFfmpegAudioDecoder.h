#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
class CMp3StreamScanner;

// Decodes the one audio stream of a compressed file (through libavformat and
// libavcodec) into planar left-justified 32-bit integers, and positions it on
// any frame exactly.
//
// Only the demuxers of the formats this layer reads are used (MP3, the MP4
// family, ASF, ADTS AAC), and only regular files: the file is opened here
// without blocking (a FIFO or a device is refused as if missing) and the
// demuxer reads through that descriptor alone; a file that is really
// something else, such as a playlist that names other files or URLs, doesn't
// open. An MP4-family header is checked before the demuxer reads it
// (CMp4HeaderCheck): one that promises more than the file holds, or that was
// cut, is refused. What the demuxer may read to find the streams is capped,
// pictures (a cover is kept as its bytes) are not decoded to find them, and
// the opening stops once it has taken kOpenCpuBudgetNs of the thread's CPU
// time.
//
// The stream is seen as frames 0 .. GetNumFrames()-1 of the decoded audio with
// the encoder's priming removed and the padding after the last frame cut off:
// a decode from the start delivers exactly GetNumFrames() frames, and a Seek
// followed by a Read delivers the same samples a read from the start would at
// that position. Where the length comes from:
// - MP3 files: the frame count of the information tag less the encoder delay
//   and padding it records; without a tag, the frames counted in the file.
//   The frames are found by their headers (CMp3StreamScanner) and fed to the
//   decoder one by one, so a seek lands on an exact frame; decoding starts a
//   few frames early to fill the bit reservoir and the filter bank.
// - MP4-family files: the track's own boxes (CMp4TrackTiming): the sample
//   table less the priming the edit list skips and the padding, or the
//   sample count of the iTunes gapless information; timestamps count samples,
//   and a seek goes to a packet before the target by timestamp. When those
//   boxes can't be read, the stream's duration.
// - Anything else: the frames a full decode delivers, counted at the start;
//   a seek backwards decodes again from the start.
// A decoder that ends before the length (a file cut short or unreadable) is
// followed by silence up to the length, and a read error is flagged; audio
// beyond the length is dropped.
//
// A seek starts a new decoder, so what follows a seek depends on the target
// alone. AAC bands coded as noise are filled from the decoder's random
// generator: after a seek they hold other noise than in a read from the start
// (all other samples are the same).
//
// One thread uses an object at a time.
class CFfmpegAudioDecoder
{
public:
    enum class ECodec
    {
        kUnknown,
        kMp3,
        kAac,
        kAlac,
        kWmaV1,
        kWmaV2,
        kWmaPro,
        kWmaLossless,
        kOther
    };

    enum EOpenResult
    {
        kOpened = 0,
        // The file cannot be read or is no media file.
        kCannotOpen,
        // Not exactly one audio stream, or a video stream beside it (an attached
        // cover picture counts as neither).
        kNotOneAudioStream
    };

    struct Description
    {
        ECodec codec = ECodec::kUnknown;
        uint32_t sampleRate = 0;
        uint16_t channels = 0;
        // The bits of the source samples of a lossless codec; 0 when unknown.
        uint16_t bitsPerRawSample = 0;
        // The bit rate the stream declares for itself; 0 when its header marks
        // a variable rate or names none.
        uint32_t nominalBitRate = 0;
        // Data bytes x 8 per second of audio; 0 when unknown.
        uint32_t averageBitRate = 0;
        // The exact length in frames (known once decoding has started).
        int64_t numFrames = 0;
    };

    // The largest cover picture kept.
    static constexpr uint32_t kMaxPictureSize = 16u * 1024u * 1024u;
    // The CPU time an opening of the container may take (the header read and
    // the streams found): far beyond what a real file needs, even under the
    // sanitizers; a damaged header that keeps the demuxer busy longer is
    // refused.
    static constexpr int64_t kOpenCpuBudgetNs = 2'000'000'000;

    CFfmpegAudioDecoder();
    ~CFfmpegAudioDecoder();

    CFfmpegAudioDecoder(const CFfmpegAudioDecoder&) = delete;
    CFfmpegAudioDecoder& operator=(const CFfmpegAudioDecoder&) = delete;

    // Sets the libraries up once per process (their log to errors only);
    // false when the decoders this layer needs are missing.
    static bool Initialise();

    // Opens the file and describes its audio stream from the headers, reads
    // its tags and its cover picture. Returns an EOpenResult.
    int Open(const char* utf8Path);
    // Sets up the decoder and finds the exact length; the description then
    // holds the rate and channels of the decoded audio. False when the
    // stream cannot be decoded (the object is closed then).
    bool StartDecoding();
    void Close();
    bool IsOpen() const { return m_state.open; }
    bool IsDecoding() const { return m_state.decoding; }

    const Description& GetDescription() const { return m_state.description; }
    // The tag's value (UTF-8): the file's, else the stream's; empty if none.
    std::string GetTag(const char* key) const;
    // The attached cover picture's bytes (the front cover when there are
    // several); empty when there is none or it is larger than kMaxPictureSize.
    const std::vector<uint8_t>& GetCoverPicture() const { return m_state.cover; }

    int64_t GetPosition() const { return m_state.pos; }
    // Positions outside 0 .. length are limited to it.
    void Seek(int64_t frame);
    // Reads min(n, length - position) frames into each channel buffer from
    // dstOffset and returns that number.
    uint32_t Read(int32_t* const* bufs, uint32_t n, uint32_t dstOffset);
    bool ReadErrorOccurred() const { return m_state.readError; }

private:
    enum class EMode
    {
        kMp3Frames,
        kTimestamps,
        kSequential
    };

    // The file opened for reading: regular files only.
    bool OpenFile();
    // An MP4-family header that promises more than the file holds or was cut.
    bool IsRefusedMp4Header() const;
    bool OpenContainer();
    void CloseContainer();
    // Exactly one audio stream (its index kept) and no video beside it.
    bool FindTheAudioStream();
    bool OpenCodec();
    void CloseCodec();
    void RenewDecoder();
    void DescribeStream();
    void ReadTagsAndCover();
    bool Restart();

    // Starting: the mode from the container and codec, then the decoder,
    // the exact length and the bit rates.
    void ChooseMode();
    // MP4 family: the first timestamp and the presented ticks of the track.
    void ReadMp4Presentation();
    bool StartMp3Frames();
    // MP3: the end of the audio in decoded samples (before the origin).
    int64_t Mp3DecodedEnd();
    bool StartContainerDecoding();
    // Timestamps: the length the file states; -1 when it states none.
    int64_t StatedTimestampLength();
    void SetIndexedAverageBitRate();
    int64_t CountByDecoding();

    void SeekExact(int64_t frame);
    bool IsReachedByDecodingOn(int64_t frame) const;
    void SeekMp3Frames(int64_t frame);
    void SeekTimestamps(int64_t frame);

    // One step of a read of n frames into the buffers at index at: frames
    // from the block, silence, or (returning 0) the next block decoded.
    uint32_t ReadStep(int32_t* const* bufs, uint32_t at, uint32_t n);
    uint32_t CopyFromBlock(int32_t* const* bufs, uint32_t at, uint32_t n);
    uint32_t DeliverSilence(int32_t* const* bufs, uint32_t at, uint32_t n);

    // Decodes the next block into m_state.block; false at the end of the stream.
    bool DecodeNextBlock();
    bool DecodeNextMp3Block();
    bool DecodeNextContainerBlock();
    // Takes the decoded frame as the block; false when it has no place.
    bool TakeContainerFrame();
    int64_t ContainerFrameStart(const AVFrame* frame) const;
    // Sends the next packet of the stream to the decoder, or the drain at
    // the end of the file.
    void FeedNextPacket();
    // Timestamps: a seek that began at the stream's first packet decodes
    // what a decode from the start would, so it is not retried.
    void NoteFirstPacketAfterSeek();
    // Converts a decoded frame into the block starting at output frame start.
    void TakeFrame(const AVFrame* frame, int64_t start);
    void SetSilentBlock(int64_t start, uint32_t length);
    bool ConfigureConverter(const AVFrame* frame);

    // The open file and the demuxer's position in it.
    struct Input;

    // Owners of the libraries' objects, each freed by the library's own
    // function.
    struct FormatClose
    {
        void operator()(AVFormatContext* format) const;
    };
    struct CodecFree
    {
        void operator()(AVCodecContext* codec) const;
    };
    struct PacketFree
    {
        void operator()(AVPacket* packet) const;
    };
    struct FrameFree
    {
        void operator()(AVFrame* frame) const;
    };
    struct ConverterFree
    {
        void operator()(SwrContext* converter) const;
    };
    struct DictionaryFree
    {
        void operator()(AVDictionary* tags) const;
    };

    // What an opening and its decoding find and keep, apart from the
    // libraries' objects: Close() starts a fresh one.
    struct State
    {
        std::string path;
        bool open = false;
        bool decoding = false;
        EMode mode = EMode::kSequential;
        Description description;
        std::vector<uint8_t> cover;
        int streamIndex = -1;
        // The rate and channels of the output are set (by the first frame).
        bool outputFixed = false;

        // Timestamps: the stream's time base and the timestamp of frame 0.
        int timeBaseNum = 0;
        int timeBaseDen = 1;
        int64_t timestampOrigin = 0;
        // MP4 family: the ticks presented from the origin; -1 when unknown.
        int64_t presentedTicks = -1;
        // MP3: the decoded samples before frame 0 (encoder and decoder delay).
        int64_t mp3Origin = 0;
        int64_t mp3NextFrame = 0;

        // The decoded block: planar samples of output frames blockStart ..
        // blockStart + blockLength - 1 (the start may be negative).
        std::vector<std::vector<int32_t>> block;
        int64_t blockStart = 0;
        uint32_t blockLength = 0;
        // The output frame where the next decoded block begins when it
        // carries no timestamp of its own; kUnknownStart (in the source)
        // just after a seek.
        int64_t nextBlockStart = 0;
        // The next decoded block is the first after a seek; the present one is.
        bool firstBlockAfterSeek = false;
        bool blockIsFirstAfterSeek = false;
        // A first block after the seek's target is not worth a decode from
        // the start (done already, or the seek began at the first packet).
        bool seekRetried = false;
        // The next packet of the stream is the first after a seek.
        bool firstPacketAfterSeek = false;
        // The first output frame the present decoding delivers as a read from
        // the start would (the frames decoded to run up to a seek target are
        // not).
        int64_t exactFrom = INT64_MIN;
        bool drainSent = false;
        bool ended = false;
        int64_t pos = 0;
        bool readError = false;
    };

    State m_state;
    std::unique_ptr<Input> m_input;
    std::unique_ptr<AVDictionary, DictionaryFree> m_fileTags;
    std::unique_ptr<AVDictionary, DictionaryFree> m_streamTags;
    std::unique_ptr<AVFormatContext, FormatClose> m_format;
    std::unique_ptr<AVCodecContext, CodecFree> m_codec;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<SwrContext, ConverterFree> m_converter;
    // What the converter was set up for.
    int m_converterFormat = -1;
    int m_converterRate = 0;
    uint64_t m_converterLayoutHash = 0;
    std::unique_ptr<CMp3StreamScanner> m_mp3;
};
