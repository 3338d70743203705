#include "src/songlist/DroppedFileList.h"

#include "library/util/CRegularFile.h"

namespace Vextal
{
void getFileListFromDroppedFile(const juce::String& path, juce::StringArray& files,
                                const std::function<bool()>& shouldStop)
{
    files.clear();
    if (!juce::File::isAbsolutePath(path) || !juce::File(path).isDirectory())
    {
        files.add(path);
        return;
    }
    juce::StringArray found;
    for (const auto& entry : juce::RangedDirectoryIterator(juce::File(path), true, "*", juce::File::findFiles,
                                                           juce::File::FollowSymlinks::noCycles))
    {
        // Only regular files are songs: FIFOs, devices and sockets in the
        // folder (or links to them) are left out.
        const juce::String file = entry.getFile().getFullPathName();
        if (CRegularFile::IsRegular(file.toStdString()))
            found.add(file);
        if (shouldStop && shouldStop())
            break;
    }
    found.sort(true);
    files.addArray(found);
    files.sort(true);
}
} // namespace Vextal
