#pragma once

#include "common/disc/CDiscBurnImp.h"

#include <cstdint>
#include <string>
#include <vector>

namespace burn
{
struct burn_disc;
struct burn_session;
struct burn_track;
struct burn_source;
struct burn_write_opts;
} // namespace burn

// The libburn disc of an audio burn and everything it holds: one session of
// audio tracks read from the staged AIFF files (their samples as they lie in
// the file, byte-swapped to the disc's little-endian order), each track's
// pre-gap as the album gives it (at least the two seconds libburn writes
// before the first), and the album's texts as CD-Text where wanted.
//
// It also tells how many sectors each track takes on the disc, which a burn's
// progress is counted in (see CLibburnJobWatch).
//
// Threads. Built on one thread, then handed whole to the job's worker; not
// shared while it runs.
class CLibburnAudioLayout
{
public:
    CLibburnAudioLayout() = default;
    ~CLibburnAudioLayout();

    CLibburnAudioLayout(const CLibburnAudioLayout&) = delete;
    CLibburnAudioLayout& operator=(const CLibburnAudioLayout&) = delete;

    // Builds the disc of a staged album; cdText asks for its texts as
    // CD-Text. False, with the reason in error, when a track file cannot be
    // read. Called once.
    bool Build(const AudioCDAlbumTrackList& album, bool cdText, std::wstring* error);

    burn::burn_disc* Disc() const { return m_disc; }
    // The raw CD-Text packs handed to the drive for the lead-in (18 bytes
    // each); empty when the disc has none.
    const std::vector<uint8_t>& CdTextPacks() const { return m_cdTextPacks; }
    // Hands the CD-Text packs to a burn's write options (nothing when there
    // are none). The layout must outlive the options' use.
    void SetLeadInText(burn::burn_write_opts* opts);

    // Sectors of each track on the disc (without its pre-gap), in order.
    std::vector<int64_t> TrackSectors() const;

private:
    bool AddTrack(const AudioCDTrackInfo& info, bool first, std::wstring* error);

    burn::burn_disc* m_disc = nullptr;
    burn::burn_session* m_session = nullptr;
    std::vector<burn::burn_track*> m_tracks;
    std::vector<burn::burn_source*> m_sources;
    std::vector<int> m_fds;
    std::vector<uint8_t> m_cdTextPacks;
};
