#include "src/CVXApp.h"

#include "src/CVXMainWindow.h"

#include "library/zad/CZadPreferences.h"

CVXApp::CVXApp() = default;
CVXApp::~CVXApp() = default;

const juce::String CVXApp::getApplicationName()
{
    return JUCE_APPLICATION_NAME_STRING;
}

const juce::String CVXApp::getApplicationVersion()
{
    return JUCE_APPLICATION_VERSION_STRING;
}

bool CVXApp::moreThanOneInstanceAllowed()
{
    return true;
}

void CVXApp::initialise(const juce::String&)
{
    // Temporary files of writers that were killed. Folders of exported files
    // are cleaned whenever a file is next written there.
    CZadPreferences::RemoveStaleTemporaries();
    m_pMainWindow = std::make_unique<CVXMainWindow>(getApplicationName());
    m_pMainWindow->setVisible(true);
}

void CVXApp::shutdown()
{
    m_pMainWindow.reset();
}

void CVXApp::systemRequestedQuit()
{
    quit();
}

void CVXApp::anotherInstanceStarted(const juce::String&) {}
