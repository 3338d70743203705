#include "src/songlist/CVXHost.h"

#include "common/disc/DeviceChangeBroadcaster.h"
#include "common/dsp/CAudioFilePlayer.h"
#include "common/file/CSongRead.h"
#include "library/util/CAtomicFileWriter.h"
#include "library/util/CCheckUtil.h"
#include "library/zad/CZadPreferences.h"
#include "library/zfc/CZfcSingleton.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/Output/ExportManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <string>

#include <sys/stat.h>

namespace
{
const char* const kBackupSonglistName = "VextalBackup";
const char* const kLastSonglistName = "VextalLast";
const char* const kSonglistExtension = ".vxsl";
const char* const kDataFolderName = "Vextal";

juce::String RecentSonglistKey(int index)
{
    return CVXHost::kRecentSonglistKeyPrefix + juce::String(index);
}

// Replaces target with a copy of source; without source, target is removed.
// The copy goes through the atomic-write path, so the target is either the
// old file or the whole copy.
void ReplaceWithCopy(const juce::File& source, const juce::File& target)
{
    if (!source.existsAsFile())
    {
        target.deleteFile();
        return;
    }
    CAtomicFileWriter::CopyFile(source.getFullPathName().toStdString(),
                                target.getFullPathName().toStdString());
}

// Lets the owner replace one of the application's own files that was made
// read-only; nobody else gains a permission (the framework's
// setReadOnly(false) adds write for everyone).
void MakeOwnerWritable(const juce::File& file)
{
    struct stat st;
    const std::string path = file.getFullPathName().toStdString();
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
}
} // namespace

juce::File CVXHost::GetApplicationDataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && juce::File::isAbsolutePath(data))
        return juce::File(data).getChildFile(kDataFolderName);
    return juce::File::getSpecialLocation(juce::File::userHomeDirectory)
        .getChildFile(".local/share")
        .getChildFile(kDataFolderName);
}

// ---------------------------------------------------------------------------
// Construction and destruction

CVXHost::CVXHost()
    : CVXHost(Services{CVXAudioDeviceManager::GetInstance(),
                       Vextal::ExportManager::GetInstance(),
                       DeviceChangeBroadcaster::getInstance(),
                       CZfcSingleton<CVXPreferences>::GetInstance(),
                       GetApplicationDataFolder(),
                       [] { juce::JUCEApplicationBase::quit(); },
                       {}})
{
}

CVXHost::CVXHost(const Services& services)
    : m_services(services), m_player(std::make_unique<CAudioFilePlayerPcmOutput>(2)),
      m_songReader(std::make_unique<CSongRead>())
{
    VX_ASSERT_MESSAGE_THREAD();
    RegisterWithServices();
    readRecentSonglistPaths();
    PrepareSonglistFiles();
    startTimer(kTimerIntervalMs);
}

void CVXHost::RegisterWithServices()
{
    CVXAudioDeviceManager* devices = m_services.deviceManager;
    if (devices != nullptr)
    {
        const juce::ScopedLock sl(devices->ObtainCriticalSection());
        devices->AddListener(this);
    }
    m_player->AddListener(this);
    juce::AudioIODevice* device = devices != nullptr ? devices->GetCurrentDevice() : nullptr;
    m_player->SetOutputSampleRate(device != nullptr ? static_cast<float>(device->getCurrentSampleRate())
                                                    : 44100.0f);
    m_songReader->SetOutputBufferChannels(2);
    if (devices != nullptr)
        devices->SetProcessor(this);
    if (Vextal::ExportManager* exports = m_services.exportManager)
    {
        const juce::ScopedLock sl(exports->ObtainCriticalSection());
        exports->AddListener(this);
    }
    if (m_services.volumeBroadcaster != nullptr)
        m_services.volumeBroadcaster->addMessageListener(this, kVolumeListenerId);
}

void CVXHost::PrepareSonglistFiles()
{
    const juce::File folder = m_services.dataFolder;
    if (folder == juce::File())
        return;
    folder.createDirectory();
    m_backupSonglistFile = folder.getChildFile(juce::String(kBackupSonglistName) + kSonglistExtension);
    m_lastSonglistFile = folder.getChildFile(juce::String(kLastSonglistName) + kSonglistExtension);
    MakeOwnerWritable(m_backupSonglistFile);
    MakeOwnerWritable(m_lastSonglistFile);
    // The last songlist is what the previous run left as its backup.
    ReplaceWithCopy(m_backupSonglistFile, m_lastSonglistFile);
}

