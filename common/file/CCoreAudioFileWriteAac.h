#pragma once

#include "common/file/CPcmFileBase.h"
#include "common/file/linux/CFfmpegAacEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

// Writes an AAC-LC encoded MPEG-4 audio file (".m4a") as an audio sink.
//
// OpenFile checks the whole format before it touches the disk, then writes
// into a temporary file beside the target; CloseFile completes the file and
// renames it over the target, so a failed export never leaves a broken file
// or destroys the one that was there. Failures are returned: a write that
// fails takes no frames (WriteAudioData returns 0 from then on) and CloseFile
// returns false.
//
// The file carries the audio only: the sink's song information (texts and
// picture) is not written into it.
class CCoreAudioFileWriteAac : public CPcmFileWriteBase
{
public:
    // The bit rate a quality of 0 stands for.
    static constexpr int32_t kDefaultBitRate = 128000;

    CCoreAudioFileWriteAac();
    ~CCoreAudioFileWriteAac() override;

    // quality is the bit rate in bits per second: 0 stands for 128000; any
    // other positive value takes the nearest entry of
    // GetPossibleQualityOptions(channels). Results: 0 opened; 2 the file
    // cannot be created (missing folder, a folder at the path); 3 a rate the
    // encoder does not take (AAC rates 8000 to 48000 Hz), channels other than
    // 1 and 2, bits other than 16, 24 and 32, or a negative quality. Nothing
    // is created unless the result is 0.
    int OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels, int quality) override;
    // Encodes what is buffered, completes the file and puts it in place of the
    // target; false when nothing was open or anything failed (the target is
    // then as it was).
    bool CloseFile() override;
    // Drops what was written; the target is left as it was.
    void RemoveFile() override;
    const char* GetFormatUniqueID() override { return "AAC"; }

    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return m_bits; }
    uint16_t GetNumChannels() override { return m_channels; }
    // Frames taken since OpenFile (those still waiting for a whole encoder
    // block included).
    int64_t GetCurSamplePosition() override { return m_framesWritten; }

    using CPcmFileWriteBase::WriteAudioData;
    // Full-scale floats; the buffers are only read.
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    // Left-justified 32-bit integers; the buffers are only read.
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;

    // The bit rate the open file is encoded at (0 while closed).
    int32_t GetEncodeBitRate() const { return m_bitRate; }
    // What failed last, for diagnostics; empty when nothing failed.
    const std::string& GetLastError() const { return m_lastError; }

    static std::vector<uint32_t> GetPossibleSampleRates();
    static std::vector<uint16_t> GetPossibleBitsPerSamples();
    static std::vector<uint16_t> GetPossibleNumChannels();
    // Bit rates in bits per second for the channel count.
    static std::vector<int> GetPossibleQualityOptions(uint16_t channels);
    // The bit rate a quality selects for the channel count, or -1 when the
    // quality is negative.
    static int32_t QualityToBitRate(int quality, uint16_t channels);

private:
    // Hands the encoder's container bytes to the temporary file.
    class FileOutput : public CFfmpegAacEncoder::Output
    {
    public:
        explicit FileOutput(CCoreAudioFileWriteAac& owner) : m_owner(owner) {}
        bool WriteBytes(const uint8_t* data, uint32_t len) override;
        int64_t SeekBytes(int64_t offset, int whence) override;
        int64_t SizeBytes() override;

    private:
        CCoreAudioFileWriteAac& m_owner;
    };

    static constexpr uint32_t kScratchFrames = 4096;

    // Writes the container header.
    bool StartEncoder();
    bool Fail(const std::string& what);
    void ResetState();

    CFfmpegAacEncoder m_encoder;
    FileOutput m_output;
    uint32_t m_rate = 44100;
    uint16_t m_bits = 16;
    uint16_t m_channels = 2;
    int32_t m_bitRate = 0;
    int64_t m_framesWritten = 0;
    bool m_failed = false;
    std::vector<float> m_scratch;
    std::string m_lastError;
};
