#include "src/VXSLReader.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/SonglistFile.h"
#include "src/TrackInfo.h"

namespace Vextal
{
VXSLReader::VXSLReader(const juce::String& path)
{
    const juce::File file = juce::File::isAbsolutePath(path) ? juce::File(path) : juce::File();
    m_folder = file.getParentDirectory();
    switch (SonglistFile::read(file, m_document))
    {
    case SonglistFile::ReadResult::kOk:
        for (const juce::XmlElement* track : m_document->getChildWithTagNameIterator("Track"))
            m_tracks.push_back(track);
        break;
    case SonglistFile::ReadResult::kNewerVersion:
        m_error = CZJEResource::GetText("Songlist_NewerVersion");
        break;
    case SonglistFile::ReadResult::kInvalid:
        m_error = CZJEResource::GetText("Songlist_Invalid");
        break;
    }
}

VXSLReader::~VXSLReader() = default;

bool VXSLReader::isReady() const
{
    return m_index < getNumSongs();
}

std::unique_ptr<TrackInfo> VXSLReader::next()
{
    if (!isReady())
        return nullptr;
    auto song = std::make_unique<TrackInfo>();
    song->deserializeFromXml(m_tracks[static_cast<size_t>(m_index++)], m_error, m_folder);
    return song;
}

double VXSLReader::getCurrentProgress() const
{
    return isReady() ? static_cast<double>(m_index) / getNumSongs() : 1.0;
}
} // namespace Vextal