CVXHost::~CVXHost()
{
    VX_ASSERT_MESSAGE_THREAD();
    stopTimer();
    BackupProject();
    writeRecentSonglistPaths();
    UnregisterFromServices();
    m_player->RemoveListener(this);
    m_player.reset();
    m_songReader.reset();
    m_songs.clear();
}

void CVXHost::UnregisterFromServices()
{
    if (m_services.volumeBroadcaster != nullptr)
        m_services.volumeBroadcaster->removeMessageListener(this);
    if (Vextal::ExportManager* exports = m_services.exportManager)
    {
        const juce::ScopedLock sl(exports->ObtainCriticalSection());
        exports->RemoveListener(this);
    }
    if (CVXAudioDeviceManager* devices = m_services.deviceManager)
    {
        {
            const juce::ScopedLock sl(devices->ObtainCriticalSection());
            devices->RemoveListener(this);
        }
        // Waits for a callback in progress; the device's outputs are silent
        // from here on.
        devices->SetProcessor(nullptr);
    }
}

// ---------------------------------------------------------------------------
// Modes and command availability

void CVXHost::GetBits(bool* empty, bool* selected, bool* normalMode, bool* paused, bool* playingOrNoCurrent,
                      bool* stoppable, bool* atLast, bool* atFirst)
{
    VX_ASSERT_MESSAGE_THREAD();
    const int count = GetNumSongs();
    const int current = GetCurPlayTrack(m_hostMode);
    const int status = GetPlayerStatus();
    const int position = m_playMode == kPlayShuffle ? GetShufflePosition() : current;
    const bool wraps = m_repeat && m_playMode != kPlayOneSong;
    const bool bits[8] = {
        count == 0,
        !m_selection.isEmpty(),
        m_hostMode == 0,
        status == kStatusPaused,
        status == kStatusPlaying || current < 0,
        status != kStatusStopped && current >= 0,
        !wraps && position >= count - 1,
        !wraps && position == 0 && m_player->GetCurTimeSecond() < 0.0001,
    };
    bool* const outputs[8] = {empty,     selected, normalMode, paused, playingOrNoCurrent,
                              stoppable, atLast,   atFirst};
    for (int i = 0; i < 8; ++i)
        if (outputs[i] != nullptr)
            *outputs[i] = bits[i];
}

void CVXHost::SetMode(int mode)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (mode == m_hostMode)
        return;
    m_hostMode = mode;
    if (mode != 0)
    {
        // No file of the songlist stays open while an export or burn runs.
        SetPlayerStatus(kStatusStopped);
        m_player->Stop();
        EjectCurrentSong();
        m_parkedSelection = m_selection;
        m_quitOnExportEnd = false;
    }
    else
    {
        SetCurPlayTrack(m_currentSong == -1 ? 0 : m_currentSong, true, false);
        SetPlayerStatus(kStatusStopped);
        SetSelectedSongs(m_parkedSelection, false);
    }
    refreshCommandAvailabilities();
    NotifyListeners([this, mode](CVXHostListener& l) { l.OnVXHostModeChanged(this, mode); });
}

int CVXHost::GetCurPlayTrack(int mode) const
{
    if (mode == 0)
        return m_currentSong;
    if (mode == 1)
        return m_exportedSong;
    VX_CHECK(false);
    return -1;
}

Vextal::TrackInfo* CVXHost::GetSong(int index) const
{
    return IsValidIndex(index) ? m_songs[static_cast<size_t>(index)].get() : nullptr;
}

// ---------------------------------------------------------------------------
// Export sessions

bool CVXHost::IsEraseSession(Vextal::ExportSession* session)
{
    // Erasing a disc touches neither the songlist nor the player.
    return session != nullptr && session->getSessionNameKey() == Vextal::ExportSessionNames::kDiscErase;
}

Vextal::ExportSession* CVXHost::GetRunningSession() const
{
    return m_services.exportManager != nullptr ? m_services.exportManager->getCurrentSession() : nullptr;
}

void CVXHost::exportAboutToStart(Vextal::ExportSession* session)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (IsEraseSession(session))
        return;
    m_parkedSelection = m_selection;
    SetMode(1);
}

void CVXHost::exportEnded(Vextal::ExportSession* session, bool)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (IsEraseSession(session))
        return;
    if (m_quitOnExportEnd)
    {
        if (m_services.quitApplication)
            m_services.quitApplication();
        return;
    }
    SetMode(0);
    SetSelectedSongs(m_parkedSelection, false);
}

