#include "src/songlist/Action/CVXActionRename.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/DialogManager.h"

using Vextal::TrackInfo;

CVXActionRename::CVXActionRename(CVXHost& host, int index, int textId, const juce::String& text,
                                 bool makeUnique)
    : m_host(host), m_index(index), m_textId(textId), m_text(text), m_makeUnique(makeUnique)
{
}

bool CVXActionRename::perform()
{
    TrackInfo* song = m_host.GetSong(m_index);
    if (song == nullptr || m_textId < 0 || m_textId >= TrackInfo::kNumTexts)
        return false;
    m_oldText = song->getText(m_textId);
    if (m_textId != TrackInfo::kSongName)
    {
        song->setText(m_textId, m_text, true);
        return true;
    }
    const juce::String name = NewSongName(m_index);
    if (name.isEmpty())
        return false;
    song->setText(TrackInfo::kSongName, name, true);
    return true;
}

juce::String CVXActionRename::NewSongName(int index)
{
    if (m_text.isEmpty() && !m_makeUnique)
        return {};
    const juce::String name =
        m_host.SongNameCheckerRename(m_text, m_host.GetSong(index)->getText(TrackInfo::kSongName), index);
    if (name.isNotEmpty())
        return name;
    if (m_makeUnique)
        return m_host.SongNameChecker(m_text);
    Vextal::DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon,
                                          CZJEResource::GetText("Common_ErrorDialogTitle"),
                                          CZJEResource::GetText("Songlist_CannotRename"));
    return {};
}

bool CVXActionRename::undo()
{
    TrackInfo* song = m_host.GetSong(m_index);
    if (song == nullptr || m_textId < 0 || m_textId >= TrackInfo::kNumTexts)
        return false;
    song->setText(m_textId, m_oldText, true);
    m_host.SetSelectedSongs(m_index, 1, false);
    return true;
}
