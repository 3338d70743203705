#pragma once

#include "common/file/CPcmFileBase.h"
#include "common/file/CWavFormat.h"

#include <cstdint>

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
    // The frames of the window, not those of the header's format fields.
    using CPcmFileReadBase::GetNumSamples;

    // Frames relative to the data chunk (see CPcmFileReadBase); the markers
    // follow the window.
    void ExtractData(int64_t start, int64_t end) override;

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

    void ResetState();

    int64_t m_headerEnd = 0;
    int64_t m_listBodyStart = 0;
    int64_t m_listEnd = 0;
    int64_t m_cueFirst = 0;
    int64_t m_cueEnd = 0;
};