// ---------------------------------------------------------------------------
// Per-song listener registry

void CVXHost::addTrackInfoListener(Vextal::TrackInfoListener* listener, int filter)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!VX_CHECK(filter >= -2) || listener == nullptr)
        return;
    const juce::ScopedLock sl(m_listenerLock);
    m_songListeners.emplace_back(listener, filter);
}

void CVXHost::removeTrackInfoListener(Vextal::TrackInfoListener* listener)
{
    VX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock sl(m_listenerLock);
    m_songListeners.erase(std::remove_if(m_songListeners.begin(), m_songListeners.end(),
                                         [listener](const auto& entry) { return entry.first == listener; }),
                          m_songListeners.end());
}

// ---------------------------------------------------------------------------
// Preferences and recent songlists

void CVXHost::ReadPreferences()
{
    VX_ASSERT_MESSAGE_THREAD();
    CZadPreferences* store = m_services.preferences;
    const int mode = store != nullptr ? store->ReadInteger(kPlayerModeKey, 0) : 0;
    setPlayerMode(mode >= kPlayOneSong && mode <= kPlayShuffle ? mode : kPlayOneSong);
    setRepeat(store != nullptr && store->ReadInteger(kPlayerRepeatKey, 0) == 1);
    m_peakHoldLevelMs =
        store != nullptr ? store->ReadInteger(kPeakHoldLevelKey, kDefaultPeakHoldMs) : kDefaultPeakHoldMs;
    m_peakHoldClipMs =
        store != nullptr ? store->ReadInteger(kPeakHoldClipKey, kDefaultPeakHoldMs) : kDefaultPeakHoldMs;
}

void CVXHost::WritePreferences()
{
    VX_ASSERT_MESSAGE_THREAD();
    CZadPreferences* store = m_services.preferences;
    if (store == nullptr)
        return;
    store->WriteInteger(kPlayerModeKey, m_playMode);
    store->WriteInteger(kPlayerRepeatKey, m_repeat ? 1 : 0);
    store->WriteInteger(kPeakHoldLevelKey, m_peakHoldLevelMs);
    store->WriteInteger(kPeakHoldClipKey, m_peakHoldClipMs);
    store->Synchronize();
}

void CVXHost::readRecentSonglistPaths()
{
    m_recentSonglists.clear();
    CZadPreferences* store = m_services.preferences;
    if (store == nullptr)
        return;
    for (int i = 0; i < kNumRecentSonglists; ++i)
    {
        const juce::String path =
            store->ReadString(RecentSonglistKey(i).toRawUTF8()).value_or(juce::String());
        if (juce::File::isAbsolutePath(path) && juce::File(path).existsAsFile())
            m_recentSonglists.add(path);
    }
}

void CVXHost::writeRecentSonglistPaths()
{
    CZadPreferences* store = m_services.preferences;
    if (store == nullptr)
        return;
    int next = 0;
    for (int i = 0; i < juce::jmin(m_recentSonglists.size(), kNumRecentSonglists); ++i)
    {
        const juce::String& path = m_recentSonglists[i];
        if (juce::File::isAbsolutePath(path) && juce::File(path).existsAsFile())
            store->WriteString(RecentSonglistKey(next++).toRawUTF8(), path);
    }
    while (next < kNumRecentSonglists)
        store->WriteString(RecentSonglistKey(next++).toRawUTF8(), juce::String());
    store->Synchronize();
}

// ---------------------------------------------------------------------------
// Messages

void CVXHost::handleMessage(const juce::Message& message)
{
    if (const auto* volume = dynamic_cast<const DeviceChangeMessage*>(&message))
    {
        if (volume->intParameter1 == kVolumeMessage && m_hostMode == 0 &&
            volume->intParameter2 == kDeviceChangeUnmountRequested)
            releaseFileIfCurrentlyUsed(volume->path);
        return;
    }
    const auto* own = dynamic_cast<const HostMessage*>(&message);
    if (own == nullptr)
        return;
    switch (own->intParameter1)
    {
    case kFromToStatusMessage:
    {
        const int status = own->intParameter2;
        NotifyListeners([this, status](CVXHostListener& l)
                        { l.OnVXHostFromToPlayStatusChanged(this, status); });
        break;
    }
    case kPlayerStoppedMessage:
        HandlePlayerStopped();
        break;
    case kReadErrorMessage:
        HandleReadError(static_cast<uint32_t>(own->intParameter2));
        break;
    default:
        break;
    }
}
