#pragma once

#include <cstdint>
#include <vector>

// Finds the frames of an MPEG audio layer III file by their headers, so that
// a decoder can be fed frame by frame and positioned on any frame exactly.
//
// The audio lies between the ID3v2 tags at the start and the ID3v1 and APEv2
// tags at the end. A frame right after the ID3v2 tags that carries an
// information tag ("Xing", "Info" or "VBRI") with a frame or byte count holds
// no audio: the tag's counts and the encoder delay and padding of a LAME-style
// extension are kept (a frame count the rest of the file could not hold is
// kept only where the tag's byte count agrees with it and shows the file was
// cut; otherwise it is dropped as damage). Frame 0 is the first valid header after that (followed by a
// matching one: bytes before it are skipped as junk).
//
// Frames are indexed on demand: a lookup scans from the last known frame.
// A header that doesn't follow where the previous frame ends is searched for
// byte by byte (a damaged stretch is skipped); a frame that runs past the end
// of the audio is not counted.
class CMp3StreamScanner
{
public:
    struct Frame
    {
        int64_t pos;
        uint32_t size;
        uint32_t bitRate; // bits per second
    };

    CMp3StreamScanner();
    ~CMp3StreamScanner();

    CMp3StreamScanner(const CMp3StreamScanner&) = delete;
    CMp3StreamScanner& operator=(const CMp3StreamScanner&) = delete;

    // False when the file cannot be read or holds no layer III frames.
    bool Open(const char* utf8Path);
    void Close();

    uint32_t GetSampleRate() const { return m_sampleRate; }
    uint16_t GetNumChannels() const { return m_channels; }
    uint32_t GetSamplesPerFrame() const { return m_samplesPerFrame; }

    // An information tag was found (and frame 0 follows it).
    bool HasInfoTag() const { return m_bInfoTag; }
    // The tag marks a variable bit rate ("Xing" or "VBRI"; "Info" is constant).
    bool IsVbrTag() const { return m_bVbrTag; }
    // The tag's frame and byte counts; -1 when it has none.
    int64_t GetTagFrames() const { return m_tagFrames; }
    int64_t GetTagBytes() const { return m_tagBytes; }
    // Encoder delay and padding from the tag's extension; both 0 without one.
    bool HasEncoderDelay() const { return m_bEncoderDelay; }
    uint32_t GetEncoderDelay() const { return m_encoderDelay; }
    uint32_t GetEncoderPadding() const { return m_encoderPadding; }

    // The first byte of frame 0 and the end of the audio data.
    int64_t GetAudioStart() const { return m_audioStart; }
    int64_t GetAudioEnd() const { return m_audioEnd; }

    // Frame k; false when the stream has fewer frames.
    bool GetFrame(int64_t k, Frame* out);
    // Indexes the whole stream and returns its number of frames.
    int64_t CountFrames();
    // True when every frame indexed so far has the bit rate of frame 0.
    bool IsConstantBitRateSoFar() const { return m_bConstantBitRate; }

    // Reads the bytes of a frame; false on a read error.
    bool ReadFrame(const Frame& frame, uint8_t* dst);
    bool ReadErrorOccurred() const { return m_bReadError; }

    // The largest frame a layer III header can describe.
    static constexpr uint32_t kMaxFrameSize = 1441;

    struct Header
    {
        uint32_t frameSize;
        uint32_t sampleRate;
        uint32_t bitRate;
        uint32_t samplesPerFrame;
        uint32_t sideInfoSize;
        uint16_t channels;
    };
    // Decodes a 4-byte layer III header; false when it is not one.
    static bool ParseHeader(uint32_t word, Header* out);

private:
    // Copies len bytes at pos; false when they are not all in the file.
    bool ReadAt(int64_t pos, uint8_t* dst, uint32_t len);
    bool ReadWord(int64_t pos, uint32_t* word);
    // A frame at pos whose header matches the stream; its size in *size.
    bool IsFrameAt(int64_t pos, uint32_t* word, Header* header);
    // The first frame at or after pos whose successor also matches.
    int64_t Resync(int64_t pos, bool requireSuccessor);
    // Indexes one more frame; false at the end of the stream.
    bool ScanNext();
    // The first byte after the ID3v2 tags at the start.
    int64_t SkipId3v2Tags();
    // The first byte after an information frame at pos, or pos without one.
    int64_t SkipInfoFrame(int64_t pos);
    void FindAudioEnd(int64_t fileSize);
    void ParseInfoTag(const uint8_t* frame, const Header& header);
    // A "Xing" or "Info" tag at byte p of a frame of size bytes.
    void ParseXingTag(const uint8_t* frame, uint32_t size, uint32_t p);

    int m_fd = -1;
    int64_t m_fileSize = 0;
    int64_t m_audioStart = 0;
    int64_t m_audioEnd = 0;
    uint32_t m_referenceWord = 0;
    uint32_t m_sampleRate = 0;
    uint16_t m_channels = 0;
    uint32_t m_samplesPerFrame = 0;

    bool m_bInfoTag = false;
    bool m_bVbrTag = false;
    int64_t m_tagFrames = -1;
    int64_t m_tagBytes = -1;
    bool m_bEncoderDelay = false;
    uint32_t m_encoderDelay = 0;
    uint32_t m_encoderPadding = 0;

    std::vector<Frame> m_frames;
    int64_t m_scanPos = 0;
    bool m_bScanDone = false;
    bool m_bConstantBitRate = true;
    bool m_bReadError = false;

    std::vector<uint8_t> m_cache;
    int64_t m_cachePos = 0;
    uint32_t m_cacheLen = 0;
};
