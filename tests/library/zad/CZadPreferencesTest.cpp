#include "library/zad/CZadPreferences.h"

#include "tests/library/vextal_juce/XmlTestDocuments.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using xmltest::Nested;

namespace
{
// Sets an environment variable for the lifetime of the scope and restores it.
class CScopedEnv
{
public:
    CScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~CScopedEnv()
    {
        if (m_old.has_value())
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

class CZadPreferencesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_scratch.IsValid());
        m_env = std::make_unique<CScopedEnv>("XDG_CONFIG_HOME", m_dir.getFullPathName().toRawUTF8());
    }
    void TearDown() override { m_env.reset(); }

    juce::File SettingsFile() const { return m_dir.getChildFile("Vextal").getChildFile("TestApp.settings"); }

    vxtest::TempFolder m_scratch{"vextal-preferences-test"};
    const juce::File m_dir{m_scratch.Path().string()};
    std::unique_ptr<CScopedEnv> m_env;
};
} // namespace

TEST_F(CZadPreferencesTest, AbsentKeyGivesTheDefaultUntilWritten)
{
    CZadPreferences prefs;
    ASSERT_TRUE(prefs.Open("TestApp"));
    EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 7);
    EXPECT_FALSE(prefs.ReadString("AudioDevice").has_value());

    prefs.WriteInteger("PlayerMode", 3);
    EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 3);
    EXPECT_EQ(prefs.ReadInteger("playermode", 7), 7); // keys keep their letter case

    prefs.WriteString("AudioDevice", "first");
    std::optional<juce::String> copy = prefs.ReadString("AudioDevice");
    prefs.WriteString("AudioDevice", "second");
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(*copy, "first");
    EXPECT_EQ(prefs.ReadString("AudioDevice").value_or("?"), "second");
}

TEST_F(CZadPreferencesTest, IntegersAreParsedStrictly)
{
    struct Row
    {
        const char* stored;
        int expected;
    };
    const Row rows[] = {
        {"12", 12},
        {"-5", -5},
        {"+4", 4},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {" 12", 99},
        {"12 ", 99},
        {"12abc", 99},
        {"", 99},
        {"-", 99},
        {"--1", 99},
        {"1.5", 99},
        {"0x10", 99},
        {"2147483648", 99},
        {"-2147483649", 99},
        {"99999999999", 99},
        {"99999999999999999999999999", 99},
        {"\xd9\xa3", 99}, // a digit of another script
    };
    CZadPreferences prefs;
    ASSERT_TRUE(prefs.OpenFile(SettingsFile()));
    for (const Row& row : rows)
    {
        prefs.WriteString("Value", juce::String::fromUTF8(row.stored));
        EXPECT_EQ(prefs.ReadInteger("Value", 99), row.expected) << "stored \"" << row.stored << "\"";
    }
}

TEST_F(CZadPreferencesTest, ValuesSurviveSynchronizeAndReopenExactly)
{
    const std::vector<juce::String> texts = {
        "/home/user/My Songs/list.vxsl",
        "<b>bold</b> and more",
        "<a></a>",
        "<?xml version=\"1.0\"?><x/>",
        "line one\nline two\r\n",
        "  spaced  \t",
        "&amp; < > \" '",
        juce::String::fromUTF8("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xf0\x9f\x8e\xb5"),
        "",
    };
    {
        CZadPreferences prefs;
        ASSERT_TRUE(prefs.Open("TestApp"));
        prefs.WriteInteger("AudioSampleRate", 48000);
        prefs.WriteInteger("Negative", -12);
        for (size_t i = 0; i < texts.size(); ++i)
            prefs.WriteString(("Text" + std::to_string(i)).c_str(), texts[i]);
        // Nothing is written before Synchronize, not even the folder.
        EXPECT_FALSE(m_dir.getChildFile("Vextal").exists());
        EXPECT_TRUE(prefs.Synchronize());
        EXPECT_TRUE(SettingsFile().existsAsFile());
        EXPECT_TRUE(prefs.Synchronize()); // nothing pending
    }
    CZadPreferences prefs;
    ASSERT_TRUE(prefs.Open("TestApp"));
    EXPECT_EQ(prefs.ReadInteger("AudioSampleRate", 0), 48000);
    EXPECT_EQ(prefs.ReadInteger("Negative", 0), -12);
    for (size_t i = 0; i < texts.size(); ++i)
    {
        const std::optional<juce::String> read = prefs.ReadString(("Text" + std::to_string(i)).c_str());
        ASSERT_TRUE(read.has_value()) << i;
        EXPECT_EQ(*read, texts[i]) << i;
    }
    // No temporary file is left beside the settings file.
    EXPECT_EQ(SettingsFile().getParentDirectory().getNumberOfChildFiles(juce::File::findFilesAndDirectories),
              1);
}

