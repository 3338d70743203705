#include "common/disc/linux/CLibburnAudioLayout.h"

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CCdTextBlocks.h"
#include "common/disc/linux/CLibburnSupport.h"

#include <juce_core/juce_core.h>

#include <libburn/libburn.h>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

using namespace burn;

namespace
{
// libburn writes two seconds before the first track on its own.
constexpr int kFirstTrackPreGap = 150;
} // namespace

CLibburnAudioLayout::~CLibburnAudioLayout()
{
    if (m_disc != nullptr)
        burn_disc_free(m_disc);
    if (m_session != nullptr)
        burn_session_free(m_session);
    for (burn_track* t : m_tracks)
        burn_track_free(t);
    for (burn_source* s : m_sources)
        burn_source_free(s);
    for (int fd : m_fds)
        ::close(fd);
}

bool CLibburnAudioLayout::AddTrack(const AudioCDTrackInfo& info, bool first, std::wstring* error)
{
    int64_t offset = 0;
    int64_t frames = 0;
    const std::string path = juce::String(info.path.c_str()).toStdString();
    int fd = -1;
    if (CAudioCDTempFileCreator::LocateTrackSamples(info.path, &offset, &frames))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::lseek(fd, offset, SEEK_SET) != offset)
    {
        if (fd >= 0)
            ::close(fd);
        *error = L"not a track file: " + info.path;
        return false;
    }
    m_fds.push_back(fd);
    burn_source* source = burn_fd_source_new(fd, -1, frames * 4);
    burn_track* track = burn_track_create();
    m_tracks.push_back(track);
    if (source == nullptr)
    {
        *error = L"cannot read " + info.path;
        return false;
    }
    m_sources.push_back(source);
    burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
    burn_track_set_byte_swap(track, 1);
    burn_track_set_source(track, source);
    const int preGap = static_cast<int>(info.preGap);
    if (first ? preGap > kFirstTrackPreGap : preGap > 0)
        burn_track_set_pregap_size(track, preGap, 0);
    burn_session_add_track(m_session, track, BURN_POS_END);
    return true;
}

bool CLibburnAudioLayout::Build(const AudioCDAlbumTrackList& album, bool cdText, std::wstring* error)
{
    if (!CLibburnSupport::Initialize())
    {
        *error = L"libburn cannot start";
        return false;
    }
    m_disc = burn_disc_create();
    m_session = burn_session_create();
    burn_disc_add_session(m_disc, m_session, BURN_POS_END);
    for (size_t i = 0; i < album.tracks.size(); ++i)
    {
        if (!AddTrack(album.tracks[i], i == 0, error))
            return false;
    }
    // The texts go to the drive as packs of our own making (SetLeadInText),
    // which libburn writes in place of any CD-Text of the session.
    if (cdText)
        m_cdTextPacks = CLibburnSupport::MakeCdTextPacks(album);
    return true;
}

void CLibburnAudioLayout::SetLeadInText(burn_write_opts* opts)
{
    if (!m_cdTextPacks.empty())
        burn_write_opts_set_leadin_text(opts, m_cdTextPacks.data(),
                                        static_cast<int>(m_cdTextPacks.size() / CCdTextBlocks::kPackSize), 0);
}

std::vector<int64_t> CLibburnAudioLayout::TrackSectors() const
{
    std::vector<int64_t> sectors;
    for (burn_track* t : m_tracks)
        sectors.push_back(std::max(burn_track_get_sectors(t), 0));
    return sectors;
}
