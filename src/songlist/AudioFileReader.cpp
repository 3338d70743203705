#include "src/songlist/AudioFileReader.h"

#include "common/file/CAudioDecodeTempFileManager.h"
#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "src/songlist/TrackInfo.h"

namespace Vextal
{
AudioFileReader::AudioFileReader(const juce::String& path) : m_path(path)
{
    if (path.isNotEmpty())
        m_reader.reset(VextalFileUtil::CreateAudioFileReadObject(path.toWideCharPointer(), false));
}

AudioFileReader::~AudioFileReader()
{
    if (m_done && isProcessing())
        CAudioDecodeTempFileManager::GetInstance()->Delete(m_reader.release());
}

bool AudioFileReader::isReady() const
{
    return m_reader != nullptr && !m_done;
}

std::unique_ptr<TrackInfo> AudioFileReader::next()
{
    if (!isReady())
        return nullptr;
    auto song = std::make_unique<TrackInfo>(m_reader.get());
    const juce::String name =
        juce::File::isAbsolutePath(m_path) ? juce::File(m_path).getFileNameWithoutExtension() : m_path;
    song->setText(TrackInfo::kSongName, name, true);
    m_done = true;
    return song;
}

double AudioFileReader::getCurrentProgress() const
{
    if (!isProcessing())
        return 1.0;
    return m_reader->GetInternalProcessPercent() * 0.01;
}

bool AudioFileReader::isProcessing() const
{
    return m_done && m_reader != nullptr && m_reader->IsProcessingInternally();
}
} // namespace Vextal
