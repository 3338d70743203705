#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"
#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"
#include "src/songlist/Output/ExportParameter/FileExportParameter.h"

#include "common/file/CAudioDecodeTempFileManager.h"
#include "tests/support/CheckReports.h"
#include "tests/support/ExportParameterTestSupport.h"

using Vextal::CommonExportParameter;
using Vextal::ExportParameter;
using Vextal::FileExportParameter;

namespace
{
constexpr int kAac = 8;

// Every value and text of a set, to compare two sets or two moments.
std::vector<std::string> Snapshot(const ExportParameter& set)
{
    std::vector<std::string> values;
    for (int i = 0; i < set.getNumParameters(); ++i)
        values.push_back(set.getParameterText(i).toStdString() + "=" +
                         (set.getParameterType(i) == ExportParameter::kTypeChoice
                              ? std::to_string(set.getParameterValue(i))
                              : std::string()));
    return values;
}

// Counts the change messages a combo box sends.
class BoxWatcher : public juce::ComboBox::Listener
{
public:
    void comboBoxChanged(juce::ComboBox*) override { ++changes; }
    int changes = 0;
};

using ExportParameterTest = paramtest::ParameterTest;
} // namespace

// A value that is not offered keeps the choice, yet the listeners hear of it
// and the restrictions run; a choice that cannot be made changes and sends
// nothing.
TEST_F(ExportParameterTest, SettersCorrectAnnounceAndResolve)
{
    FileExportParameter set;
    paramtest::Recorder recorder;
    set.AddListener(&recorder);
    EXPECT_TRUE(set.setParameterValue(FileExportParameter::kFormat, 99, true));
    EXPECT_EQ(set.getFormatUniqueID(), "WAV");
    EXPECT_EQ(recorder.Count("changed 1"), 1);
    EXPECT_EQ(recorder.Count("changed 2"), 1) << "the format's restrictions ran";

    recorder.notices.clear();
    EXPECT_FALSE(set.setParameterIndex(FileExportParameter::kQualityOption, 0, true))
        << "WAV has no qualities";
    {
        // A choice the parameter does not offer is the caller's fault: refused
        // and reported.
        TestSupport::ScopedCheckReports reports;
        EXPECT_FALSE(set.setParameterText(FileExportParameter::kFormat, "OGG", true));
        EXPECT_EQ(reports.Count(), 1);
    }
    EXPECT_TRUE(set.setParameterText(FileExportParameter::kFormat, "AIFF", true));
    EXPECT_EQ(set.getFormatUniqueID(), "AIFF");
    EXPECT_EQ(recorder.notices.front(), "changed 1");

    // A copy has the values, not the listeners.
    FileExportParameter copy(set);
    EXPECT_EQ(Snapshot(copy), Snapshot(set));
    EXPECT_EQ(copy.GetNumListeners(), 0);
}

// Reading an empty store keeps every default.
TEST_F(ExportParameterTest, AnEmptyStoreKeepsTheDefaults)
{
    FileExportParameter file;
    CommonExportParameter common([] { return false; });
    const auto fileBefore = Snapshot(file);
    const auto commonBefore = Snapshot(common);
    file.readPreferences(m_store);
    common.readPreferences(m_store);
    EXPECT_EQ(Snapshot(file), fileBefore);
    EXPECT_EQ(Snapshot(common), commonBefore);
    EXPECT_TRUE(file.outputPathHistory.isEmpty());
    EXPECT_TRUE(common.tempDirectoryHistory.isEmpty());
}

