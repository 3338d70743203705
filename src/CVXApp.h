#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

class CVXHost;
class CVXMainWindow;
class CZadPreferences;

namespace Vextal
{
class SingleInstance;
}

// The application object: creates every process-wide singleton, the host and
// the main window in a fixed order, hands the command line to the songlist,
// offers to restore the songlist of a run that did not end normally, and
// releases everything in a fixed order at the end.
//
// Crash check. The preference "AppHasNormallyQuit" is 0 while the
// application runs and 1 after a normal shutdown. It is read right after the
// preferences are made, before the host copies the backup songlist onto the
// last songlist. After an abnormal end nothing may write the backup until the
// user has answered the restore question, so that a run that ends abnormally
// again before the answer leaves the same songlist to restore: the question
// comes before the command line is handled and before any hand-over of a
// second launch.
//
// One instance per user: the entry point (Main.cpp) takes the single-instance
// lock before the framework starts (SingleInstanceLinux.h); a later launch
// hands its arguments over as a list and ends. The framework's own
// mechanism stays off (more than one instance "allowed"): on Linux it would
// be machine-wide and delivers nothing. A hand-over is handled on the
// message thread once the application is idle: no modal loop (a dialog, the
// add-songs progress window), no export and no add-songs thread running.
//
// Threads. Everything runs on the message thread; the single-instance
// listener only triggers an asynchronous update.
class CVXApp : public juce::JUCEApplication, private juce::AsyncUpdater, private juce::Timer
{
public:
    static constexpr const char* kNormallyQuitKey = "AppHasNormallyQuit";
    // How often a hand-over waiting for the application to become idle is
    // tried again.
    static constexpr int kHandOverRetryMs = 250;

    CVXApp();
    ~CVXApp() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;

    void initialise(const juce::String& commandLine) override;
    void shutdown() override;
    void systemRequestedQuit() override;
    void anotherInstanceStarted(const juce::String& commandLine) override;

    // The command line as one text: split into tokens (see
    // splitCommandLine), then handled as handleCommandLine does.
    void parseCommandLine(const juce::String& commandLine);
    // The command line as a list: a first token starting with "-psn" and
    // empty tokens are dropped; relative paths are taken from
    // workingDirectory. Exactly one path ending in ".vxsl" (any letter case)
    // opens that songlist (asking first to save a modified one); any other
    // paths are added as songs, as if dropped on the main window.
    void handleCommandLine(const juce::StringArray& tokens, const juce::String& workingDirectory);

    // Splits a command line at white space, keeping double-quoted runs
    // together; drops a first token starting with "-psn" and empty tokens,
    // and takes the quotes off tokens that begin and end with one.
    static juce::StringArray splitCommandLine(const juce::String& commandLine);
    // What a list of tokens asks for: the songlist to open (one path) or the
    // paths to add; both empty for nothing. Tokens are cleaned as above and
    // made full paths against workingDirectory.
    struct CommandLineRequest
    {
        juce::String songlistToOpen;
        juce::StringArray pathsToAdd;
    };
    static CommandLineRequest interpretCommandLine(juce::StringArray tokens,
                                                   const juce::String& workingDirectory);

    // The crash flag: true when the previous run did not reach its shutdown
    // (the stored value is 0). A run that found a clean end writes 0 and
    // synchronizes at once.
    static bool checkPreviousRunCrashed(CZadPreferences& preferences);
    // After an abnormal end: removes the temporary decode files of the
    // remembered temporary folders (files directly inside only) and the
    // left-over disc-image folders, asks whether to restore, and restores
    // the last songlist on yes. True when the songlist was restored.
    static bool recoverAfterCrash(CVXHost& host, const juce::Array<juce::File>& temporaryFolders);

    // The instance the entry point holds; the hand-overs it receives reach
    // handleCommandLine. Set before the framework starts.
    static void setSingleInstance(Vextal::SingleInstance* instance);

    // Whether a hand-over may be handled now.
    bool isIdle() const;

private:
    void handleAsyncUpdate() override;
    void timerCallback() override;
    void handlePendingHandOvers();

    CVXHost* m_host = nullptr;
    std::unique_ptr<CVXMainWindow> m_pMainWindow;
    bool m_previousRunCrashed = false;
    struct PendingHandOver
    {
        juce::String workingDirectory;
        juce::StringArray arguments;
    };
    std::vector<PendingHandOver> m_pendingHandOvers;
};
