#pragma once

#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct AVStream;

// AAC-LC encoding into an MPEG-4 audio container (".m4a") through FFmpeg's
// own AAC encoder and its "ipod" muxer. The container's bytes go to an Output
// the caller supplies, so the caller decides where and how the file is kept.
//
// Use: Open (checks the format with the encoder; writes nothing), Start
// (writes the container header), Write any number of times, then Finish
// (encodes what is buffered, drains the encoder and writes the index) or
// Close to drop everything. Every failure is returned; GetLastError tells
// what failed.
//
// Samples are planar floats with full scale at -1.0 .. +1.0. They are copied
// into whole 1024-frame encoder blocks; values beyond full scale are limited to
// it and values that are not numbers become silence, as the encoder refuses
// them. The caller's buffers are only read.
class CFfmpegAacEncoder
{
public:
    // Destination of the container's bytes. The muxer writes sequentially and
    // seeks back to patch sizes when it finishes.
    class Output
    {
    public:
        virtual ~Output() = default;
        // Writes len bytes at the current position; false unless all were written.
        virtual bool WriteBytes(const uint8_t* data, uint32_t len) = 0;
        // Like lseek: the new position, or a negative value on failure.
        virtual int64_t SeekBytes(int64_t offset, int whence) = 0;
        // The bytes written so far, or a negative value when unknown.
        virtual int64_t SizeBytes() = 0;
    };

    // Frames per encoder block.
    static constexpr uint32_t kBlockFrames = 1024;

    CFfmpegAacEncoder();
    ~CFfmpegAacEncoder();

    CFfmpegAacEncoder(const CFfmpegAacEncoder&) = delete;
    CFfmpegAacEncoder& operator=(const CFfmpegAacEncoder&) = delete;

    // Prepares the encoder and the container for rate, channels (1 or 2) and
    // a bit rate in bits per second; nothing is written. False when FFmpeg
    // refuses any of it.
    bool Open(uint32_t rate, uint16_t channels, int32_t bitRate);
    // Writes the container header to output, which must stay valid until
    // Finish or Close.
    bool Start(Output* output);
    // Encodes n frames from the start of each channel buffer.
    bool Write(const float* const* src, uint32_t n);
    // Encodes the last partial block, drains the encoder and completes the
    // container. The encoder is closed afterwards whatever the result.
    bool Finish();
    // Drops everything without completing the container.
    void Close();

    bool IsOpen() const { return m_codec != nullptr; }
    bool IsStarted() const { return m_started; }
    // Frames taken by Write since Open.
    int64_t GetFramesTaken() const { return m_framesTaken; }
    // The bit rate the encoder works at (it lowers rates beyond what its
    // blocks can hold).
    int64_t GetBitRate() const;
    const std::string& GetLastError() const { return m_lastError; }

private:
    bool Fail(const char* operation, int code);
    // Sends a block (or, with null, the end of the input) and writes every
    // packet the encoder has ready.
    bool Encode(AVFrame* frame);
    bool SendBufferedBlock();

    AVCodecContext* m_codec = nullptr;
    AVFormatContext* m_format = nullptr;
    AVStream* m_audioStream = nullptr;
    AVIOContext* m_io = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    uint16_t m_channels = 0;
    uint32_t m_filled = 0;
    int64_t m_nextPts = 0;
    int64_t m_framesTaken = 0;
    bool m_started = false;
    bool m_failed = false;
    std::string m_lastError;
};
