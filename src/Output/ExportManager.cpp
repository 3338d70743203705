#include "src/Output/ExportManager.h"

#include <functional>

namespace Vextal
{
namespace
{
// A progress notice on its way to the message thread.
class ProgressMessage : public juce::Message
{
public:
    ProgressMessage(ExportSession* s, double p, const char* k, const juce::StringArray& a)
        : session(s), percent(p), key(k), args(a)
    {
    }

    ExportSession* const session;
    const double percent;
    const char* const key;
    const juce::StringArray args;
};

// Runs f on the message thread and waits until it has returned; at once
// when called there.
void CallOnMessageThread(const std::function<void()>& f)
{
    juce::MessageManager* mm = juce::MessageManager::getInstance();
    if (mm->isThisTheMessageThread())
    {
        f();
        return;
    }
    auto run = [](void* p) -> void*
    {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    mm->callFunctionOnMessageThread(run, const_cast<std::function<void()>*>(&f));
}
} // namespace

ExportManager::ExportManager() = default;

ExportManager::~ExportManager()
{
    if (m_session != nullptr)
        m_session->cancel();
    m_session.reset();
}

bool ExportManager::start(std::unique_ptr<ExportSession>& session)
{
    if ((m_session != nullptr && isBusy()) || session == nullptr)
        return false;
    m_busy.store(true, std::memory_order_release);
    m_session.reset();
    m_session = std::move(session);
    m_session->AddListener(this);
    if (m_session->start())
        return true;
    m_session.reset();
    m_busy.store(false, std::memory_order_release);
    return false;
}

void ExportManager::cancel()
{
    if (m_session != nullptr)
        m_session->cancel();
}

int ExportManager::getCurrentSessionClass() const
{
    if (!isBusy() || m_session == nullptr)
        return kNoSession;
    const char* key = m_session->getSessionNameKey();
    if (key == ExportSessionNames::kFileExport)
        return kFileExport;
    if (key == ExportSessionNames::kDiscBurn)
        return kDiscBurn;
    if (key == ExportSessionNames::kDiscErase)
        return kDiscErase;
    return kNoSession;
}

void ExportManager::exportAboutToStart(ExportSession* session)
{
    CallOnMessageThread([&]
                        { CallListeners([&](ExportSessionListener& l) { l.exportAboutToStart(session); }); });
}

void ExportManager::exportSongProcessAboutToStart(ExportSession* session)
{
    CallOnMessageThread(
        [&] { CallListeners([&](ExportSessionListener& l) { l.exportSongProcessAboutToStart(session); }); });
}

void ExportManager::exportEnded(ExportSession* session, bool aborted)
{
    CallOnMessageThread(
        [&] { CallListeners([&](ExportSessionListener& l) { l.exportEnded(session, aborted); }); });
    if (session != nullptr)
        session->RemoveListener(this);
    m_busy.store(false, std::memory_order_release);
}

void ExportManager::exportErrorOccured(ExportSession* session, const char* key,
                                       const juce::SparseSet<int>& songs, const juce::StringArray& args)
{
    CallOnMessageThread(
        [&] {
            CallListeners([&](ExportSessionListener& l) { l.exportErrorOccured(session, key, songs, args); });
        });
}

bool ExportManager::exportShouldIgnoreWarning(ExportSession* session, const char* key,
                                              const juce::SparseSet<int>& songs,
                                              const juce::StringArray& args)
{
    bool ignore = true;
    CallOnMessageThread(
        [&]
        {
            CallListeners([&](ExportSessionListener& l)
                          { ignore = l.exportShouldIgnoreWarning(session, key, songs, args) && ignore; });
        });
    return ignore;
}

void ExportManager::exportProgressUpdated(ExportSession* session, double percent, const char* key,
                                          const juce::StringArray& args)
{
    postMessage(new ProgressMessage(session, percent, key, args));
}

bool ExportManager::exportShouldRepeat(ExportSession* session)
{
    bool repeat = false;
    CallOnMessageThread(
        [&] {
            CallListeners([&](ExportSessionListener& l)
                          { repeat = l.exportShouldRepeat(session) || repeat; });
        });
    return repeat;
}

void ExportManager::handleMessage(const juce::Message& message)
{
    const auto* progress = dynamic_cast<const ProgressMessage*>(&message);
    if (progress == nullptr)
        return;
    CallListeners(
        [progress](ExportSessionListener& l)
        { l.exportProgressUpdated(progress->session, progress->percent, progress->key, progress->args); });
}
} // namespace Vextal
