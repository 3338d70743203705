// The application as whole processes: crash recovery after a kill, and a
// second launch handing its paths to the running instance. Each test gives
// its processes settings, data and runtime folders of their own.

#include "src/songlist/SonglistFile.h"

#include "library/vextal_juce/common/CZJEXmlReader.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace
{
using Clock = std::chrono::steady_clock;
using vxtest::ChildProcess;

class AppProcessTest : public testing::Test
{
protected:
    AppProcessTest()
    {
        for (const char* sub : {"config", "data", "run", "music"})
            std::filesystem::create_directories(m_folder / sub);
        ::chmod((m_folder / "run").c_str(), 0700);
        m_environment = {{"XDG_CONFIG_HOME", (m_folder / "config").string()},
                         {"XDG_DATA_HOME", (m_folder / "data").string()},
                         {"XDG_RUNTIME_DIR", (m_folder / "run").string()},
                         {"LANGUAGE", "en"}};
    }

    std::string Music(const std::string& name)
    {
        const auto path = m_folder / "music" / name;
        EXPECT_TRUE(songlisttest::WriteRampFile(path, "wav", 441, 44100, 2, 1));
        return path.string();
    }
    juce::File Backup() const { return juce::File((m_folder / "data/Vextal/VextalBackup.vxsl").string()); }

    // The lines of a report run: the questions asked and the songs.
    std::pair<std::string, std::string> Report()
    {
        std::map<std::string, std::string> environment = m_environment;
        environment["VEXTAL_CHILD_MODE"] = "report";
        ChildProcess report({VEXTAL_APP_CHILD}, environment);
        std::string boxes, songs;
        for (std::string line = report.ReadLine(60000); !line.empty(); line = report.ReadLine(60000))
        {
            if (line.rfind("boxes ", 0) == 0)
                boxes = line.substr(6);
            else if (line.rfind("songs ", 0) == 0)
                songs = line.substr(6);
        }
        EXPECT_EQ(report.WaitForExit(60000), 0);
        return {boxes, songs};
    }

    songlisttest::TempFolder m_folder;
    std::map<std::string, std::string> m_environment;
};

int EditNumber(const std::string& name)
{
    return name.rfind("edit", 0) == 0 ? std::stoi(name.substr(4)) : 0;
}
} // namespace

// Killed after edits, the next start asks whether to restore (the scripted
// dialog answers Restore) and the restored songlist holds every edit made at
// least 500 ms (plus the time to write it) before the kill. A run that then
// ends normally asks nothing the time after.
TEST_F(AppProcessTest, RestoresTheEditsMadeBeforeTheKill)
{
    Music("A.wav");
    Music("b.wav");
    Music("c.wav");
    std::map<std::string, std::string> environment = m_environment;
    environment["VEXTAL_CHILD_MODE"] = "edit";
    ChildProcess editor({VEXTAL_APP_CHILD, (m_folder / "music").string()}, environment);
    ASSERT_EQ(editor.ReadLine(60000), "started");
    const Clock::time_point started = Clock::now();
    std::mt19937 random(std::random_device{}());
    const auto killAt =
        started + std::chrono::milliseconds(std::uniform_int_distribution<int>(2500, 4500)(random));

    // Edits printed, with the time each was made.
    std::vector<std::pair<int, Clock::time_point>> edits;
    while (Clock::now() < killAt)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(killAt - Clock::now()).count();
        const std::string line = editor.ReadLine(static_cast<int>(std::max<long long>(1, left)));
        if (line.rfind("edit ", 0) == 0)
            edits.emplace_back(std::stoi(line.substr(5)), Clock::now());
    }
    editor.Kill();
    const Clock::time_point killed = Clock::now();
    ASSERT_FALSE(edits.empty());

    int mustHave = 0;
    for (const auto& [number, when] : edits)
        if (killed - when >= std::chrono::milliseconds(750))
            mustHave = number;
    const auto [boxes, songs] = Report();
    EXPECT_EQ(boxes, "1") << "the restore question";
    const std::string first = songs.substr(0, songs.find('|'));
    EXPECT_EQ(songs.substr(songs.find('|')), "|b|c");
    EXPECT_GE(EditNumber(first), mustHave) << "restored " << songs << " after " << edits.size() << " edits";
    EXPECT_LE(EditNumber(first), edits.back().first);

    // The report run ended normally: no question now, and the songlist it
    // restored was kept as the backup.
    const auto [boxesAfter, songsAfter] = Report();
    EXPECT_EQ(boxesAfter, "0");
    EXPECT_EQ(songsAfter, "");
    const std::unique_ptr<juce::XmlElement> backup = CZJEXmlReader::ParseFile(Backup());
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->getChildByName("Track")->getChildByName("Name")->getAllSubText().toStdString(), first);
}

// A second launch of the application hands its paths (with blanks and
// quotes, as one list) to the running one, which adds them, and ends with 0.
TEST_F(AppProcessTest, SecondLaunchAddsItsPathsToTheFirst)
{
    ChildProcess first({VEXTAL_APP_BINARY}, m_environment);
    const juce::File socket((m_folder / "run/Vextal.socket").string());
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    while (!socket.exists() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(socket.exists());

    const std::vector<std::string> paths = {Music("a song.wav"), Music("it's \"quoted\".wav")};
    ChildProcess second({VEXTAL_APP_BINARY, paths[0], paths[1]}, m_environment);
    EXPECT_EQ(second.WaitForExit(30000), 0);

    // The first adds them; its backup, written half a second after the edit,
    // shows them.
    std::vector<std::string> found;
    while (found.size() < 2 && Clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        found.clear();
        if (const auto root = CZJEXmlReader::ParseFile(Backup()))
            for (const juce::XmlElement* track : root->getChildWithTagNameIterator("Track"))
                found.push_back(track->getChildByName("FileInfo")
                                    ->getChildByName("File")
                                    ->getChildByName("FilePath")
                                    ->getAllSubText()
                                    .toStdString());
    }
    EXPECT_EQ(found, paths);
}
