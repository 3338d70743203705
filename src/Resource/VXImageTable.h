#pragma once

// The interface images of the application: their resource names, the size of
// one frame and how the frames are laid out. The image files ("<name>.png" in
// the Resources folder) are drawn at build time by tools/imagegen from this
// table, and the views cut their frames with the same numbers.
//
// An image is a grid of equal frames: `rows` frames stacked vertically (the
// strips of the image buttons) by `columns` frames side by side (the states of
// a matrix button). The file is frameWidth x columns by frameHeight x rows
// pixels.
//
// The first kResourceManagerImageCount entries are the images the resource
// manager loads at start-up, in its index order; the views refer to them by
// these indices. The entries after them are loaded by name where they are used.
//
// Header only: the image generator includes it without the application library.

namespace Vextal
{
struct ImageSpec
{
    const char* name;
    int frameWidth;
    int frameHeight;
    int rows;
    int columns;

    constexpr int GetWidth() const { return frameWidth * columns; }
    constexpr int GetHeight() const { return frameHeight * rows; }
};

enum ImageIndex
{
    kImageButtonAdd = 0,
    kImageButtonCombine,
    kImageButtonDivide,
    kImageButtonExportFront,
    kImageButtonBurnDiscFront,
    kImageButtonGenericDown,
    kImageButtonGenericLight,
    kImageButtonFadeIn,
    kImageButtonFadeOut,
    kImageButtonRemove,
    kImageButtonAddMark,
    kImageButtonRemoveMark,
    kImageButtonRemovePicture,
    kImageJogWheel,
    kImageLayerInfoBack,
    kImageLayerListBack,
    kImageLayerRightBack,
    kImageLayerTransportBack,
    kImageLevelMeterClip,
    kImageLevelMeterLeftFull,
    kImageLevelMeterLeftZero,
    kImageLevelMeterRightFull,
    kImageLevelMeterRightZero,
    kImageTimeSliderBar,
    kImageTimeSliderPoint,
    kImageButtonFromTo,
    kImageButtonTransport,
    kImageTinySpeaker,
    kImageJogWheelDisable,
    kImageVextalAbout,
    kImageConvertingAnimation,
    kImageLayerListNumberBox,
    kImageLayerListBackBottom,
    kImageLayerListBackTop,
    kImageButtonChLink,
    kImageMarkerWindowClosed,
    kImageMarkerWindowOpened,
    kImageMarkOnTimeSlider,
    kImageIconInfoBackGround,
    kImageWindowBackGround,
    kImageNoPicture,
    kImageInfoPageButtonBackground,
    kImageInfoPageButtonPlay,
    kImageInfoPageButtonInfo,
    kImageInfoPageButtonPicture,
    kImageTinySpeakerInfo,
    kImageButtonRepeat,
    kImageButtonPlayMode,
    kImageButtonBurnCD,
    kImageButtonExport,
    kImageButtonClip,
    kImageBackGroundTop,
    kImageBackGroundCont,
    kImageBackGroundBottom,
    kImageLevelMeterAllOn,
    kImageLevelMeterAllOff,
    kImageLevelMeterLevel,
    kImageButtonRew,
    kImageButtonPlay,
    kImageButtonFF,
    kImageButtonDivideForVX,
    kImagePlayerVextalLogo,

    // Loaded by name by the time bar.
    kImageTimeBar,
    kImageTimeBarPoint,
    kImageTimeBarLeft,
    kImageTimeBarRight,

