#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Vextal
{
// One running application per user: the first launch holds a lock and
// listens on a local socket; a later launch hands its arguments to it over
// that socket and ends.
//
// Both live in a folder only the user may enter (defaultFolder): the lock
// file "<name>.lock", held with flock() for the life of the first instance
// (the system releases it when the process ends, however it ends), and the
// socket "<name>.socket". A launch that takes the lock is the first instance;
// a socket left by an instance that was killed is replaced. A launch that
// finds the lock held connects and sends its working folder and its
// arguments as a list of texts (never joined into one line and split again),
// waits for the acknowledgement, confirms it and reports kHandedOver. While
// the first instance is still starting (lock held, nobody listening yet) it
// tries again until its time-out. The first instance takes the arguments only
// once confirmed, so a launch that reported failure (the instance did not
// answer in time: it was stopped or busy) never has them taken later, and
// trying again adds nothing twice.
//
// Message: "VXHO", a 32-bit count, then per text a 32-bit length and its
// UTF-8 bytes (little-endian numbers); the working folder is the first text.
// At most kMaxTexts texts of at most kMaxTextBytes bytes each; anything else,
// or a peer of another user, is dropped unanswered. Answer: one byte 0x06;
// confirmation from the launch: one byte 0x06.
//
// Threads. start and the destructor belong to the thread that owns the
// object. The first instance runs a listener thread that receives hand-overs,
// queues them and calls the notice given to setReceiver (on the listener
// thread); takeHandOvers empties the queue from any thread. The destructor
// stops the listener cooperatively (a wake-up descriptor) and joins it.
class SingleInstance
{
public:
    static constexpr int kMaxTexts = 4096;
    static constexpr int kMaxTextBytes = 64 * 1024;
    // How long a connection may take to deliver its message.
    static constexpr int kReceiveTimeoutMs = 5000;

    struct HandOver
    {
        juce::String workingDirectory;
        juce::StringArray arguments;
    };

    enum class Result
    {
        // This process holds the lock (and listens when it could).
        kFirstInstance,
        // The running instance took the arguments.
        kHandedOver,
        // Neither within the time-out, or no usable folder.
        kFailed
    };

    // The folder of the lock and the socket: $XDG_RUNTIME_DIR when it names
    // a folder of this user's that nobody else may enter; otherwise
    // "vextal-<uid>" in the temporary folder ($TMPDIR, else /tmp), made with
    // mode 0700 and refused (File()) when it exists as anything but such a
    // folder.
    static juce::File defaultFolder();

    explicit SingleInstance(const juce::File& folder, const juce::String& name = "Vextal");
    ~SingleInstance();

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Becomes the first instance or hands the arguments to it (see above).
    Result start(const juce::StringArray& arguments, const juce::String& workingDirectory, int timeoutMs);

    // The first instance's notice of a queued hand-over; called on the
    // listener thread under the queue's lock, so it must be quick and must
    // not call back into this object.
    void setReceiver(std::function<void()> notice);
    // The hand-overs received so far, oldest first; the queue is emptied.
    std::vector<HandOver> takeHandOvers();
    bool isListening() const { return m_listenFd >= 0; }

    juce::File getSocketFile() const;
    juce::File getLockFile() const;

private:
    bool tryLock();
    bool listen();
    void run();
    void receive(int connection);

    const juce::File m_folder;
    const juce::String m_name;
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::thread m_listener;
    std::mutex m_lock;
    std::vector<HandOver> m_received;
    std::function<void()> m_notice;
};
} // namespace Vextal
