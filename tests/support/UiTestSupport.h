#pragma once

// Helpers for the tests of the windows and views: the folder where drawn
// windows are saved as PNG files, a check that a drawing shows something, and
// scoped settings of the resource folder and the user's language.

#include "library/vextal_juce/linux/CZJEResourceFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace uitest
{
// "output" beside the test program, created on first use. Tests that draw a
// window or dialog save it here so that a reader can look at it.
inline juce::File OutputFolder()
{
    const juce::File folder =
        juce::File::getSpecialLocation(juce::File::currentExecutableFile).getSiblingFile("output");
    folder.createDirectory();
    return folder;
}

// Writes image as OutputFolder()/<name>.png; returns the file.
inline juce::File SavePng(const juce::Image& image, const juce::String& name)
{
    const juce::File file = OutputFolder().getChildFile(name + ".png");
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat().writeImageToStream(image, out);
    return file;
}

// The number of distinct colours in image, counted up to limit.
inline int CountColours(const juce::Image& image, int limit = 16)
{
    juce::Array<juce::uint32> seen;
    const juce::Image::BitmapData data(image, juce::Image::BitmapData::readOnly);
    for (int y = 0; y < data.height; ++y)
    {
        for (int x = 0; x < data.width; ++x)
        {
            seen.addIfNotAlreadyThere(data.getPixelColour(x, y).getARGB());
            if (seen.size() >= limit)
                return seen.size();
        }
    }
    return seen.size();
}

// A drawing that shows something: valid, not empty and not one flat colour.
inline bool IsDrawn(const juce::Image& image)
{
    return image.isValid() && image.getWidth() > 0 && image.getHeight() > 0 && CountColours(image, 3) >= 3;
}

// Sets an environment variable for the life of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const juce::String& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.toRawUTF8(), 1);
    }
    ~ScopedEnvironment()
    {
        if (m_old.has_value())
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// The user's preferred language for the life of the object: LANGUAGE, which
// the language lookup reads first.
class ScopedLanguage : public ScopedEnvironment
{
public:
    explicit ScopedLanguage(const juce::String& language) : ScopedEnvironment("LANGUAGE", language) {}
};

// The resource folder the default lookup uses, for the life of the object.
class ScopedResourceRoot
{
public:
    explicit ScopedResourceRoot(const juce::File& root) { CZJEResourceFolder::SetDefaultRoot(root); }
    ~ScopedResourceRoot() { CZJEResourceFolder::SetDefaultRoot(juce::File()); }
    ScopedResourceRoot(const ScopedResourceRoot&) = delete;
    ScopedResourceRoot& operator=(const ScopedResourceRoot&) = delete;
};

// Runs the message loop for about ms milliseconds.
inline void Pump(int ms)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil(ms);
}

// Runs the message loop until done() is true or timeoutMs passes; returns
// done().
template <typename Predicate>
bool PumpUntil(Predicate done, int timeoutMs = 5000)
{
    const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32>(timeoutMs);
    while (!done() && juce::Time::getMillisecondCounter() < end)
        Pump(10);
    return done();
}

// Runs the message loop until everything posted before the call has been
// handled (messages run in the order posted); false if that took longer
// than timeoutMs.
inline bool Drain(int timeoutMs = 5000)
{
    bool ran = false;
    juce::MessageManager::callAsync([&ran] { ran = true; });
    return PumpUntil([&ran] { return ran; }, timeoutMs);
}
} // namespace uitest