    kImageCount
};

// The number of images the resource manager holds (indices 0 to 61).
constexpr int kResourceManagerImageCount = kImageTimeBar;

// The file type of every image.
constexpr const char* kImageType = "png";

// clang-format off
inline constexpr ImageSpec kImageTable[kImageCount] = {
    // name                         frame w, h   rows  columns
    {"ButtonAdd",                   48,   22,    3,    1}, // list command: 0 normal, 1 disabled, 2 pressed
    {"ButtonCombine",               48,   22,    3,    1},
    {"ButtonDivide",                48,   22,    3,    1},
    {"ButtonExportFront",           80,   22,    2,    1},
    {"ButtonBurnDiscFront",         80,   22,    2,    1},
    {"ButtonGenericDown",           48,   22,    3,    1},
    {"ButtonGenericLight",          48,   22,    3,    1},
    {"ButtonFadeIn",                20,   20,    4,    1}, // fade type 0 none, 1 linear, 2 squared, 3 mixed
    {"ButtonFadeOut",               20,   20,    4,    1},
    {"ButtonRemove",                48,   22,    3,    1},
    {"ButtonAddMark",               48,   22,    3,    1},
    {"ButtonRemoveMark",            48,   22,    3,    1},
    {"ButtonRemovePicture",         16,   16,    3,    1}, // 0 normal, 1 mouse over, 2 pressed
    {"JogWheel",                    64,   64,    1,    1},
    {"LayerInfoBack",              480,   45,    1,    1},
    {"LayerListBack",              540,    1,    1,    1}, // one row, tiled; its width is the song list panel's
    {"LayerRightBack",             110,  220,    1,    1},
    {"LayerTransportBack",         699,   94,    1,    1},
    {"LevelMeterClip",              47,   19,    2,    1},
    {"LevelMeterLeftFull",          22,  190,    1,    1},
    {"LevelMeterLeftZero",          22,  190,    1,    1},
    {"LevelMeterRightFull",         22,  190,    1,    1},
    {"LevelMeterRightZero",         22,  190,    1,    1},
    {"TimeSliderBar",              631,    9,    3,    1},
    {"TimeSliderPoint",             11,   14,    5,    1},
    {"ButtonFromTo",                48,   22,    3,    1},
    {"ButtonTransport",             26,   26,    5,    1},
    {"TinySpeaker",                 12,   12,    2,    1}, // 0 paused or stopped, 1 playing
    {"JogWheelDisable",             64,   64,    1,    1},
    {"VextalAbout",                400,  240,    1,    1},
    {"ConvertingAnimation",         12,   12,    6,    1}, // animation frames
    {"LayerListNumberBox",          40,   22,    1,    1},
    {"LayerListBackBottom",        540,   12,    1,    1},
    {"LayerListBackTop",           540,  150,    1,    1},
    {"ButtonChLink",                48,   22,    3,    1},
    {"MarkerWindow_closed",         16,   16,    1,    1},
    {"MarkerWindow_Opened",         16,   16,    1,    1},
    {"MarkOnTimeSlider",             5,    9,    1,    1},
    {"IconInfoBackGround",          32,   32,    1,    1},
    {"WindowBackGround",           699,  533,    1,    1},
    {"NoPicture",                  128,  128,    1,    1},
    {"InfoPageButtonBackground",    60,   22,    1,    1},
    {"InfoPageButtonPlay",          20,   20,    3,    1},
    {"InfoPageButtonInfo",          20,   20,    3,    1},
    {"InfoPageButtonPicture",       20,   20,    3,    1},
    {"TinySpeakerInfo",             12,   12,    2,    1},
    {"ButtonRepeat",                48,   22,    3,    2}, // columns: off, on; rows: normal, pressed, disabled
    {"ButtonPlayMode",              48,   22,    3,    3}, // columns: one song, all in order, shuffle
    {"ButtonBurnCD",                80,   22,    2,    1}, // 0 normal and disabled, 1 pressed
    {"ButtonExport",                80,   22,    2,    1},
    {"ButtonClip",                  47,   19,    4,    1}, // 0 off, 1 on, 2 off pressed, 3 on pressed
    {"BackGround_top",             699,   99,    1,    1},
    {"BackGround_cont",            699,    1,    1,    1}, // one row, tiled
    {"BackGround_bottom",          699,   12,    1,    1},
    {"LevelMeterAllOn",             22,  190,    1,    1}, // segments at kLevelMeterSegmentTops
    {"LevelMeterAllOff",            22,  190,    1,    1},
    {"LevelMeter_Level",            18,  190,    1,    1}, // the scale between the bars
    {"ButtonRew",                   26,   26,    5,    1}, // 0 off, 1 on, 2 off pressed, 3 on pressed, 4 disabled
    {"ButtonPlay",                  30,   30,    5,    1},
    {"ButtonFF",                    26,   26,    5,    1},
    {"ButtonDivideForVX",           48,   22,    3,    1},
    {"Player_VextalLogo",           72,   32,    1,    1},

    {"TimeBar",                     16,    9,    3,    1}, // rows: unplayed, played, disabled; stretched
    {"TimeBarPoint",                11,   14,    5,    1}, // pointer frames like ButtonRew's
    {"TimeBarLeft",                  5,    9,    2,    1}, // left end: unplayed, played
    {"TimeBarRight",                 5,    9,    3,    1}, // right end: unplayed, played, disabled
};
// clang-format on

// The level meter's segments, top segment first: the height of each segment's
// top edge above the bottom of the meter images, in pixels. The last two have
// no height.
constexpr int kLevelMeterSegmentCount = 21;
inline constexpr int kLevelMeterSegmentTops[kLevelMeterSegmentCount] = {
    189, 179, 169, 159, 149, 139, 129, 119, 109, 99, 89, 79, 69, 59, 49, 39, 29, 19, 9, 0, 0};
} // namespace Vextal
