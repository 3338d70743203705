#pragma once

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CAudioDiscBurnBase.h"

#include <cstdint>
#include <memory>
#include <vector>

// The audio-CD burner: stages the rendered songs as temporary AIFF track
// files (CAudioCDTempFileCreator) and hands the staged album to the back
// end. Tracks are always 44100 Hz, 16 bits, 2 channels; CD-R and CD-RW are
// the media it burns.
//
// StartBurnDisc refuses, answering 1 with the reason as the last error and
// without touching the staged files, when no medium is present, the medium
// is not blank or not a CD-R or CD-RW, or the medium doesn't offer the write
// speed asked for. It then completes the open track and refuses when a
// staged write failed, when nothing is staged or when the album doesn't fit
// in the medium's free space; otherwise the back end starts the burn.
//
// Threads: see CAudioDiscBurnBase. The writes and OpenTrack come from the
// converter thread, the other staging calls from the session, never at the
// same time.
class CAudioCDBurn : public CAudioDiscBurnBase
{
public:
    CAudioCDBurn();
    explicit CAudioCDBurn(std::unique_ptr<CDiscBurnImp> backEnd);
    ~CAudioCDBurn() override;

    // The sink.
    void RemoveFile() override;
    uint32_t GetSampleRate() override { return CAudioCDTempFileCreator::kSampleRate; }
    uint16_t GetNumChannels() override { return 2; }
    uint16_t GetBitsPerSample() override { return 16; }
    bool CanDoGapless() override;
    // Two channels of floats, converted to integers in the burner's own
    // buffers (the caller's are only read).
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    using CAudioRecorderOutput::WriteAudioData;
    // Those of the open track file, else the burner's own.
    CMarker* GetMarkerPtr() override;
    CAudioMetaData* GetMetaDataPtr() override;

    const std::vector<eDiscType>& GetSupportedDiscType() override { return m_supportedMedia; }
    int64_t GetFreeSizeOnDisc() override;
    int64_t GetUsedSizeOnDisc() override;
    // 1 when the folder text is empty.
    int OpenDisc(const wchar_t* tempDir) override;
    void CloseDisc() override;
    // 1 when no disc is open; rate, bits and channels are not used.
    int OpenAlbum(const wchar_t* title, const wchar_t* performer, uint32_t rate, uint16_t bits,
                  uint16_t channels) override;
    // The title is not used: a track's title and performer come from its
    // file's song information when it is closed.
    int OpenTrack(const wchar_t* title, bool gaplessWithPrevious, bool isLastTrack, float preGapSeconds,
                  float trailingSilenceSeconds) override;
    int StartBurnDisc() override;

    const AudioCDAlbumTrackList& GetAlbumTrackList() const { return m_stager.GetAlbumTrackList(); }

private:
    // The first of the medium checks that fails, as a refusal; 0 when all
    // pass.
    int CheckMedium();

    std::vector<eDiscType> m_supportedMedia;
    CAudioCDTempFileCreator m_stager;
    std::vector<int32_t> m_scratch[2];
};
