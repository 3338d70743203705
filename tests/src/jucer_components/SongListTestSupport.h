#pragma once

// The song list panel under test: the host of HostTest with songs, the undo
// stack and the host as the application's singletons, and the panel in a
// window where the main content puts it.

#include "src/jucer_components/CVXLayerList.h"
#include "src/jucer_components/CVXListBox.h"
#include "src/jucer_components/CVXListItem.h"
#include "src/songlist/CommandManager.h"
#include "tests/src/jucer_components/PlayerPanelTestSupport.h"
#include "tests/support/ScopedSingletonInstance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace songlistpanel
{
class SongListTest : public paneltest::PanelTest
{
protected:
    static constexpr int kPanelX = 43;
    static constexpr int kPanelY = 99;
    static constexpr int kPanelHeight = 533 - 99 - 12;

    explicit SongListTest(const char* language = "en") : PanelTest(language) {}

    void SetUp() override
    {
        PanelTest::SetUp();
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
        m_scopedCommands =
            std::make_unique<ScopedSingletonInstance<Vextal::CommandManager>>(m_commands.get());
        m_scopedHost = std::make_unique<ScopedSingletonInstance<CVXHost>>(m_host.get());
    }
    void TearDown() override
    {
        m_window.removeFromDesktop();
        m_panel.reset();
        m_scopedHost.reset();
        m_scopedCommands.reset();
        m_commands.reset();
        PanelTest::TearDown();
    }

    // The panel in a window of the main window's size, at its place there.
    void ShowPanel()
    {
        m_panel = std::make_unique<CVXLayerList>(m_host.get(), *m_commands);
        m_panel->setBounds(kPanelX, kPanelY, m_panel->getWidth(), kPanelHeight);
        m_window.setBounds(60, 60, 699, 533);
        m_window.addAndMakeVisible(*m_panel);
        m_window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        m_window.setVisible(true);
        uitest::Pump(30);
    }

    CVXListBox& List() { return m_panel->GetListBox(); }
    // The row component of a visible row (fails the test when there is none).
    CVXListItem& Row(int row)
    {
        CVXListItem* item = List().GetItem(row);
        EXPECT_NE(item, nullptr) << "row " << row;
        return *item;
    }
    // The centre of a row's label in window coordinates.
    juce::Point<int> At(int row, int label = CVXListItem::kNumberLabel)
    {
        auto& l = Row(row).GetLabel(label);
        return m_window.getLocalPoint(&l, l.getLocalBounds().getCentre());
    }
    // A point in window coordinates of a panel component.
    juce::Point<int> At(juce::Component& c)
    {
        return m_window.getLocalPoint(&c, c.getLocalBounds().getCentre());
    }

    // The mouse as the window gets it: press, move with the button held,
    // release. The keys held are the framework's current modifiers, which
    // the keyboard's events set.
    void Press(juce::Point<int> p, juce::ModifierKeys keys = {})
    {
        MouseWithKeys(p, keys.withFlags(juce::ModifierKeys::leftButtonModifier));
    }
    void DragTo(juce::Point<int> p, juce::ModifierKeys keys = {})
    {
        MouseWithKeys(p, keys.withFlags(juce::ModifierKeys::leftButtonModifier));
    }
    void Release(juce::Point<int> p, juce::ModifierKeys keys = {}) { MouseWithKeys(p, keys); }
    void MouseWithKeys(juce::Point<int> p, juce::ModifierKeys mods)
    {
        juce::ModifierKeys::currentModifiers = mods.withoutMouseButtons();
        uitest::MouseAt(m_window, p, mods);
        juce::ModifierKeys::currentModifiers = juce::ModifierKeys();
        uitest::Pump(5);
    }
    // A click, then a pause long enough that the next click is not a
    // double click.
    void ClickAt(juce::Point<int> p, juce::ModifierKeys keys = {})
    {
        Press(p, keys);
        Release(p, keys);
        uitest::Pump(450);
    }

    std::string Names() const
    {
        std::string s;
        for (int i = 0; i < m_host->GetNumSongs(); ++i)
            s += (s.empty() ? "" : " ") +
                 m_host->GetSong(i)->getText(Vextal::TrackInfo::kSongName).toStdString();
        return s;
    }
    float Control(int song, int id) const { return m_host->GetSong(song)->getControlFloat(id); }

    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::unique_ptr<ScopedSingletonInstance<Vextal::CommandManager>> m_scopedCommands;
    std::unique_ptr<ScopedSingletonInstance<CVXHost>> m_scopedHost;
    juce::Component m_window;
    std::unique_ptr<CVXLayerList> m_panel;
};
} // namespace songlistpanel
