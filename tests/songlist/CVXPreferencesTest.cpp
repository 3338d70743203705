#include "src/songlist/CVXPreferences.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

TEST(CVXPreferences, TheSingleStoreOpensOnTheApplicationsFileAndWritesOnLastRelease)
{
    const vxtest::TempFolder scratch("vextal-app-preferences-test");
    const juce::File dir(scratch.Path().string());
    ASSERT_TRUE(scratch.IsValid());
    std::optional<std::string> oldConfig;
    if (const char* old = std::getenv("XDG_CONFIG_HOME"))
        oldConfig = old;
    setenv("XDG_CONFIG_HOME", dir.getFullPathName().toRawUTF8(), 1);
    const juce::File settings = dir.getChildFile("Vextal/Vextal.settings");

    using S = CZfcSingleton<CVXPreferences>;
    CVXPreferences* prefs = S::CreateInstance();
    ASSERT_NE(prefs, nullptr);
    EXPECT_TRUE(prefs->IsOpen());
    EXPECT_EQ(S::CreateInstance(), prefs);
    prefs->WriteInteger("PlayerRepeat", 1);
    prefs->WriteString("AudioDevice", "Null Output");

    S::DestroyInstance();
    EXPECT_EQ(S::sm_pInstance, prefs);
    EXPECT_FALSE(settings.exists());
    S::DestroyInstance();
    EXPECT_EQ(S::sm_pInstance, nullptr);
    EXPECT_TRUE(settings.existsAsFile());

    prefs = S::CreateInstance();
    EXPECT_EQ(prefs->ReadInteger("PlayerRepeat", 0), 1);
    EXPECT_EQ(prefs->ReadString("AudioDevice").value_or("?"), "Null Output");
    S::DestroyInstance();

    if (oldConfig.has_value())
        setenv("XDG_CONFIG_HOME", oldConfig->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
