#include "src/songlist/Output/ExportParameter/DiscBurnParameter.h"

#include "tests/support/ExportParameterTestSupport.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatedBurner.h"

using burntest::Drive;
using burntest::Medium;
using burntest::SimulatedBurner;
using Vextal::DiscBurnParameter;

namespace
{
std::vector<std::string> Texts(const juce::StringArray& texts)
{
    std::vector<std::string> out;
    for (const juce::String& t : texts)
        out.push_back(t.toStdString());
    return out;
}

std::vector<int> Values(const juce::Array<int>& values)
{
    return std::vector<int>(values.begin(), values.end());
}

std::vector<std::string> Snapshot(const DiscBurnParameter& set)
{
    std::vector<std::string> values;
    for (int i = 0; i < set.getNumParameters(); ++i)
    {
        const bool choice = set.getParameterType(i) == DiscBurnParameter::kTypeChoice;
        values.push_back(set.getParameterText(i).toStdString() + "=" +
                         (choice ? std::to_string(set.getParameterValue(i)) : std::string()));
    }
    return values;
}

Medium CdRWithSpeeds(std::vector<uint32_t> speeds)
{
    Medium medium = Medium::BlankCdR();
    medium.speedsKbps = std::move(speeds);
    return medium;
}

class DiscBurnParameterTest : public paramtest::ParameterTest
{
protected:
    juce::File Images() const { return juce::File(Folder("images")); }
};
} // namespace

// Speeds read as multiples of the x1 speed, with a tenth only below x10.
TEST_F(DiscBurnParameterTest, SpeedTextsAreMultiplesOfTheUnit)
{
    const struct
    {
        uint32_t kbps;
        uint32_t unit;
        const char* text;
    } cases[] = {{1232, 176, "x7"},  {1320, 176, "x7.5"}, {1848, 176, "x10"},   {1936, 176, "x11"},
                 {264, 176, "x1.5"}, {7040, 176, "x40"},  {3324, 1385, "x2.4"}, {22160, 1385, "x16"}};
    for (const auto& c : cases)
        EXPECT_EQ(DiscBurnParameter::speedText(c.kbps, c.unit), c.text) << c.kbps << " / " << c.unit;
}

// A CD in the drive offers exactly the drive's speeds; without a medium the
// generic CD table is offered. Choosing a speed stores it in the burner.
TEST_F(DiscBurnParameterTest, SpeedChoicesComeFromTheMediumOrTheGenericTable)
{
    SimulatedBurner burner(Images(), {Drive::CdWriter("W", CdRWithSpeeds({1232, 1320, 1848}))});
    DiscBurnParameter set(*burner.proxy);
    EXPECT_EQ(Values(set.getIntChoices(DiscBurnParameter::kWriteSpeed)),
              (std::vector<int>{0, 1232, 1320, 1848}));
    EXPECT_EQ(Texts(set.getStringChoices(DiscBurnParameter::kWriteSpeed)),
              (std::vector<std::string>{"Maximum", "x7", "x7.5", "x10"}));
    EXPECT_EQ(set.getWriteSpeed(), 0u);

    EXPECT_TRUE(set.setParameterValue(DiscBurnParameter::kWriteSpeed, 1320, true));
    EXPECT_EQ(set.getWriteSpeed(), 1320u);
    EXPECT_EQ((*burner.proxy)->GetWriteSpeed(), 1320u);

    burner.drive->SetMedium(0, Medium::None());
    EXPECT_EQ(Values(set.getIntChoices(DiscBurnParameter::kWriteSpeed)),
              (std::vector<int>{0, 176, 352, 704, 1056, 1408, 1760, 2112, 2816, 3520, 4224, 5632, 7040, 8448,
                                9856}));
    EXPECT_EQ(Texts(set.getStringChoices(DiscBurnParameter::kWriteSpeed)),
              (std::vector<std::string>{"Maximum", "x1", "x2", "x4", "x6", "x8", "x10", "x12", "x16", "x20",
                                        "x24", "x32", "x40", "x48", "x56"}));

    // A DVD is of the other family: the generic CD table again.
    burner.drive->SetMedium(0, Medium::Dvd());
    EXPECT_EQ(set.getIntChoices(DiscBurnParameter::kWriteSpeed).size(), 15);

    EXPECT_EQ(set.getBitDepth(), 16);
    EXPECT_EQ(set.getSampleRate(), 44100u);
    EXPECT_TRUE(set.setParameterValue(DiscBurnParameter::kGapBetweenSongs, 3, true));
    EXPECT_EQ(set.getGapBetweenSongs(), 3.0f);
    EXPECT_EQ(set.getParameterText(DiscBurnParameter::kGapBetweenSongs), "3 sec");
}

