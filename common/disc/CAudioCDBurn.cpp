#include "common/disc/CAudioCDBurn.h"

#include "common/disc/CDiscJob.h"
#include "common/disc/CDiscMessageKeys.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>

CAudioCDBurn::CAudioCDBurn() : CAudioCDBurn(CreateDiscBurnImp()) {}

CAudioCDBurn::CAudioCDBurn(std::unique_ptr<CDiscBurnImp> backEnd)
    : CAudioDiscBurnBase(std::move(backEnd)), m_supportedMedia{kDiscTypeCDR, kDiscTypeCDRW}
{
}

CAudioCDBurn::~CAudioCDBurn()
{
    CloseDisc();
}

void CAudioCDBurn::RemoveFile()
{
    CloseDisc();
}

bool CAudioCDBurn::CanDoGapless()
{
    return m_imp->CanBurnGaplessAudioCD();
}

uint32_t CAudioCDBurn::WriteAudioData(float** bufs, uint32_t n)
{
    if (bufs == nullptr)
        return 0;
    for (auto& channel : m_scratch)
    {
        if (channel.size() < n)
            channel.resize(n);
    }
    int32_t* ints[2] = {m_scratch[0].data(), m_scratch[1].data()};
    CPcmUtil::FloatToSignedInt(bufs, ints, n, 2, 0, 0);
    return WriteAudioData(ints, n);
}

uint32_t CAudioCDBurn::WriteAudioData(int32_t** bufs, uint32_t n)
{
    return m_stager.WriteAudioData(bufs, n);
}

CMarker* CAudioCDBurn::GetMarkerPtr()
{
    CMarker* markers = m_stager.GetMarkerPtrCurrentTrack();
    return markers != nullptr ? markers : CAudioRecorderOutput::GetMarkerPtr();
}

CAudioMetaData* CAudioCDBurn::GetMetaDataPtr()
{
    CAudioMetaData* meta = m_stager.GetMetaDataPtrCurrentTrack();
    return meta != nullptr ? meta : CAudioRecorderOutput::GetMetaDataPtr();
}

int64_t CAudioCDBurn::GetFreeSizeOnDisc()
{
    return m_imp->GetFreeSizeOnDisc(kDiscRecordingModeAudio);
}

int64_t CAudioCDBurn::GetUsedSizeOnDisc()
{
    return m_imp->GetUsedSizeOnDisc(kDiscRecordingModeAudio);
}

int CAudioCDBurn::OpenDisc(const wchar_t* tempDir)
{
    CloseDisc();
    return m_stager.OpenDisc(tempDir) ? 0 : 1;
}

void CAudioCDBurn::CloseDisc()
{
    m_stager.CloseDisc();
}

int CAudioCDBurn::OpenAlbum(const wchar_t* title, const wchar_t* performer, uint32_t, uint16_t, uint16_t)
{
    return m_stager.OpenAlbum(title, performer) ? 0 : 1;
}

int CAudioCDBurn::OpenTrack(const wchar_t*, bool gaplessWithPrevious, bool isLastTrack, float preGapSeconds,
                            float trailingSilenceSeconds)
{
    const bool closed = m_stager.CloseTrack(gaplessWithPrevious);
    uint32_t preGap = CAudioCDTempFileCreator::SecondsToBlocks(preGapSeconds);
    uint32_t silence = CAudioCDTempFileCreator::SecondsToBlocks(trailingSilenceSeconds);
    if (!m_imp->CanControlAudioCDPreGaps() && !isLastTrack)
    {
        silence += preGap;
        preGap = 0;
    }
    return closed && m_stager.OpenNewTrack(preGap, silence) ? 0 : 1;
}

int CAudioCDBurn::CheckMedium()
{
    if (m_imp->ReloadDisc() != 0)
        return Refuse(CDiscJob::Text(DiscMessageKeys::kDiscNotFound));
    if (!m_imp->IsBlankDisc())
        return Refuse(CDiscJob::Text(m_imp->IsErasableDisc() ? DiscMessageKeys::kUsedErasableDisc
                                                             : DiscMessageKeys::kUsedDisc));
    const eDiscType type = m_imp->GetInsertedDiscType();
    if (std::find(m_supportedMedia.begin(), m_supportedMedia.end(), type) == m_supportedMedia.end())
        return Refuse(CDiscJob::Text(DiscMessageKeys::kUnsuitableForAudioCD));
    if (SetOptimizedWriteSpeed() != 0)
        return Refuse(CDiscJob::Text(DiscMessageKeys::kWriteSpeedNotOffered));
    return 0;
}

int CAudioCDBurn::StartBurnDisc()
{
    ClearRefusal();
    if (CheckMedium() != 0)
        return 1;
    if (!m_stager.CloseTrack(false) || m_stager.HasWriteFailed())
        return Refuse(CDiscJob::Text(DiscMessageKeys::kCannotCreateTempFile));
    const AudioCDAlbumTrackList& album = m_stager.GetAlbumTrackList();
    if (album.tracks.empty())
        return Refuse(CDiscJob::Text(DiscMessageKeys::kNoSongToExport));
    // The medium was checked for the estimate before anything was staged;
    // the album as staged (pre-gaps, whole CD frames, padding) must fit too.
    const int64_t needed = CAudioCDTempFileCreator::GetAlbumDiscBytes(album);
    if (needed > GetFreeSizeOnDisc())
        return Refuse(CDiscJob::TextWithSize(DiscMessageKeys::kOverDiscSize, needed));
    return m_imp->StartBurnAudioCD(&album);
}