TEST_F(CZadPreferencesTest, CloseAndDestructionWritePendingChanges)
{
    {
        CZadPreferences prefs;
        ASSERT_TRUE(prefs.Open("TestApp"));
        prefs.WriteInteger("ByClose", 1);
        EXPECT_TRUE(prefs.Close());
        EXPECT_FALSE(prefs.IsOpen());
        prefs.WriteInteger("AfterClose", 2); // dropped
        EXPECT_EQ(prefs.ReadInteger("ByClose", 0), 0);
    }
    {
        CZadPreferences prefs;
        ASSERT_TRUE(prefs.Open("TestApp"));
        prefs.WriteInteger("ByDestructor", 3);
    }
    CZadPreferences prefs;
    ASSERT_TRUE(prefs.Open("TestApp"));
    EXPECT_EQ(prefs.ReadInteger("ByClose", 0), 1);
    EXPECT_EQ(prefs.ReadInteger("AfterClose", 0), 0);
    EXPECT_EQ(prefs.ReadInteger("ByDestructor", 0), 3);
}

TEST_F(CZadPreferencesTest, AnUnopenedStoreDropsWritesAndReadsDefaults)
{
    CZadPreferences prefs;
    EXPECT_FALSE(prefs.IsOpen());
    prefs.WriteInteger("PlayerMode", 3);
    prefs.WriteString("AudioDevice", "dropped");
    EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 7);
    EXPECT_FALSE(prefs.ReadString("AudioDevice").has_value());
    EXPECT_FALSE(prefs.Synchronize());

    // The dropped writes do not appear once the store is opened.
    ASSERT_TRUE(prefs.Open("TestApp"));
    EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 7);
    EXPECT_FALSE(prefs.ReadString("AudioDevice").has_value());
    EXPECT_TRUE(prefs.Close());
    EXPECT_FALSE(SettingsFile().exists());
}

TEST_F(CZadPreferencesTest, KeysAndApplicationIdsThatAreNotPlainTextAreRefused)
{
    CZadPreferences prefs;
    for (const char* appId : {static_cast<const char*>(nullptr), "", "a/b", "..", ".", "bad\xff"})
        EXPECT_FALSE(prefs.Open(appId)) << (appId ? appId : "(null)");
    EXPECT_FALSE(prefs.OpenFile(juce::File()));
    EXPECT_FALSE(prefs.IsOpen());

    ASSERT_TRUE(prefs.Open("TestApp"));
    for (const char* key : {static_cast<const char*>(nullptr), "", "bad\xff\xfe"})
    {
        prefs.WriteInteger(key, 5);
        EXPECT_EQ(prefs.ReadInteger(key, 7), 7);
        EXPECT_FALSE(prefs.ReadString(key).has_value());
    }
    EXPECT_TRUE(prefs.Synchronize());
    EXPECT_FALSE(SettingsFile().exists()); // nothing was stored
}

TEST_F(CZadPreferencesTest, ACorruptFileGivesDefaultsAndIsReplacedByTheNextWrite)
{
    struct Row
    {
        const char* name;
        std::string bytes;
    };
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919 + 13) & 0xFF));
    const Row rows[] = {
        {"garbage bytes", garbage},
        {"truncated XML",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n  <VALUE name=\"PlayerMode\" va"},
        {"unclosed root", "<PROPERTIES><VALUE name=\"PlayerMode\" val=\"5\"/>"},
        {"another root element", "<OTHER><VALUE name=\"PlayerMode\" val=\"5\"/></OTHER>"},
        {"empty file", ""},
        {"binary header with garbage", std::string("PROP\xff\xff\xff\x7f", 8) + garbage},
        {"compressed header with garbage", "CPRP" + garbage},
        {"invalid UTF-8 in a value",
         "<PROPERTIES><VALUE name=\"AudioDevice\" val=\"\xff\xfe\"/></PROPERTIES>"},
        // 210 KB that overflowed the stack of the framework's parser.
        {"nested 30000 deep", "<PROPERTIES>" + Nested(30000) + "</PROPERTIES>"},
        {"mismatched end tag", "<PROPERTIES><VALUE name=\"PlayerMode\" val=\"5\"></PROPERTY></PROPERTIES>"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        const juce::File file = SettingsFile();
        ASSERT_TRUE(file.getParentDirectory().createDirectory().wasOk());
        ASSERT_TRUE(file.replaceWithData(row.bytes.data(), row.bytes.size()));
        {
            CZadPreferences prefs;
            ASSERT_TRUE(prefs.Open("TestApp"));
            EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 7);
            prefs.WriteInteger("PlayerMode", 3);
            prefs.WriteString("AudioDevice", "Null Output");
            EXPECT_TRUE(prefs.Synchronize());
        }
        CZadPreferences prefs;
        ASSERT_TRUE(prefs.Open("TestApp"));
        EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 3);
        EXPECT_EQ(prefs.ReadString("AudioDevice").value_or("?"), "Null Output");
        prefs.Close();
        file.deleteFile();
    }
}

