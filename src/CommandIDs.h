#pragma once

namespace Vextal
{
// The command numbers of the application, in one place so that the menu bar,
// the song rows and the shortcut-key editor can name a command without
// knowing the target that performs it. Each target takes its own set in as a
// base (ActionManager::kNew, MainComponent::kExport, CVXMainWindow::kZoom).

// The songlist, transport and help commands (ActionManager).
struct ActionCommandIDs
{
    enum CommandIDs
    {
        kNew = 1,
        kOpen = 2,
        kOpenAutoSaved = 3,
        kSave = 4,
        kSaveAs = 5,
        kAdd = 6,
        kOpenFolder = 7,
        kRemoveSongs = 8,
        kCropSongs = 9,
        kUndo = 10,
        kRedo = 11,
        kDivide = 12,
        kCombine = 13,
        kChannelLink = 14,
        kSelectPicture = 15,
        kRemovePicture = 16,
        kPlayPause = 17,
        kStop = 18,
        kPlayFrom = 19,
        kPlayTo = 20,
        kNextSong = 21,
        kPreviousSong = 22,
        kSkip = 23,
        kRewind = 24,
        kSkip1ms = 25,
        kRewind1ms = 26,
        kSkip1s = 27,
        kRewind1s = 28,
        kUsersGuide = 29,
        kAbout = 30,
        kLastCommand = 30,

        kFirstRecent = 256,
        kFirstPeakHold = 512,
        kFirstClipHold = 768
    };
    static constexpr int kNumRecent = 10;
    static constexpr int kNumHoldTimes = 8;
};

// The commands of the main content (MainComponent).
struct ContentCommandIDs
{
    enum CommandIDs
    {
        kOpenDisc = 31,
        kExport = 32,
        kBurnDisc = 33,
        kQuitSafely = 34,
        kSelectAll = 35,
        kInvertSelection = 36,
        kEditSongName = 37,
        kEditSongInformation = 38,
        kPreferences = 39,
        kEditShortcutKeys = 40,
        kSongProperty = 41
    };
};

// The Window commands (CVXMainWindow).
struct WindowCommandIDs
{
    enum CommandIDs
    {
        kMinimize = 43,
        kZoom = 44,
        kBringAllToFront = 45,
        kWindowItem = 46
    };
};
} // namespace Vextal
