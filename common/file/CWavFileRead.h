#pragma once

#include "common/file/CPcmFileBase.h"
#include "common/file/CWavFormat.h"

#include <cstdint>
#include <vector>

// One cue point of a "cue " chunk as it is stored in the file.
struct CuePointData
{
    uint32_t identifier;
    uint32_t position;
    char chunkID[4];
    uint32_t chunkStart;
    uint32_t blockStart;
    uint32_t sampleOffset;
};

// Reads a RIFF WAVE file of 16- or 24-bit integer or 32-bit float samples as
// an audio source. Song information comes from a LIST/INFO chunk, markers from
// the sample offsets of a "cue " chunk.
//
// Every size read from the file is limited to the bytes the file holds: a
// "data" chunk that claims more ends at the end of the file, and the number of
// cue points follows from the "cue " chunk's size as it fits in the file.
class CWavFileRead : public CPcmFileReadBase, private CWavFormat
{
public:
    CWavFileRead();
    ~CWavFileRead() override;

    int OpenFile(const wchar_t* path) override;
    void CloseFile() override;
    const char* GetFormatUniqueID() override { return "WAV"; }

    uint32_t GetSampleRate() override { return CWavFormat::GetSampleRate(); }
    uint16_t GetBitsPerSample() override { return CWavFormat::GetBitsPerSample(); }
    uint16_t GetNumChannels() override { return CWavFormat::GetNumChannels(); }
    bool IsFloatingPoint() override { return GetFormatTag() == kTagFloat; }

    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // Positions outside the window are limited to it.
    void SetCurSamplePosition(int64_t frame) override;
    // Frames relative to the data chunk: start is limited to 0 .. N; an end
    // below 0 or beyond N means N; an end at or before start gives an empty
    // window.
    void ExtractData(int64_t start, int64_t end) override;
    int64_t GetAbsStartSample() override;

    using CPcmFileReadBase::ReadAudioData;
    // Left-justified integers; on a float file the float bit patterns as they
    // are.
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    // Floats; integer files are converted, float files delivered bit for bit.
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    bool AudioDataReadErrorOccured() override { return m_bReadError; }

    // The number of cue points the "cue " chunk holds within the file.
    int GetNumCuePoints() const;
    // Cue point index (0-based); false with out zeroed when there is none.
    bool ReadCuePointData(CuePointData* out, int index);
    // The body of the INFO sub-chunk id, at most bufSize - 1 bytes, into the
    // zeroed buf; returns the bytes read, 0 when there is no such sub-chunk.
    uint32_t ReadListInfoChunkData(char* buf, uint32_t bufSize, const char* id);

protected:
    virtual void SetupMetaData();
    virtual bool ReadFormatChunk();
    void SetupPlayerMarkers();

private:
    // Cue points looked at for markers, and markers taken at most; both far
    // above what a song carries, they bound the work a damaged file causes.
    static constexpr int kMaxCuePointsRead = 65536;
    static constexpr int kMaxMarkers = 4096;
    static constexpr uint32_t kBufferTarget = 65536;
    static constexpr uint32_t kScratchFrames = 4096;

    void ResetState();
    void SeekToFile(int64_t pos);
    // Refills the read buffer from the file; false at the window end or
    // when nothing could be read.
    bool FillBuffer(bool* shortRead);

    int64_t m_headerEnd = 0;
    int64_t m_dataStart = 0;
    int64_t m_dataEnd = 0;
    int64_t m_windowStart = 0;
    int64_t m_windowEnd = 0;
    int64_t m_listBodyStart = 0;
    int64_t m_listEnd = 0;
    int64_t m_cueFirst = 0;
    int64_t m_cueEnd = 0;

    std::vector<uint8_t> m_buffer;
    uint32_t m_bufFilled = 0;
    uint32_t m_bufPos = 0;
    // The file position of the byte after the buffer's last one.
    int64_t m_filePos = 0;
    bool m_bReadError = false;

    std::vector<int32_t> m_scratch;
};
