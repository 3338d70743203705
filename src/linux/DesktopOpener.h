#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace Vextal
{
// Runs the desktop's opener (xdg-open, found through PATH) on a document and
// always reaps it: a thread of its own waits for the child, so that no
// zombie stays behind however long the opener runs.
//
// The answer: the opener's failure as a text for the user (not found, not
// started, its exit status or signal), empty when it handed the document
// over. An opener that ends within waitMs answers at once; one still busy
// then has handed the document over as far as the caller knows, and should
// it fail later, lateFailure (when given) gets the text on the message
// thread.
//
// Threads. Called on the message thread, which it blocks for up to waitMs;
// the waiting thread touches nothing but the child's state.
juce::String runDesktopOpener(const juce::File& document, int waitMs,
                              std::function<void(const juce::String&)> lateFailure);

// The absolute path of program found in the folders of PATH, or empty.
juce::String findProgramInPath(const juce::String& program);
} // namespace Vextal
