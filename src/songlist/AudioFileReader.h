#pragma once

#include "src/songlist/TrackReader.h"

#include <juce_core/juce_core.h>

#include <memory>

class CAudioFileReadBase;

namespace Vextal
{
// The one song of an audio file that a reader of the file layer accepts
// (VextalFileUtil::CreateAudioFileReadObject), named after the file without
// its extension. A file no reader accepts yields nothing.
//
// A reader still preparing its audio in the background when this object
// goes is handed to the decode temporary-file manager, which deletes it
// when its work ends.
class AudioFileReader : public TrackReader
{
public:
    explicit AudioFileReader(const juce::String& path);
    ~AudioFileReader() override;

    bool isReady() const override;
    std::unique_ptr<TrackInfo> next() override;
    double getCurrentProgress() const override;
    bool isProcessing() const override;

private:
    bool m_done = false;
    std::unique_ptr<CAudioFileReadBase> m_reader;
    juce::String m_path;
};
} // namespace Vextal
