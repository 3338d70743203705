#include "src/linux/DesktopOpener.h"

#include "library/vextal_juce/CZJEText.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

extern char** environ;

namespace Vextal
{
namespace
{
const char* const kOpener = "xdg-open";

// What the waiting thread learns of the child.
struct ChildState
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    int status = 0;
    bool late = false; // the caller stopped waiting
};

using CZJEText::Text;

// The failure text of an ended child's wait status; empty for exit status 0.
juce::String FailureOf(int status)
{
    if (WIFEXITED(status))
    {
        if (WEXITSTATUS(status) == 0)
            return {};
        return Text("Other_OpenerFailed")
            .replace("%1", kOpener)
            .replace("%2", juce::String(WEXITSTATUS(status)));
    }
    if (WIFSIGNALED(status))
        return Text("Other_OpenerKilled")
            .replace("%1", kOpener)
            .replace("%2", juce::String(WTERMSIG(status)));
    return Text("Other_OpenerFailed").replace("%1", kOpener).replace("%2", juce::String(status));
}

// Starts program on document with its standard streams on /dev/null; the
// child's id, or -1 with errno's text in error.
pid_t Spawn(const juce::String& program, const juce::File& document, juce::String& error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string path = program.toStdString();
    const std::string name = kOpener;
    const std::string argument = document.getFullPathName().toStdString();
    char* argv[] = {const_cast<char*>(name.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    pid_t pid = -1;
    const int result = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
    {
        error = std::strerror(result);
        return -1;
    }
    return pid;
}

// Waits for the child on a thread of its own until it ends, then tells the
// state; a failure after the caller stopped waiting goes to lateFailure.
void Reap(pid_t pid, std::shared_ptr<ChildState> state, std::function<void(const juce::String&)> lateFailure)
{
    std::thread(
        [pid, state, lateFailure = std::move(lateFailure)]
        {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR)
            {
            }
            bool late = false;
            {
                const std::lock_guard<std::mutex> lock(state->mutex);
                state->done = true;
                state->status = status;
                late = state->late;
            }
            state->ended.notify_all();
            if (!late || !lateFailure)
                return;
            const juce::String failure = FailureOf(status);
            if (failure.isNotEmpty())
                juce::MessageManager::callAsync([lateFailure, failure] { lateFailure(failure); });
        })
        .detach();
}
} // namespace

juce::String findProgramInPath(const juce::String& program)
{
    const char* path = std::getenv("PATH");
    juce::StringArray folders;
    folders.addTokens(path != nullptr ? juce::String(path) : juce::String(), ":", "");
    for (const auto& folder : folders)
    {
        if (!juce::File::isAbsolutePath(folder))
            continue;
        const juce::File candidate = juce::File(folder).getChildFile(program);
        const std::string file = candidate.getFullPathName().toStdString();
        if (candidate.existsAsFile() && ::access(file.c_str(), X_OK) == 0)
            return candidate.getFullPathName();
    }
    return {};
}

juce::String runDesktopOpener(const juce::File& document, int waitMs,
                              std::function<void(const juce::String&)> lateFailure)
{
    const juce::String program = findProgramInPath(kOpener);
    if (program.isEmpty())
        return Text("Other_OpenerNotFound").replace("%1", kOpener);
    juce::String error;
    const pid_t pid = Spawn(program, document, error);
    if (pid < 0)
        return Text("Other_OpenerNotStarted").replace("%1", kOpener).replace("%2", error);

    auto state = std::make_shared<ChildState>();
    Reap(pid, state, std::move(lateFailure));
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->ended.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return state->done; }))
    {
        state->late = true;
        return {};
    }
    return FailureOf(state->status);
}
} // namespace Vextal
