#include "src/songlist/Output/ExportSession.h"

namespace Vextal
{
ExportSession::ExportSession() = default;
ExportSession::~ExportSession() = default;

void ExportSession::notifyStart()
{
    CallListeners([this](ExportSessionListener& l) { l.exportAboutToStart(this); });
}

void ExportSession::notifySongProcessStart()
{
    CallListeners([this](ExportSessionListener& l) { l.exportSongProcessAboutToStart(this); });
}

void ExportSession::notifyEnd(bool aborted)
{
    CallListeners([this, aborted](ExportSessionListener& l) { l.exportEnded(this, aborted); });
}

void ExportSession::notifyError(const char* key, const juce::SparseSet<int>& songs,
                                const juce::StringArray& args)
{
    CallListeners([&](ExportSessionListener& l) { l.exportErrorOccured(this, key, songs, args); });
}

void ExportSession::notifyProgress(double percent, const char* key, const juce::StringArray& args)
{
    CallListeners([&](ExportSessionListener& l) { l.exportProgressUpdated(this, percent, key, args); });
}

bool ExportSession::shouldIgnoreWarning(const char* key, const juce::SparseSet<int>& songs,
                                        const juce::StringArray& args)
{
    bool ignore = true;
    CallListeners([&](ExportSessionListener& l)
                  { ignore = l.exportShouldIgnoreWarning(this, key, songs, args) && ignore; });
    return ignore;
}

bool ExportSession::shouldRepeat()
{
    bool repeat = false;
    CallListeners([&](ExportSessionListener& l) { repeat = l.exportShouldRepeat(this) || repeat; });
    return repeat;
}
} // namespace Vextal
