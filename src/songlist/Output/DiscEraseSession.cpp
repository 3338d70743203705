#include "src/songlist/Output/DiscEraseSession.h"

#include "common/disc/CAudioDiscBurnBase.h"
#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/file/CAudioCDRead.h"
#include "common/file/CPlaylistSong.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

namespace Vextal
{
namespace
{
// How often the progress of the erase is shown.
constexpr int kTickMs = 100;

// The CD identifier of the audio disc at root; 0 when it is unknown.
int DiscIdentifier(const wchar_t* root)
{
    CAudioCDRead reader(true);
    const int id = reader.OpenFile(root) == 0 ? reader.GetMediaUniqueID() : 0;
    reader.CloseFile();
    return id;
}

// Whether a file of a song is there: an audio CD path when its disc (and
// track) can be read, any other path when the file exists.
bool FileExists(const wchar_t* path)
{
    if (CAudioCDPath::IsCDPath(path))
        return CCdioDisc::Exists(path);
    const juce::String text(path);
    return juce::File::isAbsolutePath(text) && juce::File(text).existsAsFile();
}

// Whether a song plays this file from the disc at root: the file lies there,
// exists, and names this disc (or, by identifier 0, any disc, as the host
// plays it from whichever disc is there; the disc's identifier is 0 when it
// is unknown).
bool IsOnDisc(const CPlaylistFile& file, const juce::File& root, int discId)
{
    const juce::String path(file.GetFilePath());
    if (!juce::File::isAbsolutePath(path))
        return false;
    const juce::File where(path);
    if (where != root && !where.isAChildOf(root))
        return false;
    const int fileId = file.GetMediaUniqueID();
    return FileExists(file.GetFilePath()) && (discId == 0 || fileId == 0 || fileId == discId);
}
} // namespace

DiscEraseSession::DiscEraseSession(CAudioDiscBurnBase* burner, uint32_t writeSpeedKbps, int eraseMode)
    : DiscEraseSession(burner, writeSpeedKbps, eraseMode, CVXHost::GetInstance())
{
}

DiscEraseSession::DiscEraseSession(CAudioDiscBurnBase* burner, uint32_t writeSpeedKbps, int eraseMode,
                                   CVXHost* host)
    : m_burner(burner), m_writeSpeedKbps(writeSpeedKbps), m_eraseMode(eraseMode), m_host(host)
{
}

DiscEraseSession::~DiscEraseSession()
{
    stopListening();
    stopTimer();
    cancelPendingUpdate();
}

void DiscEraseSession::stopListening()
{
    if (m_endListener != 0)
        m_burner->JobEnded().Remove(m_endListener);
    m_endListener = 0;
}

const char* DiscEraseSession::getPotentialErrorKey(juce::SparseSet<int>& songs)
{
    songs.clear();
    const eDiscType type = m_burner->GetInsertedDiscType();
    if (type == kDiscTypeNone || type == kDiscTypeInTransition)
        return kErrorDiscNotFoundKey;
    if (!m_burner->IsErasableDisc())
        return kErrorNotErasableDiscKey;
    const wchar_t* root = m_burner->GetCurrentDriveRootPath();
    if (root == nullptr || root[0] == 0)
        return nullptr; // nothing of the disc is mounted: no song can use it
    const juce::String rootPath(root);
    const int discId = DiscIdentifier(rootPath.toWideCharPointer());
    songs = songsOnDisc(juce::File(rootPath), discId);
    return songs.isEmpty() ? nullptr : kErrorDiscRefferedBySongs;
}

juce::SparseSet<int> DiscEraseSession::songsOnDisc(const juce::File& root, int discId) const
{
    juce::SparseSet<int> songs;
    if (m_host == nullptr)
        return songs;
    const juce::ScopedLock lock(m_host->GetSongLock());
    for (int i = 0; i < m_host->GetNumSongs(); ++i)
    {
        const TrackInfo* song = m_host->GetSong(i);
        if (song == nullptr)
            continue;
        juce::Array<CPlaylistFile*> files;
        song->getAllFiles(files);
        for (const CPlaylistFile* file : files)
        {
            if (file != nullptr && IsOnDisc(*file, root, discId))
            {
                songs.addRange({i, i + 1});
                break;
            }
        }
    }
    return songs;
}

bool DiscEraseSession::start()
{
    VX_ASSERT_MESSAGE_THREAD();
    stopListening();
    stopTimer();
    cancelPendingUpdate();
    m_state = State::kIdle;
    m_refusedByBurner = false;
    m_succeeded = false;
    m_errorMessage.clear();

    juce::SparseSet<int> songs;
    if (const char* key = getPotentialErrorKey(songs))
    {
        m_errorMessage = CZJEResource::GetText(key);
        notifyError(key, songs, {});
        return false;
    }
    notifyStart();
    m_state = State::kRunning;
    m_burner->SetWriteSpeed(m_writeSpeedKbps);
    // Listening before the start, so the end of a job that ends at once is
    // not missed.
    m_endListener = m_burner->JobEnded().Add([this] { triggerAsyncUpdate(); });
    if (m_burner->StartEraseDisc(m_eraseMode == kEraseQuick) != 0)
    {
        // Kept now: a job that is running is another one's, and its result
        // will replace the burner's. The session ends after start() has
        // returned.
        m_refusedByBurner = true;
        m_errorMessage = juce::String(m_burner->GetLastProcessErrorMessage().c_str());
        triggerAsyncUpdate();
        return true;
    }
    startTimer(kTickMs);
    return true;
}

void DiscEraseSession::timerCallback()
{
    if (m_state != State::kRunning)
    {
        stopTimer();
        return;
    }
    notifyProgress(m_burner->GetEraseProgressPercent(), kStatusEraseKey, {});
}

void DiscEraseSession::handleAsyncUpdate()
{
    // A notice that finds a job still running is another job's end (one
    // that ended as this one began).
    if (m_state == State::kRunning && (m_refusedByBurner || !m_burner->IsProcessing()))
        finish();
}

void DiscEraseSession::finish()
{
    stopListening();
    stopTimer();
    if (!m_refusedByBurner)
    {
        m_succeeded = m_burner->GetLastProcessErrorCode() == 0;
        m_errorMessage =
            m_succeeded ? juce::String() : juce::String(m_burner->GetLastProcessErrorMessage().c_str());
    }
    m_state = State::kEnded;
    notifyEnd(false);
}

bool DiscEraseSession::isSucceeded()
{
    return m_state == State::kEnded && m_succeeded;
}

juce::String DiscEraseSession::getLastErrorMessage()
{
    return m_errorMessage.isNotEmpty() ? m_errorMessage : CZJEResource::GetText(kErrorFailedKey);
}
} // namespace Vextal