// Choices are stored by their values, never their positions, and read back
// into the same choices; the folder histories come back in order, each
// once, up to the first empty entry.
TEST_F(ExportParameterTest, StoredValuesRoundTrip)
{
    FileExportParameter file;
    file.setParameterText(FileExportParameter::kOutputPath, Folder("out"), true);
    file.setParameterValue(FileExportParameter::kFormat, kAac, true);
    file.setParameterValue(FileExportParameter::kSampleRate, 48000, true);
    file.setParameterValue(FileExportParameter::kQualityOption, 192000, true);
    file.outputPathHistory = {"/music/a", "/music/b", "/music/c"};
    CommonExportParameter common([] { return false; });
    common.setParameterValue(CommonExportParameter::kDsdFilter, 2, true);
    common.setParameterValue(CommonExportParameter::kNormalizeMode, 2, true);
    common.setParameterText(CommonExportParameter::kTempDirectory, Folder("tmp"), true);
    file.writePreferences(m_store);
    common.writePreferences(m_store);
    CAudioDecodeTempFileManager::DestroyInstance();

    EXPECT_EQ(m_store.ReadInteger("Export_File_Format", -1), kAac);
    EXPECT_EQ(m_store.ReadInteger("Export_File_SampleRate", -1), 48000);
    EXPECT_EQ(m_store.ReadInteger("Export_File_QualityOption", -1), 192000);
    EXPECT_EQ(m_store.ReadInteger("Export_Common_DsdFilter", -1), 2);
    EXPECT_EQ(m_store.ReadString("Export_Disc_TempDirectory").value_or(""), Folder("tmp"));

    FileExportParameter fileRead;
    CommonExportParameter commonRead([] { return false; });
    fileRead.readPreferences(m_store);
    commonRead.readPreferences(m_store);
    // The depth chosen for WAV is no AAC depth: it reads back as AAC's.
    EXPECT_EQ(fileRead.getParameterText(FileExportParameter::kOutputPath), Folder("out"));
    EXPECT_EQ(fileRead.getFormatUniqueID(), "AAC");
    EXPECT_EQ(fileRead.getSampleRate(), 48000u);
    EXPECT_EQ(fileRead.getBitDepth(), file.getBitDepth());
    EXPECT_EQ(fileRead.getQualityOption(), 192000);
    EXPECT_EQ(Snapshot(commonRead), Snapshot(common));
    EXPECT_EQ(fileRead.outputPathHistory, file.outputPathHistory);

    // A shorter history leaves no old entries behind; a duplicate is read
    // once and an empty entry ends the list.
    file.outputPathHistory = {"/music/z"};
    file.writePreferences(m_store);
    fileRead.readPreferences(m_store);
    EXPECT_EQ(fileRead.outputPathHistory, juce::StringArray({"/music/z"}));
    m_store.WriteString("Export_File_OutputPath_1", "/music/z");
    m_store.WriteString("Export_File_OutputPath_2", "/music/y");
    m_store.WriteString("Export_File_OutputPath_4", "/music/x");
    fileRead.readPreferences(m_store);
    EXPECT_EQ(fileRead.outputPathHistory, juce::StringArray({"/music/z", "/music/y"}));
}

// A bound combo box lists the choices and shows the parameter; binding it
// again replaces the binding; the user's choice reaches the set, and what
// the user chose is not reported as changed by the set.
TEST_F(ExportParameterTest, ABoundComboBoxFollowsTheParameter)
{
    FileExportParameter set;
    paramtest::Recorder recorder;
    set.AddListener(&recorder);
    juce::ComboBox format, rate;
    EXPECT_FALSE(bindComponent(set, FileExportParameter::kNumParameters, &format));
    EXPECT_TRUE(bindComponent(set, FileExportParameter::kFormat, &format));
    EXPECT_TRUE(bindComponent(set, FileExportParameter::kFormat, &format));
    EXPECT_TRUE(bindComponent(set, FileExportParameter::kSampleRate, &rate));
    EXPECT_EQ(set.getNumBoundComponents(), 2);
    EXPECT_EQ(format.getNumItems(), 3);
    EXPECT_EQ(format.getText(), "WAV");

    format.setSelectedId(3, juce::sendNotificationSync);
    EXPECT_EQ(set.getFormatUniqueID(), "AAC");
    EXPECT_EQ(recorder.Count("flash 1"), 0);
    EXPECT_TRUE(format.isEnabled());
    EXPECT_FALSE(rate.isItemEnabled(3)) << "96 kHz is no AAC rate";
    EXPECT_TRUE(rate.isItemEnabled(2));

    set.setParameterValue(FileExportParameter::kFormat, 0, true);
    EXPECT_EQ(format.getText(), "WAV");
    EXPECT_EQ(recorder.Count("flash 1"), 1) << "the set changed the box";
    EXPECT_TRUE(set.unbindComponent(&format));
    EXPECT_FALSE(set.unbindComponent(&format));
}