// Identical drives are told apart by a number; only drives that write are
// enabled, and the first of them is chosen and opened. A copy chooses the
// same.
TEST_F(DiscBurnParameterTest, DrivesOfOneNameAreNumberedAndOnlyWritersChosen)
{
    SimulatedBurner burner(Images(),
                           {SimulatedBurner::Reader("P"), Drive::CdWriter("P", Medium::BlankCdR()),
                            Drive::CdWriter("P", Medium::None()), Drive::CdWriter("Q", Medium::None())});
    DiscBurnParameter set(*burner.proxy);
    EXPECT_EQ(Texts(set.getStringChoices(DiscBurnParameter::kDrive)),
              (std::vector<std::string>{"Vextal P", "Vextal P (2)", "Vextal P (3)", "Vextal Q"}));
    EXPECT_EQ(Values(set.getIntChoices(DiscBurnParameter::kDrive)), (std::vector<int>{0, 1, 2, 3}));
    const juce::BigInteger enabled = set.getEnablements(DiscBurnParameter::kDrive);
    EXPECT_FALSE(enabled[0]);
    EXPECT_TRUE(enabled[1] && enabled[2] && enabled[3]);
    EXPECT_EQ(set.getDriveIndex(), 1);
    EXPECT_EQ((*burner.proxy)->GetInsertedDiscType(), kDiscTypeCDR) << "the chosen drive is open";

    EXPECT_TRUE(set.setParameterIndex(DiscBurnParameter::kDrive, 2, true));
    EXPECT_EQ((*burner.proxy)->GetInsertedDiscType(), kDiscTypeNone);
    EXPECT_TRUE(set.setParameterIndex(DiscBurnParameter::kDrive, 0, true)) << "the reader is not taken";
    EXPECT_EQ(set.getDriveIndex(), 1);

    DiscBurnParameter copy(set);
    EXPECT_EQ(Snapshot(copy), Snapshot(set));

    SimulatedBurner readers(juce::File(Folder("images2")), {SimulatedBurner::Reader("R")});
    DiscBurnParameter none(*readers.proxy);
    EXPECT_EQ(none.getDriveIndex(), -1);
    EXPECT_EQ((*readers.proxy)->GetInsertedDiscType(), kDiscTypeNone) << "no drive was opened";
}

// Listing the drives again never waits for the scan: it runs on the
// burner's drive worker while the drives known before stay the choices, and
// when its notice comes the choices are the drives it found, the drive the
// store names chosen again once it is listed.
TEST_F(DiscBurnParameterTest, DrivesAreListedAgainOnTheDriveWorker)
{
    SimulatedBurner burner(Images(), {Drive::CdWriter("P", Medium::BlankCdR())});
    DiscBurnParameter set(*burner.proxy);
    m_store.WriteString("Export_Drive_Name", "Vextal Q");
    set.readPreferences(m_store);
    EXPECT_EQ(set.getDriveIndex(), 0) << "not listed yet";

    burner.drive->AddDrive(Drive::CdWriter("Q", Medium::None()));
    burner.drive->SetScanHeld(true);
    // As the disc-burn sheet asks: the burner, then the set.
    (*burner.proxy)->RefreshCDDriveList();
    set.refreshDriveList();
    EXPECT_EQ(Texts(set.getStringChoices(DiscBurnParameter::kDrive)), (std::vector<std::string>{"Vextal P"}));
    burner.drive->SetScanHeld(false);
    const auto listed = [&set] { return set.getStringChoices(DiscBurnParameter::kDrive).size() == 2; };
    for (int i = 0; i < 6000 && !listed(); ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
    EXPECT_EQ(Texts(set.getStringChoices(DiscBurnParameter::kDrive)),
              (std::vector<std::string>{"Vextal P", "Vextal Q"}));
    EXPECT_EQ(set.getDriveIndex(), 1);
    EXPECT_EQ((*burner.proxy)->GetInsertedDiscType(), kDiscTypeNone) << "the stored drive is open";
}

// Neither making the set nor choosing a drive waits for a scan of the
// drives: a set made while the scan runs offers no drive until the scan's
// notice, then chooses and opens the first writer; a drive chosen while a
// scan runs is opened once the scan has ended.
TEST_F(DiscBurnParameterTest, NeverWaitsForAScanOfTheDrives)
{
    SimulatedBurner burner(Images(), {SimulatedBurner::Reader("R"), Drive::CdWriter("P", Medium::BlankCdR()),
                                      Drive::CdWriter("Q", Medium::None())});
    CAudioDiscBurnBase& b = *burner.proxy->GetInstance();
    burner.drive->SetScanHeld(true);
    DiscBurnParameter set(*burner.proxy);
    EXPECT_TRUE(set.getStringChoices(DiscBurnParameter::kDrive).isEmpty());
    EXPECT_EQ(set.getDriveIndex(), -1);
    burner.drive->SetScanHeld(false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return set.getDriveIndex() == 1; }, 60000));
    EXPECT_EQ(Texts(set.getStringChoices(DiscBurnParameter::kDrive)),
              (std::vector<std::string>{"Vextal R", "Vextal P", "Vextal Q"}));
    EXPECT_EQ(b.GetInsertedDiscType(), kDiscTypeCDR) << "the first writer is open";

    burner.drive->SetScanHeld(true);
    b.RefreshCDDriveList();
    EXPECT_TRUE(set.setParameterIndex(DiscBurnParameter::kDrive, 2, true));
    EXPECT_EQ(set.getDriveIndex(), 2);
    EXPECT_EQ(b.GetInsertedDiscType(), kDiscTypeCDR) << "not opened while the scan runs";
    burner.drive->SetScanHeld(false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return b.GetInsertedDiscType() == kDiscTypeNone; }, 60000));
    EXPECT_EQ(set.getParameterText(DiscBurnParameter::kDrive), "Vextal Q");
}

