#pragma once

#include "common/file/CBinaryFile64.h"

// Assembles a RIFF "LIST" chunk of type "INFO" in memory, one text sub-chunk
// per setter call, in the order of the calls. Texts that are empty or hold a
// byte outside printable ASCII (0x20..0x7E) are left out. Every sub-chunk body
// ends in at least one zero byte and has an even size.
class CListInfoChunkCreate : public CBinaryFileWriteBuffer
{
public:
    CListInfoChunkCreate();
    ~CListInfoChunkCreate() override;

    int WriteData(int64_t value, int nBytes) override;
    // Empties the buffer and writes the 12-byte head ("LIST", 4, "INFO").
    void Clear() override;

    // Each returns the bytes added (body size + 8), or 0 when the text was
    // left out.
    uint32_t SetTitle(const char* text) { return CreateLocalChunk(text, "INAM"); }
    uint32_t SetArtist(const char* text) { return CreateLocalChunk(text, "IART"); }
    uint32_t SetGenre(const char* text) { return CreateLocalChunk(text, "IGNR"); }
    uint32_t SetArchivalLocation(const char* text) { return CreateLocalChunk(text, "IARL"); }
    uint32_t SetDateCreated(const char* text) { return CreateLocalChunk(text, "ICRD"); }
    uint32_t SetSoftware(const char* text) { return CreateLocalChunk(text, "ISFT"); }

    // The whole chunk's length, or 0 while it holds no sub-chunk.
    uint32_t GetBufFilledSize() const override;

private:
    static constexpr uint32_t kHeadSize = 12;

    uint32_t CreateLocalChunk(const char* text, const char* id);
};
