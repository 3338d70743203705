#pragma once

// The singletons the windows need, made as the application makes them at
// start-up, for one interface language: the image resources (with the
// localized texts) and the look, which becomes the framework's default.

#include "src/CVXLookAndFeel.h"
#include "src/Resource/CVXResourceManager.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace uitest
{
class ScopedInterface
{
public:
    explicit ScopedInterface(const juce::String& language) : m_language(language)
    {
        CZJESingleton<CVXResourceManager>::CreateInstance();
        m_look = CZJESingleton<CVXLookAndFeel>::CreateInstance();
        juce::LookAndFeel::setDefaultLookAndFeel(m_look);
    }
    ~ScopedInterface()
    {
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        CZJESingleton<CVXLookAndFeel>::DestroyInstance();
        CZJESingleton<CVXResourceManager>::DestroyInstance();
        juce::LocalisedStrings::setCurrentMappings(nullptr);
    }
    ScopedInterface(const ScopedInterface&) = delete;
    ScopedInterface& operator=(const ScopedInterface&) = delete;

    CVXLookAndFeel& look() { return *m_look; }

private:
    ScopedLanguage m_language;
    CVXLookAndFeel* m_look;
};

// The interface languages the drawn windows are saved in.
inline const char* const kInterfaceLanguages[] = {"en", "ja"};
} // namespace uitest
