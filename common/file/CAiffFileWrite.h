#pragma once

#include "common/file/CAiffFormat.h"
#include "common/file/CPcmFileBase.h"

#include <cstdint>
#include <vector>

// Writes a FORM/AIFF file of 16- or 24-bit big-endian samples, followed by an
// "ID3 " chunk with an ID3v2.3 tag of the sink's song information and front
// cover.
//
// The file is written beside its target and replaces it only when CloseFile
// succeeds. A failed write makes WriteAudioData return fewer frames than it
// was given and CloseFile return false; so does a file that would grow past
// the 4 GiB a FORM size can describe (WriteAudioData takes only the frames
// that still fit; room for the tag is kept free).
//
// The samples are written by CPcmFileWriteBase; float samples are converted
// in the writer's own buffers.
class CAiffFileWrite : public CPcmFileWriteBase, private CAiffFormat
{
public:
    CAiffFileWrite();
    ~CAiffFileWrite() override;

    // 0 opened; 2 the file cannot be created; 3 a rate other than 44100,
    // 48000, 88200, 96000, 176400 and 192000, bits other than 16 and 24, or
    // channels other than 1 and 2 (nothing is created then). quality is
    // ignored.
    int OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels, int quality) override;
    // Writes the "ID3 " chunk and the final header and commits the file;
    // false when nothing was open or the file could not be written
    // completely.
    bool CloseFile() override;
    void RemoveFile() override;
    const char* GetFormatUniqueID() override { return "AIFF"; }

    uint32_t GetSampleRate() override { return CAiffFormat::GetSampleRate(); }
    uint16_t GetBitsPerSample() override { return CAiffFormat::GetBitsPerSample(); }
    uint16_t GetNumChannels() override { return CAiffFormat::GetNumChannels(); }

    static std::vector<uint16_t> GetPossibleBitsPerSamples();
    static std::vector<uint16_t> GetPossibleNumChannels();
    static std::vector<uint32_t> GetPossibleSampleRates();
    static std::vector<int> GetPossibleQualityOptions();

protected:
    // The file's integers are big-endian.
    int WriteData(int64_t value, int nBytes) override { return WriteDataBigEndian(value, nBytes); }

    // Writes the 54-byte header at the start of the file with the sizes of
    // what has been written.
    virtual bool WriteHeader();
    // Appends the "ID3 " chunk (with its pad byte) at the end of the file
    // when the song information gives a tag.
    virtual bool WriteID3v2Chunk();

private:
    // Room kept below the FORM size limit for the tag: the largest picture
    // embedded and eight texts of at most 511 characters in UTF-16.
    static constexpr uint64_t kTagReserve = 16ull * 1024 * 1024 + 65536;
    // FORM size = 46 + data + pad byte + ("ID3 " header + tag + pad byte).
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 46 - 1 - 8 - kTagReserve - 1;

    void ResetState();
    // The bytes of the front cover named by the song information's picture
    // path; empty when there is none.
    std::vector<uint8_t> LoadFrontCover();
};
