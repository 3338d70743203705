#pragma once

#include "common/file/CPcmFileBase.h"
#include "common/file/linux/CFfmpegAudioDecoder.h"

#include <cstdint>
#include <vector>

// Reads a compressed audio file (MP3, AAC or Apple Lossless in MP4/M4A, WMA)
// as an audio source: the platform decoder turns its one audio track into
// 32-bit integer PCM on demand.
//
// Accepted are tracks of 1 or 2 channels at 44100, 48000, 88200, 96000,
// 176400 or 192000 Hz coded as MP3, AAC, Apple Lossless or WMA (version 2,
// professional or lossless); other tracks give 3. A file that cannot be read,
// holds no audio track, more than one, or a video track beside it gives 2 (an
// attached cover picture is no track).
//
// The length is exact: a read from the start delivers GetNumSamples() frames,
// and a position set anywhere delivers the samples a read from the start
// would. Decoding happens on the fly; nothing is prepared in the background.
class CQuickTimeFileRead : public CPcmFileReadBase
{
public:
    static const char* const m_sWmaID;
    static const char* const m_sMp3ID;
    static const char* const m_sAppleLosslessID;
    static const char* const m_sAacID;
    static const char* const m_sNoID;

    CQuickTimeFileRead();
    ~CQuickTimeFileRead() override;

    // True when the platform decoder could be set up (checked once).
    static bool IsAvailable();
    // The same, under the name the reader factories ask for.
    static bool IsQuickTimeInstalled() { return IsAvailable(); }
    // Sets the platform decoder up; nothing else to do.
    static void Initialize();

    // 0 opened, 2 cannot open, 3 unsupported track.
    int OpenFile(const wchar_t* path) override;
    void CloseFile() override;
    const char* GetFormatUniqueID() override;

    // The track's rate; 44100 when closed.
    uint32_t GetSampleRate() override;
    // The source bits of a lossless track, 32 for the others.
    uint16_t GetBitsPerSample() override;
    // The track's channels; 2 when closed.
    uint16_t GetNumChannels() override;
    // The bit rate the track declares, else its average.
    uint32_t GetBitRate() override;
    bool IsLossless() override;
    bool IsCompressed() override { return true; }
    // Lossless tracks, and tracks whose header marks a variable rate or names
    // none (but for single-channel WMA version 2).
    bool IsVBR() override;

    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // Positions outside the window are limited to it.
    void SetCurSamplePosition(int64_t frame) override;
    // Start is limited to 0 .. N; an end beyond N means N, and an end at or
    // before the start means N (so -1 reads to the end). Seeks to the
    // window's start.
    void ExtractData(int64_t start, int64_t end) override;
    int64_t GetAbsStartSample() override { return m_extractStart; }

    uint32_t GetAttachedPictureSize() override;
    // With a null buffer the picture's size; otherwise the picture copied
    // into buf and its size, or 0 (buf zeroed) when size is too small.
    uint32_t ReadAttachedPicture(uint8_t* buf, uint32_t size) override;

    using CPcmFileReadBase::ReadAudioData;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    bool AudioDataReadErrorOccured() override;

private:
    void SetupMetaData();
    void SetTextFromTag(int field, const char* key);

    CFfmpegAudioDecoder m_decoder;
    int64_t m_totalFrames = 0;
    int64_t m_extractStart = 0;
    int64_t m_extractEnd = 0;
    std::vector<std::vector<int32_t>> m_scratch;
};
