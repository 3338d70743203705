#pragma once

#include <juce_core/juce_core.h>
#include <juce_data_structures/juce_data_structures.h>

#include <memory>
#include <optional>

// A per-user store of integers and strings by key, kept in one XML settings file
// per application: "<config>/Vextal/<appId>.settings", where <config> is
// $XDG_CONFIG_HOME or ~/.config. Changes stay in memory until Synchronize,
// Close or destruction, which replace the file atomically (CAtomicFileWriter:
// the file keeps its permission bits). A missing, corrupt or unreadable file
// (CZJEXmlReader) reads as empty; the next write replaces it.
//
// Keys are texts (UTF-8); a null, empty or ill-formed key reads as absent and
// is never written. Integers are stored as decimal text.
//
// No lock: the store is used from the message thread.
class CZadPreferences
{
public:
    CZadPreferences();
    virtual ~CZadPreferences();

    CZadPreferences(const CZadPreferences&) = delete;
    CZadPreferences& operator=(const CZadPreferences&) = delete;

    // Opens the settings file of the application appId in the per-user
    // configuration folder (the folder is created when something is first
    // written). appId must be a plain file name. An open store is closed first.
    bool Open(const char* appId);
    // Opens the store on an explicit file.
    bool OpenFile(const juce::File& file);
    bool IsOpen() const { return m_properties != nullptr; }

    // The stored value of key when it is a decimal 32-bit integer (an optional
    // sign followed by digits only); defaultValue otherwise or when not open.
    int ReadInteger(const char* key, int defaultValue) const;
    // A copy of the stored text of key; nothing when not open or absent.
    std::optional<juce::String> ReadString(const char* key) const;

    // Writes are dropped when the store is not open.
    void WriteInteger(const char* key, int value);
    // The store takes over value.
    void WriteString(const char* key, juce::String value);

    // Writes pending changes to the file (a temporary file renamed over it).
    // True when nothing is pending afterwards; false when the store is not open
    // or the file could not be written (the changes then stay pending).
    bool Synchronize();
    // Synchronizes and closes; the store is not open afterwards. Returns the
    // result of the synchronization (true when the store was not open).
    bool Close();

    // The settings file that Open(appId) uses; File() when appId is not a
    // plain file name or no configuration folder can be found.
    static juce::File GetSettingsFile(const char* appId);
    // "$XDG_CONFIG_HOME/Vextal", or "~/.config/Vextal" when XDG_CONFIG_HOME is
    // unset, empty or not an absolute path.
    static juce::File GetSettingsFolder();
    // Removes from the settings folder the temporary files of writers that
    // were killed: those of CAtomicFileWriter whose process is gone, and the
    // "NAME_temp<hex>.settings" files earlier versions could leave. Called at
    // start-up; returns how many were removed.
    static int RemoveStaleTemporaries();

private:
    // The values, read from m_file when it held a readable settings document.
    std::unique_ptr<juce::PropertiesFile> m_properties;
    // The settings file that Synchronize writes.
    juce::File m_file;
};
