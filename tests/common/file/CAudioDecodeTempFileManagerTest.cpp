#include "common/file/CAudioDecodeTempFileManager.h"

#include "common/file/CAudioFileReadBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{
// A reader that reads nothing, reports itself busy on request and counts its
// destruction.
class FakeReader : public CAudioFileReadBase
{
public:
    explicit FakeReader(std::atomic<int>& destroyed, bool busy = false) : m_destroyed(destroyed), m_busy(busy)
    {
    }
    ~FakeReader() override { ++m_destroyed; }

    int OpenFile(const wchar_t*) override { return kAudioFileCannotOpen; }
    void CloseFile() override {}
    const char* GetFormatUniqueID() override { return "FAKE"; }
    void ExtractData(int64_t, int64_t) override {}
    int64_t GetAbsStartSample() override { return 0; }
    uint32_t GetSampleRate() override { return 44100; }
    uint16_t GetBitsPerSample() override { return 16; }
    uint16_t GetNumChannels() override { return 2; }
    int64_t GetNumSamples() override { return 0; }
    int64_t GetCurSamplePosition() override { return 0; }
    void SetCurSamplePosition(int64_t) override {}
    bool IsProcessingInternally() override { return m_busy; }

private:
    std::atomic<int>& m_destroyed;
    bool m_busy;
};

// Makes sure no instance outlives a test.
class CAudioDecodeTempFileManagerTest : public ::testing::Test
{
protected:
    void TearDown() override { CAudioDecodeTempFileManager::DestroyInstance(); }
};
} // namespace

TEST_F(CAudioDecodeTempFileManagerTest, NextTempFilePathCountsUpInTheFolder)
{
    CAudioDecodeTempFileManager* manager = CAudioDecodeTempFileManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(CAudioDecodeTempFileManager::GetInstance(), manager);
    EXPECT_TRUE(manager->IsThreadRunning());

    manager->SetTempDirectoryPath(L"/tmp");
    EXPECT_EQ(manager->GetNextTempFilePath(), L"/tmp/VextalTempFile.000.tmp");
    manager->SetTempDirectoryPath(L"/tmp");
    EXPECT_EQ(manager->GetNextTempFilePath(), L"/tmp/VextalTempFile.001.tmp");
    manager->SetTempDirectoryPath(L"/var/tmp/");
    EXPECT_EQ(manager->GetNextTempFilePath(), L"/var/tmp/VextalTempFile.002.tmp");
}

TEST_F(CAudioDecodeTempFileManagerTest, CounterGoesPastThreeDigitsWithoutRepeating)
{
    CAudioDecodeTempFileManager* manager = CAudioDecodeTempFileManager::GetInstance();
    for (int i = 0; i < 1000; ++i)
        manager->SetTempDirectoryPath(L"/tmp");
    EXPECT_EQ(manager->GetNextTempFilePath(), L"/tmp/VextalTempFile.999.tmp");
    manager->SetTempDirectoryPath(L"/tmp");
    EXPECT_EQ(manager->GetNextTempFilePath(), L"/tmp/VextalTempFile.1000.tmp");
    EXPECT_TRUE(CAudioDecodeTempFileManager::IsTempFileName("VextalTempFile.1000.tmp"));
}

TEST_F(CAudioDecodeTempFileManagerTest, HandedOverReadersLiveUntilDestroyInstanceAndBusyOnesAreNotDeleted)
{
    std::atomic<int> idleDestroyed{0};
    std::atomic<int> busyDestroyed{0};
    auto* busy = new FakeReader(busyDestroyed, true);

    CAudioDecodeTempFileManager* manager = CAudioDecodeTempFileManager::GetInstance();
    manager->Delete(new FakeReader(idleDestroyed));
    manager->Delete(busy);
    manager->Delete(new FakeReader(idleDestroyed));
    manager->Delete(nullptr);

    // The worker idles over several rounds without touching the readers.
    CThread::Sleep(600);
    EXPECT_EQ(idleDestroyed.load(), 0);

    CAudioDecodeTempFileManager::DestroyInstance();
    EXPECT_EQ(idleDestroyed.load(), 2);
    EXPECT_EQ(busyDestroyed.load(), 0);

    // The manager has let go of the busy reader; its owner's work ends it.
    delete busy;
    EXPECT_EQ(busyDestroyed.load(), 1);
}

