#include "src/jucer_components/DiscDrivePoller.h"

#include "common/disc/CAudioDiscBurnBase.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using Vextal::DiscDrivePoller;
using Observation = DiscDrivePoller::Observation;

namespace
{
Observation Seen(const char* text, int discType)
{
    Observation seen;
    seen.stateText = text;
    seen.discType = discType;
    return seen;
}

// A watcher over no burner whose looks are let through one at a time by the
// test and answer from a script (its last entry once it has run out); what
// the watcher hands over is collected on the message thread.
class DiscDrivePollerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_poller = std::make_unique<DiscDrivePoller>(
            [] { return static_cast<CAudioDiscBurnBase*>(nullptr); },
            [this](CAudioDiscBurnBase*) { return look(); },
            [this](const Observation& seen) { m_handedOver.push_back(seen); }, 1);
    }
    void TearDown() override
    {
        openGate();
        m_poller->stop();
    }

    Observation look()
    {
        const int n = m_entered++;
        std::unique_lock<std::mutex> lock(m_lock);
        m_gate.wait(lock, [this] { return m_allowed > 0; });
        --m_allowed;
        return m_script[std::min(static_cast<size_t>(n), m_script.size() - 1)];
    }
    void allowOneLook()
    {
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            ++m_allowed;
        }
        m_gate.notify_all();
    }
    void openGate()
    {
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_allowed = 1 << 30;
        }
        m_gate.notify_all();
    }
    // Lets one look through and waits until the watcher has handed over
    // whatever that look found: it has entered its next look by then.
    void runOneLook()
    {
        const int next = m_entered.load() + 1;
        allowOneLook();
        ASSERT_TRUE(uitest::PumpUntil([&] { return m_entered.load() >= next; }));
        ASSERT_TRUE(uitest::Drain());
    }

    // The message thread the watcher hands over to.
    juce::ScopedJuceInitialiser_GUI m_gui;
    std::vector<Observation> m_script;
    std::vector<Observation> m_handedOver;
    std::atomic<int> m_entered{0};
    std::mutex m_lock;
    std::condition_variable m_gate;
    int m_allowed = 0;
    std::unique_ptr<DiscDrivePoller> m_poller;
};

// Only a look that differs from the last one is handed over (the first look
// always is, also after a restart), on the message thread; nothing arrives
// after stop.
TEST_F(DiscDrivePollerTest, HandsOverWhatChanged)
{
    const Observation blank = Seen("CD-R (blank)", kDiscTypeCDR);
    Observation slower = blank;
    slower.writeSpeedsKbps = {1764};
    const Observation none = Seen("No disc", kDiscTypeNone);
    m_script = {blank, blank, slower, slower, none, none};
    const std::vector<std::vector<Observation>> expected = {
        {blank}, {blank}, {blank, slower}, {blank, slower}, {blank, slower, none}, {blank, slower, none}};

    EXPECT_FALSE(m_poller->isPolling());
    m_poller->start();
    EXPECT_TRUE(m_poller->isPolling());
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_entered.load() == 1; }));
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE(i);
        runOneLook();
        EXPECT_EQ(m_handedOver, expected[i]);
    }

    openGate();
    m_poller->stop();
    EXPECT_FALSE(m_poller->isPolling());
    const size_t handedOver = m_handedOver.size();
    ASSERT_TRUE(uitest::Drain());
    EXPECT_EQ(m_handedOver.size(), handedOver);

    // A restarted watcher hands over its first look, though nothing changed.
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_allowed = 0;
    }
    m_handedOver.clear();
    const int entered = m_entered.load();
    m_poller->start();
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_entered.load() == entered + 1; }));
    runOneLook();
    EXPECT_EQ(m_handedOver, std::vector<Observation>{none});
}

// A change the watcher found but the message thread has not taken yet is
// dropped by stop: once stop has returned the sheet hears nothing more.
TEST_F(DiscDrivePollerTest, StopDropsAChangeNotYetHandedOver)
{
    m_script = {Seen("CD-R (blank)", kDiscTypeCDR)};
    m_poller->start();
    allowOneLook();
    // Without running the message loop: the change is posted once the
    // watcher has gone on to its next look. (The deadline only ends a
    // watcher that never gets there.)
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (m_entered.load() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(m_entered.load(), 2);
    openGate();
    m_poller->stop();
    ASSERT_TRUE(uitest::Drain());
    EXPECT_TRUE(m_handedOver.empty());
}
} // namespace