// A list rebuilt while the box's text is among the new choices keeps the
// selection and sends no change, neither from the box nor from the set.
TEST_F(ExportParameterTest, ARebuiltComboBoxKeepsItsSelection)
{
    FileExportParameter set;
    set.setParameterValue(FileExportParameter::kFormat, kAac, true);
    set.setParameterValue(FileExportParameter::kQualityOption, 160000, true);
    juce::ComboBox quality;
    bindComponent(set, FileExportParameter::kQualityOption, &quality);
    ASSERT_EQ(quality.getText(), "160 kbps");
    paramtest::Recorder recorder;
    set.AddListener(&recorder);
    BoxWatcher watcher;
    quality.addListener(&watcher);

    set.updateChoices(FileExportParameter::kQualityOption);
    uitest::Pump(20);
    EXPECT_EQ(quality.getText(), "160 kbps");
    EXPECT_EQ(quality.getSelectedItemIndex(), set.getParameterIndex(FileExportParameter::kQualityOption));
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(watcher.changes, 0);
    quality.removeListener(&watcher);
}

// Labels and file-name choosers pass the user's text on; the set's
// correction (a folder that does not exist) shows in the control at once.
TEST_F(ExportParameterTest, BoundLabelsAndFileChoosersPassTextsOn)
{
    CommonExportParameter common([] { return false; });
    FileExportParameter file;
    juce::Label temp;
    juce::FilenameComponent output("out", {}, true, true, false, {}, {}, {});
    bindComponent(common, CommonExportParameter::kTempDirectory, &temp);
    bindComponent(file, FileExportParameter::kOutputPath, &output);
    EXPECT_EQ(temp.getText(), common.getParameterText(CommonExportParameter::kTempDirectory));

    const juce::String scratch = Folder("scratch");
    temp.setText(scratch, juce::sendNotificationSync);
    EXPECT_EQ(common.getParameterText(CommonExportParameter::kTempDirectory), scratch);
    temp.setText(scratch + "/missing", juce::sendNotificationSync);
    EXPECT_EQ(temp.getText(), scratch);

    output.setCurrentFile(juce::File(scratch), false, juce::sendNotificationSync);
    EXPECT_EQ(file.getParameterText(FileExportParameter::kOutputPath), scratch);
    output.setCurrentFile(juce::File(scratch + "/missing"), false, juce::sendNotificationSync);
    EXPECT_EQ(output.getCurrentFile().getFullPathName(), scratch);
}

// When the set changes a bound control the user did not touch (the quality,
// after the user chose mono), that control alone is reported, and flashes
// in blue for half a second.
TEST_F(ExportParameterTest, AControlTheSetChangedFlashes)
{
    FileExportParameter set;
    set.setParameterValue(FileExportParameter::kFormat, kAac, true);
    set.setParameterValue(FileExportParameter::kQualityOption, 320000, true);

    juce::Component window;
    window.setBounds(0, 0, 300, 80);
    juce::ComboBox type, quality;
    type.setBounds(10, 10, 130, 24);
    quality.setBounds(160, 10, 130, 24);
    window.addAndMakeVisible(type);
    window.addAndMakeVisible(quality);
    window.addToDesktop(0);
    window.setVisible(true);
    bindComponent(set, FileExportParameter::kType, &type);
    bindComponent(set, FileExportParameter::kQualityOption, &quality);

    struct Flasher : paramtest::Recorder
    {
        void exportBoundComponentChangedInternally(ExportParameter* s, int index, juce::Component* c) override
        {
            Recorder::exportBoundComponentChangedInternally(s, index, c);
            Vextal::flashChangedComponent(c);
        }
    } flasher;
    set.AddListener(&flasher);
    const int ownChildren = quality.getNumChildComponents();

    type.setSelectedId(1, juce::sendNotificationSync); // the user chooses mono
    EXPECT_EQ(quality.getText(), "256 kbps");
    EXPECT_EQ(flasher.components, std::vector<juce::Component*>{&quality});
    EXPECT_GT(quality.getNumChildComponents(), ownChildren) << "the fading overlay";
    uitest::Pump(150);
    uitest::SavePng(window.createComponentSnapshot(window.getLocalBounds()), "ExportParameterFlash");
    EXPECT_TRUE(uitest::PumpUntil([&] { return quality.getNumChildComponents() == ownChildren; }, 3000));
    window.removeFromDesktop();
}