TEST_F(CZadPreferencesTest, AFailedWriteIsReportedAndStaysPending)
{
    // The configuration "folder" is a regular file: the settings folder cannot be made.
    const juce::File notAFolder = m_dir.getChildFile("config-file");
    ASSERT_TRUE(notAFolder.replaceWithText("x"));
    CScopedEnv env("XDG_CONFIG_HOME", notAFolder.getFullPathName().toRawUTF8());
    CZadPreferences prefs;
    ASSERT_TRUE(prefs.Open("TestApp"));
    prefs.WriteInteger("PlayerMode", 3);
    EXPECT_FALSE(prefs.Synchronize());
    EXPECT_EQ(prefs.ReadInteger("PlayerMode", 7), 3);

    // The settings file's place is taken by a folder.
    const juce::File blocked = m_dir.getChildFile("blocked.settings");
    ASSERT_TRUE(blocked.createDirectory().wasOk());
    CZadPreferences other;
    ASSERT_TRUE(other.OpenFile(blocked));
    other.WriteInteger("PlayerMode", 3);
    EXPECT_FALSE(other.Synchronize());
    EXPECT_FALSE(other.Close());
    EXPECT_TRUE(blocked.isDirectory());
}

TEST_F(CZadPreferencesTest, TheSettingsFolderFollowsXdgConfigHomeOrFallsBackToDotConfig)
{
    EXPECT_EQ(CZadPreferences::GetSettingsFile("TestApp"), SettingsFile());

    const juce::File home = m_dir.getChildFile("home");
    CScopedEnv homeEnv("HOME", home.getFullPathName().toRawUTF8());
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/config"})
    {
        CScopedEnv env("XDG_CONFIG_HOME", value);
        EXPECT_EQ(CZadPreferences::GetSettingsFolder(), home.getChildFile(".config/Vextal"))
            << (value ? value : "(unset)");
    }
}

// Synchronize replaces the file atomically, keeping its permission bits and
// leaving nothing beside it. What writers killed while they saved leave (our
// hidden temporaries whose process is gone, the visible "NAME_temp<hex>"
// files of earlier versions) is removed at start-up, and nothing else.
TEST_F(CZadPreferencesTest, WritesKeepPermissionsAndLeftoversOfKilledWritersAreRemoved)
{
    for (int round = 0; round < 2; ++round)
    {
        CZadPreferences prefs;
        ASSERT_TRUE(prefs.Open("TestApp"));
        prefs.WriteInteger("Round", round);
        ASSERT_TRUE(prefs.Synchronize());
        if (round == 0)
        {
            ASSERT_EQ(::chmod(SettingsFile().getFullPathName().toRawUTF8(), 0600), 0);
        }
    }
    struct stat st;
    ASSERT_EQ(::stat(SettingsFile().getFullPathName().toRawUTF8(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const juce::File folder = SettingsFile().getParentDirectory();
    EXPECT_EQ(folder.getNumberOfChildFiles(juce::File::findFilesAndDirectories), 1);

    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(ended, &status, 0);
    const std::vector<juce::String> stale = {"TestApp_temp1a2b3c4d.settings", "TestApp_tempFF2.settings",
                                             ".TestApp.settings.vxtmp." + juce::String(ended) + ".AbCdEf"};
    const std::vector<juce::String> kept = {
        "Other.settings", "notes_template.settings", "TestApp_temp.settings",
        ".TestApp.settings.vxtmp." + juce::String(::getpid()) + ".AbCdEf"};
    for (const auto* list : {&stale, &kept})
        for (const juce::String& name : *list)
            ASSERT_TRUE(folder.getChildFile(name).replaceWithText("x"));
    EXPECT_EQ(CZadPreferences::RemoveStaleTemporaries(), 3);
    for (const juce::String& name : stale)
        EXPECT_FALSE(folder.getChildFile(name).exists()) << name;
    for (const juce::String& name : kept)
        EXPECT_TRUE(folder.getChildFile(name).exists()) << name;
    EXPECT_TRUE(SettingsFile().existsAsFile());
}
