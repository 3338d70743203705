#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace Vextal
{
// The files to add for a dropped or chosen path: for a folder every file in it
// and its subfolders (hidden ones included, folders themselves not listed,
// symbolic-link cycles not followed), for anything else the path itself; the
// list sorted by full path without regard to letter case. files is emptied
// first. The walk stops early once shouldStop (when given) answers true.
//
// Touches no components; the add-songs worker thread calls it.
void getFileListFromDroppedFile(const juce::String& path, juce::StringArray& files,
                                const std::function<bool()>& shouldStop = {});
} // namespace Vextal