// An empty store keeps every default; the drive comes back by its name
// (a name no drive has keeps the choice), and the list of drives whose
// gap warning is silenced comes back too.
TEST_F(DiscBurnParameterTest, StoreKeepsDriveByNameAndSilencedWarnings)
{
    Drive gapless = Drive::CdWriter("P", Medium::BlankCdR());
    Drive gappy = Drive::CdWriter("G", Medium::BlankCdR());
    gappy.canBurnGapless = false;
    SimulatedBurner burner(Images(), {gapless, gappy});

    DiscBurnParameter set(*burner.proxy);
    const auto defaults = Snapshot(set);
    set.readPreferences(m_store);
    EXPECT_EQ(Snapshot(set), defaults);
    EXPECT_TRUE(set.drivesHidingPreGapWarning.isEmpty());
    EXPECT_FALSE(set.shouldShowPreGapWarning()) << "this drive honours the gaps";

    EXPECT_TRUE(set.setParameterIndex(DiscBurnParameter::kDrive, 1, true));
    EXPECT_TRUE(set.shouldShowPreGapWarning());
    set.setCurrentDriveShowsPreGapWarning(false, m_store);
    EXPECT_FALSE(set.shouldShowPreGapWarning());
    set.writePreferences(m_store);

    DiscBurnParameter again(*burner.proxy);
    EXPECT_EQ(again.getDriveIndex(), 0);
    again.readPreferences(m_store);
    EXPECT_EQ(again.getDriveIndex(), 1);
    EXPECT_EQ(Texts(again.drivesHidingPreGapWarning), (std::vector<std::string>{"G"}));
    EXPECT_FALSE(again.shouldShowPreGapWarning());

    // Showing it again empties the list; the old entry stays in the store.
    again.setCurrentDriveShowsPreGapWarning(true, m_store);
    EXPECT_TRUE(again.shouldShowPreGapWarning());
    EXPECT_EQ(m_store.ReadInteger("Export_Num_Drives_Hides_Warnings", -1), 0);
    EXPECT_EQ(m_store.ReadString("Export_Drive_Hides_Warnings_0").value_or(""), "G");

    set.readPreferences(m_store);
    EXPECT_TRUE(set.drivesHidingPreGapWarning.isEmpty());

    m_store.WriteString("Export_Drive_Name", "Nobody Drive");
    set.readPreferences(m_store);
    EXPECT_EQ(set.getDriveIndex(), 1);

    set.setCurrentDriveShowsPreGapWarning(false, m_store);
    DiscBurnParameter::clearDrivesWhichHidesWarnings(m_store);
    EXPECT_EQ(m_store.ReadInteger("Export_Num_Drives_Hides_Warnings", -1), 0);
    set.readPreferences(m_store);
    EXPECT_TRUE(set.shouldShowPreGapWarning());
}

namespace
{
class DiscBurnParameterHostTest : public hosttest::HostTest
{
};
} // namespace

// The album title and artist are the first of the songs' texts; songs
// without them clear both.
TEST_F(DiscBurnParameterHostTest, AlbumTextsComeFromTheSongs)
{
    SimulatedBurner burner(juce::File((m_folder / "images").string()),
                           {Drive::CdWriter("P", Medium::None())});
    AddSongs(3);
    m_host->GetSong(1)->setText(Vextal::TrackInfo::kAlbum, "A", false);
    m_host->GetSong(2)->setText(Vextal::TrackInfo::kAlbum, "B", false);
    m_host->GetSong(2)->setText(Vextal::TrackInfo::kArtist, "Art", false);
    DiscBurnParameter set(*burner.proxy);
    set.setMetaDataFromSonglist(false, m_host.get());
    EXPECT_EQ(set.getAlbumTitle(), "A");
    EXPECT_EQ(set.getAlbumArtist(), "Art");

    m_host->SetSelectedSongs(hosttest::SetOf({0}), false);
    set.setMetaDataFromSonglist(true, m_host.get());
    EXPECT_EQ(set.getAlbumTitle(), "");
    EXPECT_EQ(set.getAlbumArtist(), "");
}
