#pragma once

#include "common/file/CAudioFileReadBase.h"

#include <cstdint>
#include <functional>
#include <vector>

// How the frames of an uncompressed PCM file are stored: interleaved samples
// of bits / 8 bytes each.
struct PcmSampleLayout
{
    uint16_t channels = 0;
    uint16_t bits = 0;
    // Most significant byte first (else least significant first).
    bool bigEndian = false;
    // 32-bit samples are floats: the float entries pass their bit patterns
    // through unchanged, the integer entries deliver and take the patterns.
    bool floatSamples = false;

    uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * (bits / 8)); }
};

// The base of the readers of uncompressed PCM files: each must deliver
// left-justified 32-bit integer samples.
//
// A reader whose samples are one run of frames in its file parses its header
// and hands that run to SetPcmData; from then on this base reads the samples:
// the window of frames ExtractData sets, positions within it, buffered reads,
// the conversion to floats and the read-error flag. Readers that get their
// samples otherwise override these operations.
class CPcmFileReadBase : public CAudioFileReadBase
{
public:
    CPcmFileReadBase();
    ~CPcmFileReadBase() override;

    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // Positions outside the window are limited to it.
    void SetCurSamplePosition(int64_t frame) override;
    // Frames relative to the sample data: start is limited to 0 .. N; an end
    // below 0 or beyond N means N; an end at or before start gives an empty
    // window.
    void ExtractData(int64_t start, int64_t end) override;
    int64_t GetAbsStartSample() override;

    using CAudioFileReadBase::ReadAudioData;
    // Left-justified integers; for float samples their bit patterns.
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    // Floats: integer samples scaled by 2^-31 (through the reader's own
    // buffers), float samples bit for bit.
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    // True once a read ended early because the file gave fewer bytes than the
    // window holds; the next seek clears it.
    bool AudioDataReadErrorOccured() override { return m_bPcmReadError; }

protected:
    // The samples are the frames in file bytes dataStart .. dataEnd (a partial
    // frame at the end is never delivered). Sets the window to all of them and
    // the position to its first frame.
    void SetPcmData(int64_t dataStart, int64_t dataEnd, const PcmSampleLayout& layout);
    // Closes the file, forgets the samples and empties the song information
    // and the markers.
    void ClosePcmFile();
    // Moves the file back to where the buffered reading goes on; for readers
    // that read other parts of the file between reads of samples.
    void ResumePcmRead();

private:
    static constexpr uint32_t kBufferTarget = 65536;
    static constexpr uint32_t kScratchFrames = 4096;

    void ResetPcmData();
    void SeekToFile(int64_t pos);
    // Refills the read buffer from the file; false at the window end or when
    // nothing could be read.
    bool FillPcmBuffer(bool* shortRead);

    PcmSampleLayout m_layout;
    uint16_t m_pcmBlockAlign = 0;
    int64_t m_dataStart = 0;
    int64_t m_dataEnd = 0;
    int64_t m_windowStart = 0;
    int64_t m_windowEnd = 0;

    std::vector<uint8_t> m_pcmBuffer;
    uint32_t m_bufFilled = 0;
    uint32_t m_bufPos = 0;
    // The file position of the byte after the buffer's last one.
    int64_t m_filePos = 0;
    bool m_bPcmReadError = false;

    std::vector<int32_t> m_pcmScratch;
};

// The base of the writers that take float samples (PCM and encoded formats).
//
// A writer of uncompressed PCM opens its file through OpenPcmFile; from then
// on this base writes the samples: buffered and encoded in the file's layout,
// float input converted in buffers of the writer's own (the caller's buffers
// are only read), up to the most sample bytes the file may take. A write that
// fails takes no more frames and makes the close fail.
class CPcmFileWriteBase : public CAudioFileWriteBase
{
public:
    // maxDataBytes: the most sample bytes a file may take (what its header
    // can describe).
    explicit CPcmFileWriteBase(uint64_t maxDataBytes = UINT64_MAX);
    ~CPcmFileWriteBase() override;

    // Frames taken since OpenFile (those still buffered included).
    int64_t GetCurSamplePosition() override;

    using CAudioFileWriteBase::WriteAudioData;
    // Integer layouts take the floats converted; float layouts bit for bit.
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    // Left-justified integers; a float layout takes the words as they are
    // (float bit patterns). Takes only the frames that stay within the size
    // limit; fewer than n also after a failed write.
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;

protected:
    // Opens path for samples in the given layout that begin at byte dataStart
    // and lets writeHeader write the provisional header. kAudioFileOpened, or
    // kAudioFileCannotOpen with nothing left behind.
    int OpenPcmFile(const wchar_t* path, const PcmSampleLayout& layout, int64_t dataStart,
                    const std::function<bool()>& writeHeader);
    // Writes the buffered samples and a pad byte after sample data of odd
    // length, then lets finish write what follows them and the final header;
    // commits the file when all of it succeeded and drops it otherwise. False
    // when nothing was open or anything failed. The samples are forgotten
    // either way.
    bool ClosePcmFile(const std::function<bool()>& finish);
    // Forgets the samples and releases the buffers.
    void ResetPcmData();

    // The sample bytes in the file (those still buffered not included).
    int64_t GetPcmDataBytes() const { return m_dataEnd - m_dataStart; }
    // Lowers the most sample bytes the file takes (never above the limit the
    // writer was made with).
    void LimitDataSize(uint64_t bytes)
    {
        m_maxDataBytes = bytes < m_dataBytesCeiling ? bytes : m_dataBytesCeiling;
    }

private:
    static constexpr uint32_t kBufferTarget = 65536;
    static constexpr uint32_t kScratchFrames = 4096;

    bool FlushPcmBuffer();

    PcmSampleLayout m_layout;
    uint16_t m_pcmBlockAlign = 0;
    int64_t m_dataStart = 0;
    int64_t m_dataEnd = 0;
    std::vector<uint8_t> m_pcmBuffer;
    uint32_t m_bufFilled = 0;
    std::vector<int32_t> m_pcmScratch;
    const uint64_t m_dataBytesCeiling;
    uint64_t m_maxDataBytes;
};