TEST_F(CAudioDecodeTempFileManagerTest, DeleteFromManyThreadsLosesNoReader)
{
    std::atomic<int> destroyed{0};
    CAudioDecodeTempFileManager* manager = CAudioDecodeTempFileManager::GetInstance();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back(
            [&]
            {
                for (int i = 0; i < 250; ++i)
                    manager->Delete(new FakeReader(destroyed));
            });
    }
    for (auto& thread : threads)
        thread.join();

    CAudioDecodeTempFileManager::DestroyInstance();
    EXPECT_EQ(destroyed.load(), 1000);
}

TEST_F(CAudioDecodeTempFileManagerTest, DestroyInstanceReturnsPromptlyAndRemovesMadeFiles)
{
    const juce::File folder = juce::File::createTempFile("vextal-tempmanager");
    ASSERT_TRUE(folder.createDirectory());
    const juce::File made = folder.getChildFile("VextalTempFile.000.tmp");
    ASSERT_TRUE(made.replaceWithText("decoded"));

    CAudioDecodeTempFileManager* manager = CAudioDecodeTempFileManager::GetInstance();
    manager->AddMadeFile(L"/music/song.m4a", made.getFullPathName().toWideCharPointer());
    manager->AddMadeFile(L"/music/gone.m4a",
                         folder.getChildFile("VextalTempFile.001.tmp").getFullPathName().toWideCharPointer());
    // Let the worker enter its idle sleep.
    CThread::Sleep(50);

    const auto start = std::chrono::steady_clock::now();
    CAudioDecodeTempFileManager::DestroyInstance();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(made.exists());

    // Destroying again without an instance does nothing; a new instance
    // starts counting afresh.
    CAudioDecodeTempFileManager::DestroyInstance();
    CAudioDecodeTempFileManager::GetInstance()->SetTempDirectoryPath(L"/tmp");
    EXPECT_EQ(CAudioDecodeTempFileManager::GetInstance()->GetNextTempFilePath(),
              L"/tmp/VextalTempFile.000.tmp");

    folder.deleteRecursively();
}

TEST(CAudioDecodeTempFileManager, RecognisesTemporaryNames)
{
    struct Case
    {
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"VextalTempFile.7.tmp", true},        {"VextalTempFile.000.tmp", true},
        {"VextalTempFile.123456.tmp", true},   {"VextalTempFile.abc.tmp", false},
        {"VextalTempFile..tmp", false},        {"VextalTempFile.12a.tmp", false},
        {"VextalTempFile.001.tmp.bak", false}, {"vextaltempfile.001.tmp", false},
        {"XVextalTempFile.001.tmp", false},    {"VextalTempFile.001.TMP", false},
        {"VextalTempFile.tmp", false},         {"VextalTempFile.-1.tmp", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CAudioDecodeTempFileManager::IsTempFileName(c.name), c.expected) << c.name;
}

TEST(CAudioDecodeTempFileManager, LeftoverCleanUpDeletesOnlyTemporaryFilesDirectlyInTheFolder)
{
    const juce::File folder = juce::File::createTempFile("vextal-leftovers");
    ASSERT_TRUE(folder.createDirectory());
    const char* removed[] = {"VextalTempFile.7.tmp", "VextalTempFile.000.tmp", "VextalTempFile.123456.tmp"};
    const char* kept[] = {"VextalTempFile.abc.tmp", "VextalTempFile..tmp", "song.wav",
                          "VextalTempFile.001.tmp.keep"};
    for (const char* name : removed)
        ASSERT_TRUE(folder.getChildFile(name).replaceWithText("x"));
    for (const char* name : kept)
        ASSERT_TRUE(folder.getChildFile(name).replaceWithText("x"));
    // A folder of a temporary name and a file in a subfolder are left alone.
    ASSERT_TRUE(folder.getChildFile("VextalTempFile.002.tmp").createDirectory());
    ASSERT_TRUE(folder.getChildFile("sub").getChildFile("VextalTempFile.003.tmp").create());

    EXPECT_EQ(CAudioDecodeTempFileManager::RemoveLeftoverTempFiles(folder), 3);
    for (const char* name : removed)
        EXPECT_FALSE(folder.getChildFile(name).exists()) << name;
    for (const char* name : kept)
        EXPECT_TRUE(folder.getChildFile(name).existsAsFile()) << name;
    EXPECT_TRUE(folder.getChildFile("VextalTempFile.002.tmp").isDirectory());
    EXPECT_TRUE(folder.getChildFile("sub").getChildFile("VextalTempFile.003.tmp").existsAsFile());

    EXPECT_EQ(CAudioDecodeTempFileManager::RemoveLeftoverTempFiles(folder.getChildFile("missing")), 0);
    folder.deleteRecursively();
}
