#pragma once

// What the tests of the export parameter sets share: the framework, the
// English texts, a preferences store on a scratch file, and a listener that
// records the sets' notices.

#include "library/vextal_juce/CZJEResource.h"
#include "library/zad/CZadPreferences.h"
#include "src/songlist/Output/ExportParameter/ExportParameter.h"
#include "tests/common/file/RiffTestFiles.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace paramtest
{
// Records "changed <index>" and "flash <index>" notices.
class Recorder : public Vextal::ExportParameterListener
{
public:
    void exportParameterChanged(Vextal::ExportParameter*, int index) override
    {
        notices.push_back("changed " + std::to_string(index));
    }
    void exportBoundComponentChangedInternally(Vextal::ExportParameter*, int index,
                                               juce::Component* c) override
    {
        notices.push_back("flash " + std::to_string(index));
        components.push_back(c);
    }
    int Count(const std::string& notice) const
    {
        return static_cast<int>(std::count(notices.begin(), notices.end(), notice));
    }
    std::vector<std::string> notices;
    std::vector<juce::Component*> components;
};

class ParameterTest : public testing::Test
{
protected:
    ParameterTest()
    {
        CZJEResource::CreateInstance();
        m_store.OpenFile(juce::File(juce::String((m_folder / "settings.xml").string())));
    }
    ~ParameterTest() override { CZJEResource::DestroyInstance(); }

    juce::String Folder(const std::string& name) const
    {
        const juce::File folder(juce::String((m_folder / name).string()));
        folder.createDirectory();
        return folder.getFullPathName();
    }

    juce::ScopedJuceInitialiser_GUI m_gui;
    uitest::ScopedLanguage m_english{"en"};
    rifftest::TempFolder m_folder;
    CZadPreferences m_store;
};
} // namespace paramtest
