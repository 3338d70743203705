#include "src/songlist/Action/ChangePictureAction.h"

#include "src/songlist/CVXHost.h"

namespace Vextal
{
ChangePictureAction::ChangePictureAction(CVXHost& host, int index, const juce::String& path)
    : m_host(host), m_index(index), m_path(path)
{
}

bool ChangePictureAction::perform()
{
    TrackInfo* song = m_host.GetSong(m_index);
    if (song == nullptr)
        return false;
    m_oldPath = song->getAttachedPictureFilePath();
    song->setAttachedPictureFilePath(m_path, true);
    return true;
}

bool ChangePictureAction::undo()
{
    TrackInfo* song = m_host.GetSong(m_index);
    if (song == nullptr)
        return false;
    song->setAttachedPictureFilePath(m_oldPath, true);
    return true;
}
} // namespace Vextal
