#pragma once

#include "common/file/CPcmFileBase.h"
#include "common/file/CWavFormat.h"

#include <cstdint>
#include <vector>

// Writes a RIFF WAVE file of 16- or 24-bit integer or 32-bit float samples,
// followed by a "cue " chunk of the sink's markers and a LIST/INFO chunk of
// its song information.
//
// The file is written beside its target and replaces it only when CloseFile
// succeeds. A failed write makes WriteAudioData return fewer frames than it
// was given and CloseFile return false; so does a file that would grow past
// the 4 GiB a RIFF size can describe (WriteAudioData takes only the frames
// that still fit).
//
// The samples are written by CPcmFileWriteBase: integer files take float
// samples converted, 32-bit float files take them bit for bit.
class CWavFileWrite : public CPcmFileWriteBase, private CWavFormat
{
public:
    static constexpr int kMaxCuePoints = 1024;

    CWavFileWrite();
    ~CWavFileWrite() override;

    // 0 opened, 2 the file cannot be created, 3 bits other than 16, 24 and
    // 32, channels other than 1 and 2, or a rate of 0. quality is ignored.
    int OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels, int quality) override;
    // Writes the footer and the final header and commits the file; false when
    // nothing was open or the file could not be written completely.
    bool CloseFile() override;
    void RemoveFile() override;
    const char* GetFormatUniqueID() override { return "WAV"; }

    uint32_t GetSampleRate() override { return CWavFormat::GetSampleRate(); }
    uint16_t GetBitsPerSample() override { return CWavFormat::GetBitsPerSample(); }
    uint16_t GetNumChannels() override { return CWavFormat::GetNumChannels(); }
    bool IsFloatingPoint() override { return GetFormatTag() == kTagFloat; }

    static std::vector<uint16_t> GetPossibleBitsPerSamples();
    static std::vector<uint16_t> GetPossibleNumChannels();
    static std::vector<uint32_t> GetPossibleSampleRates();
    static std::vector<int> GetPossibleQualityOptions();

protected:
    // Writes the 44-byte header at the start of the file with the sizes of
    // what has been written.
    virtual bool WriteHeader();
    // Appends the "cue " and LIST/INFO chunks at the end of the file.
    virtual bool WriteFooter();

private:
    // Room kept below the RIFF size limit for the header, a pad byte and the
    // footer (1024 cue points and six INFO texts need far less).
    static constexpr uint64_t kFooterReserve = 65536;
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36 - 1 - kFooterReserve;
    static_assert(36 + kMaxDataBytes + 1 + 12 + 24 * kMaxCuePoints + 12 + 6 * (8 + 130) <= 0xFFFFFFFFull,
                  "the footer must fit below the RIFF size limit");

    void ResetState();
};
