#pragma once

#include "common/file/CAiffFormat.h"
#include "common/file/CPcmFileBase.h"

#include <cstdint>

class CID3v2Read;

// Reads a FORM/AIFF file of 16- or 24-bit big-endian samples as an audio
// source. Song information and the front cover come from the ID3v2 tag of an
// "ID3 " chunk.
//
// Every size read from the file is limited to the bytes the file holds: the
// sample data end at whichever comes first of the frames the COMM chunk
// states, the end of the SSND chunk and the end of the file, so a damaged
// file declares only frames it really has.
class CAiffFileRead : public CPcmFileReadBase, private CAiffFormat
{
public:
    CAiffFileRead();
    ~CAiffFileRead() override;

    // 0 opened; 2 the file cannot be opened; 3 the COMM chunk is missing or
    // describes audio this reader does not take; 4 not this form of file, or
    // no SSND chunk.
    int OpenFile(const wchar_t* path) override;
    void CloseFile() override;
    const char* GetFormatUniqueID() override { return "AIFF"; }

    uint32_t GetSampleRate() override { return CAiffFormat::GetSampleRate(); }
    uint16_t GetBitsPerSample() override { return CAiffFormat::GetBitsPerSample(); }
    uint16_t GetNumChannels() override { return CAiffFormat::GetNumChannels(); }

    // The size of the front cover of the file's ID3 tag; 0 when there is none.
    uint32_t GetAttachedPictureSize() override { return m_pictureSize; }
    // Copies the front cover into buf when it fits in size bytes and returns
    // its size; 0 (buf zeroed) otherwise.
    uint32_t ReadAttachedPicture(uint8_t* buf, uint32_t size) override;

protected:
    // The file's integers are big-endian.
    int64_t ReadData(int nBytes) override { return ReadDataBigEndian(nBytes); }

    // Reads the 12-byte FORM header; false unless it is FORM/AIFF.
    virtual bool ReadFormHeader();
    // Finds and reads the COMM chunk; false when it is missing, too short or
    // unsupported.
    virtual bool ReadCommonChunk();
    // Fills the song information from the "ID3 " chunk.
    virtual void SetupMetaData();

    // Reads the FORM header and checks its form type.
    bool ReadFormHeaderOfType(const char* formType);
    // Finds the COMM chunk, reads its first bodySize bytes (at least 18) into
    // body and takes the format fields from them.
    bool ReadCommonChunkBody(uint8_t* body, uint32_t bodySize);
    // Sample byte order of the SSND data (big-endian unless set).
    void SetLittleEndianSamples(bool little) { m_bLittleEndianSamples = little; }
    // Reads song information and front-cover size from the "ID3 " chunk.
    void ReadID3Chunk();

private:
    void ResetState();
    // A reader of the tag in the "ID3 " chunk (the caller deletes it), or
    // null when there is none. The file position is kept.
    CID3v2Read* OpenID3Chunk();

    int64_t m_headerEnd = 0;
    uint32_t m_pictureSize = 0;
    bool m_bLittleEndianSamples = false;
};

// Reads a FORM/AIFC file of uncompressed 16- or 24-bit samples: compression
// type "sowt" (little-endian samples, the form in which audio-CD tracks are
// commonly stored) or "NONE" (big-endian samples). Any other compression type
// is refused with 3; a FORM/AIFF file with 4.
class CAifcSowtFileRead : public CAiffFileRead
{
public:
    CAifcSowtFileRead();
    ~CAifcSowtFileRead() override;

protected:
    bool ReadFormHeader() override;
    bool ReadCommonChunk() override;
};
