#pragma once

#include "src/jucer_components/DiscDrivePoller.h"
#include "src/jucer_components/OutputSheetBase.h"
#include "src/songlist/Output/ExportParameter/DiscBurnParameter.h"
#include "src/songlist/Output/ExportSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class CAudioDiscBurnBase;
class CAudioDiscBurnProxy;
class CVXHost;

namespace Vextal
{
// The sheet from which the user burns the songlist, or the selected songs,
// to an audio CD, erases a rewritable disc or ejects the disc. Its combo
// boxes are bound to a common and a disc-burn parameter set; the album
// texts, the gap between songs and the normalization are shown in a
// read-only table and edited in an option dialog behind Edit.
//
// Burn hands a disc-burn session to the export manager (clicked while the
// burner scans the drives, once the scan has ended); the sheet stays open
// and its owner closes it when the burn begins processing songs. Erase checks
// the disc first (no disc, a disc that cannot be erased, a disc the songlist
// reads from), asks for confirmation with a quick-erase choice and hands a
// disc-erase session to the manager. A refused session leaves the sheet open
// and watching the drive. Each opening reads both parameter sets from the
// preferences and takes the album texts from the songs; the sets are written
// when a burn has started.
//
// A drive that may not write the gaps between songs as set is warned about
// when the sheet opens and when the drive or format changes (from the message
// loop, once the change's notice has returned), until the user ticks the
// warning's check box for that drive.
//
// While the sheet is open and no session runs, its drive watcher
// (DiscDrivePoller) asks the burner every 500 ms what medium its drive holds
// and the sheet shows it beside the drive: no disc, a disc being loaded, an
// unknown disc, or the medium's name with "(blank)" or "(used)"; the write
// speeds offered follow what it saw. The watcher is stopped (never killed)
// whenever a session is about to use the burner and when the sheet closes,
// and started again when the session has ended while the sheet is showing.
//
// The sheet's component property named by the constructor tells the owner
// how the last opening ended: true after Cancel, false after a started
// burn.
//
// Threads. The sheet is used on the message thread; its watcher's thread
// only asks the burner (which serialises those calls under its own lock),
// and the label and speeds change on the message thread.
class DiscBurnSheet : public OutputSheetBase, public ExportSessionListener
{
public:
    static constexpr int kHeight = 392;
    static constexpr juce::uint32 kBurnButtonColour = 0xFFFFBBBB;
    static constexpr int kPollMs = 500;

    // cancelPropertyName: the component property set to true on Cancel and
    // to false when a burn has started. host: the songs burnt (null: the
    // application's, looked up when used). burner: the drives watched and
    // burnt (null: the export manager's, which must exist).
    explicit DiscBurnSheet(const juce::String& cancelPropertyName, CVXHost* host = nullptr,
                           CAudioDiscBurnProxy* burner = nullptr);
    ~DiscBurnSheet() override;

    // The text shown for the medium in the burner's open drive, after the
    // burner has looked at the drive again: "DiscBurn_InTransition" (-2),
    // "DiscBurn_NoDisc" (-1), "DiscBurn_Unknown" (0 or a type without a
    // name), else the medium's name followed by "DiscBurn_Disc_Blank" or
    // "DiscBurn_Disc_Used".
    static juce::String discStateText(CAudioDiscBurnBase& burner);

    // The controls, for the owner's shortcuts and the tests.
    DiscBurnParameter& getBurnParameter() { return m_burnParam; }
    juce::ComboBox& getDiscFormatBox() { return m_discFormat; }
    juce::ComboBox& getDriveBox() { return m_drive; }
    juce::ComboBox& getWriteSpeedBox() { return m_writeSpeed; }
    juce::Label& getDiscStateLabel() { return m_discState; }
    juce::TextButton& getEraseButton() { return m_erase; }
    juce::TextButton& getBurnButton() { return m_burn; }
    juce::TextButton& getEjectButton() { return m_eject; }
    // Whether the watcher is watching the drive.
    bool isPolling() const { return m_poller->isPolling(); }

    void buttonClicked(juce::Button* button) override;
    void exportParameterChanged(ExportParameter* set, int index) override;
    void exportBoundComponentChangedInternally(ExportParameter* set, int index,
                                               juce::Component* component) override;
    void exportAboutToStart(ExportSession* session) override;
    void exportEnded(ExportSession* session, bool aborted) override;

    // The option dialog: the album texts (when the drive writes CD-Text),
    // the gap between songs and the normalization; cancelled, it puts their
    // values back.
    void showOptionDialog();

protected:
    void DoBeforeOpen() override;
    void DoAfterOpen() override;
    void DoBeforeClose() override;

private:
    // Over the burner the public constructor found (its set needs it before
    // the sheet's members are made).
    DiscBurnSheet(const juce::String& cancelPropertyName, CVXHost* host, CAudioDiscBurnProxy& burner);

    void localize();
    CAudioDiscBurnBase* burner();
    void stopPolling();
    void startPolling();
    // What the watcher saw, on the message thread.
    void showObservation(const DiscDrivePoller::Observation& seen);
    void cancel();
    // Ejects without waiting for the drive; Eject is disabled meanwhile.
    void ejectDisc();
    void startBurn();
    void startErase();
    // Whether the album rows (an audio CD only with a drive that writes
    // CD-Text) and the gap row (an audio CD) are shown.
    bool showsAlbumTexts();
    bool showsGap();
    // Shows or hides the option rows; true when a row changed.
    bool updateOptionVisibility();
    void showPreGapWarningIfNeeded();
    // The warning from a change of the sets while the sheet shows: posted, so
    // that the set's listeners (and the control that made the change) return
    // before its modal loop runs; changes before it shows post it once.
    void showPreGapWarningLater();
    void addAsSessionListener(bool add);

    CAudioDiscBurnProxy& m_burner;
    // The sheet's own set, which the base keeps.
    DiscBurnParameter& m_burnParam;

    juce::Label m_discFormatCaption;
    juce::ComboBox m_discFormat;
    juce::Label m_driveCaption;
    juce::ComboBox m_drive;
    juce::Label m_discState;
    juce::TextButton m_eject;
    juce::Label m_writeSpeedCaption;
    juce::ComboBox m_writeSpeed;
    juce::TextButton m_erase;
    juce::TextButton m_burn;
    bool m_bPreGapWarningPosted = false;
    // Made last and stopped first: its changes reach the controls above.
    std::unique_ptr<DiscDrivePoller> m_poller;

    JUCE_DECLARE_NON_COPYABLE(DiscBurnSheet)
};
} // namespace Vextal
