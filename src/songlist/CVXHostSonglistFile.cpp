// The songlist file operations of the host: open, save, save as, the backup
// songlist written after edits and at shutdown, and the last songlist (the
// backup the previous run left). Every write goes through the atomic-write
// path, so a failed or interrupted write leaves the old file whole.

#include "src/songlist/CVXHost.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "common/file/CSongRead.h"
#include "library/util/CAtomicFileWriter.h"
#include "library/util/CCheckUtil.h"
#include "library/util/CRegularFile.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/HostListenersTakenOff.h"
#include "src/songlist/SonglistFile.h"
#include "src/songlist/VXSLReader.h"

using Vextal::TrackInfo;

namespace
{
void ShowError(const juce::String& message)
{
    Vextal::DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon,
                                          CZJEResource::GetText("Common_ErrorDialogTitle"), message);
}

bool WriteSonglist(const std::vector<std::unique_ptr<TrackInfo>>& songs, const juce::File& file,
                   bool* tooLarge)
{
    std::vector<const TrackInfo*> records;
    records.reserve(songs.size());
    for (const auto& song : songs)
        records.push_back(song.get());
    return Vextal::SonglistFile::write(records, file, tooLarge);
}
} // namespace

bool CVXHost::isReadyToOpen()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_songs.empty() || !isVXSLChanged())
        return true;
    const int answer = Vextal::DialogManager::showYesNoCancelBox(
        juce::MessageBoxIconType::QuestionIcon, CZJEResource::GetText("Common_ConfirmationDialogTitle"),
        CZJEResource::GetText("Songlist_SaveBeforeOpening"), CZJEResource::GetText("Button_Save"),
        CZJEResource::GetText("Button_DontSave"), CZJEResource::GetText("Button_Cancel"));
    if (answer == 1)
        return SaveProject(false);
    return answer == 2;
}

bool CVXHost::OpenProject(const juce::File& file, bool interactive)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (interactive && !isReadyToOpen())
        return false;
    juce::File chosen = file;
    if (chosen == juce::File() && interactive)
    {
        juce::String path;
        if (!Vextal::DialogManager::browseToOpen(path, Vextal::DialogManager::kSonglistFile))
            return false;
        chosen = juce::File(path);
    }
    const bool opened = openProjectInternal(chosen, interactive);
    if (opened && interactive)
        SetVXSLPath(chosen);
    return opened;
}

bool CVXHost::OpenLastProject()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!isReadyToOpen() || !openProjectInternal(m_lastSonglistFile, true))
        return false;
    // The restored songlist is untitled: it is saved under a new name.
    SetVXSLPath(juce::File());
    return true;
}

bool CVXHost::openProjectInternal(const juce::File& file, bool interactive)
{
    // Only a regular file is read as a songlist: a FIFO or a device under its
    // name is not found.
    if (file == juce::File() || !CRegularFile::IsRegular(file.getFullPathName().toStdString()))
    {
        ShowError(CZJEResource::GetText("Songlist_FileNotFound"));
        return false;
    }
    Vextal::VXSLReader reader(file.getFullPathName());
    if (!reader.isReady())
    {
        // A valid songlist without songs has no error to show.
        if (interactive && reader.getErrorMessage().isNotEmpty())
            ShowError(reader.getErrorMessage());
        return false;
    }
    if (interactive)
        RemoveAllSongs();
    {
        // The listeners learn the new songs once, below.
        const HostListenersTakenOff quiet(*this);
        while (reader.isReady())
        {
            std::unique_ptr<TrackInfo> song = reader.next();
            song->setText(TrackInfo::kSongName, SongNameChecker(song->getText(TrackInfo::kSongName)), true);
            InsertTrack(GetNumSongs(), std::move(song));
        }
    }
    if (interactive)
        SetCurPlayTrack(0, true, false);
    CallBackNumTracksChanged();
    if (file != m_backupSonglistFile)
        CAtomicFileWriter::CopyFile(file.getFullPathName().toStdString(),
                                    m_backupSonglistFile.getFullPathName().toStdString());
    return true;
}

void CVXHost::RemoveAllSongs()
{
    StopPlayback();
    EjectCurrentSong();
    SetSelectedSongs(juce::SparseSet<int>(), false);
    {
        const HostListenersTakenOff quiet(*this);
        while (!m_songs.empty())
            RemoveTrack(GetNumSongs() - 1, false, false);
    }
    if (CVXHostUndoHistory* history = GetUndoHistory())
        history->forgetHistoryAsSaved();
    else
        setVXSLChanged(false);
}

bool CVXHost::SaveProject(bool saveAs)
{
    VX_ASSERT_MESSAGE_THREAD();
    juce::File target = m_songlistFile;
    if (saveAs || target == juce::File())
    {
        juce::String path;
        if (!Vextal::DialogManager::browseToSave(path, true))
            return false;
        target = juce::File(path);
    }
    bool tooLarge = false;
    bool saved = WriteSonglist(m_songs, target, &tooLarge);
    // Another place would not make it smaller: the songlist stays as it is.
    if (tooLarge)
    {
        ShowError(CZJEResource::GetText("Songlist_TooLarge")
                      .replace("%1", juce::String(Vextal::SonglistFile::kMaxFileBytes / (1024 * 1024))));
        return false;
    }
    while (!saved)
    {
        const bool again = Vextal::DialogManager::showOkCancelBox(
            juce::MessageBoxIconType::WarningIcon, CZJEResource::GetText("Common_ErrorDialogTitle"),
            CZJEResource::GetText("Songlist_CannotSave").replace("%1", target.getFullPathName()),
            CZJEResource::GetText("Button_Save"), CZJEResource::GetText("Button_Cancel"));
        juce::String path;
        if (!again || !Vextal::DialogManager::browseToSave(path, true))
            return false;
        target = juce::File(path);
        saved = saveProjectInternal(target);
    }
    SetVXSLPath(target);
    if (CVXHostUndoHistory* history = GetUndoHistory())
        history->markSaved();
    else
        setVXSLChanged(false);
    return true;
}

bool CVXHost::saveProjectInternal(const juce::File& file)
{
    return WriteSonglist(m_songs, file, nullptr);
}

bool CVXHost::BackupProject()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_songs.empty() || m_backupSonglistFile == juce::File())
        return false;
    return saveProjectInternal(m_backupSonglistFile);
}

namespace
{
std::function<CVXHostUndoHistory*()>& UndoHistorySource()
{
    static std::function<CVXHostUndoHistory*()> source;
    return source;
}
} // namespace

void CVXHost::SetUndoHistorySource(std::function<CVXHostUndoHistory*()> source)
{
    UndoHistorySource() = std::move(source);
}

CVXHostUndoHistory* CVXHost::GetUndoHistory()
{
    const auto& source = UndoHistorySource();
    return source ? source() : nullptr;
}
