#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// How song names become file names. Every export names its files through
// these functions and no other way, so that a song name never reaches into
// another folder, never names the folder itself or its parent, and never
// makes a name the file system refuses as too long.
namespace Vextal
{
// The longest name of one file (one path component) that the file systems
// take, in bytes of UTF-8.
constexpr int kMaxFileNameBytes = 255;
// The bytes a song writer may add to the base of its files besides the
// extension: a section number (".001") and a channel file number (".trk1").
constexpr int kWriterNumberingBytes = 9;

// The name made safe for one path component: every "/" and every control
// character (below U+0020, and U+007F) becomes "_"; the name is cut, at a
// character boundary, so that its UTF-8 form and reservedBytes more fit in
// kMaxFileNameBytes; an empty name, and one of dots only ("." or ".." among
// them), becomes as many "_" (one at least).
juce::String makeSafeFileName(const juce::String& name, int reservedBytes);

// The base of the export files of a song (without folder and extension): the
// song name made safe with room for the extension (".wav") and the numbering
// a song writer adds.
juce::String makeExportFileBaseName(const juce::String& songName, const juce::String& extension);

// The names (without folder) of the files an export writes for a song:
// one file in stereo (channelMode 1), one file per channel in mono
// (channelMode 0), numbered ".trk1", ".trk2", ... when there are several.
juce::StringArray exportFileNamesOf(const juce::String& songName, int numChannels,
                                    const juce::String& extension, int channelMode);

// The positions of the targets that would write a file another target also
// writes: each target gives the names of its files, compared without regard
// to letter case (one file on a file system that ignores case).
juce::SparseSet<int> findCollidingFileNames(const std::vector<juce::StringArray>& namesPerTarget);
} // namespace Vextal
