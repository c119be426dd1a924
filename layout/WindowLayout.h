#pragma once
// Geometry of the skinned main window, in pixels at 96 dpi (15 twips to the pixel).
// Plain data with no widget dependency, so the artwork generator and the window
// both draw from the same numbers and the pictures land exactly on their hot zones.

#include <array>

namespace layout {

struct Rect {
    int left;
    int top;
    int width;
    int height;
    constexpr int right() const { return left + width; }   // one past the last column
    constexpr int bottom() const { return top + height; }  // one past the last row
};

// Twips to pixels at the design resolution, rounded to the nearest pixel.
constexpr int px(int twips) { return (twips + 7) / 15; }

// Pixels of exactly this colour are see-through: neither drawn nor hit by the pointer.
struct Colour {
    int red;
    int green;
    int blue;
};
constexpr Colour kColourKey{255, 0, 255};
// As an opaque 0xAARRGGBB value, the form Qt's QRgb uses.
constexpr unsigned argb(Colour c)
{
    return 0xFF000000u | static_cast<unsigned>(c.red) << 16 | static_cast<unsigned>(c.green) << 8 |
           static_cast<unsigned>(c.blue);
}

constexpr int kClientWidth = 557;
constexpr int kClientHeight = 374;
constexpr int kBackgroundWidth = 558;   // one column and two rows more than the client
constexpr int kBackgroundHeight = 376;  // area; the extra ones are magenta and never shown

// The visible body: everything around it is the colour key.
constexpr Rect kBody{5, 5, 548, 366};
constexpr int kBodyCornerRadius = 5;

constexpr int kToolButtonCount = 6;
constexpr int kMenuItemCount = 4;
constexpr int kBusySquareCount = 10;

constexpr std::array<int, kMenuItemCount> kMenuLeftTwips{240, 1090, 1950, 2780};
constexpr int kMenuTopTwips = 540;
constexpr int kMenuWidthTwips = 810;
constexpr int kMenuHeightTwips = 240;

constexpr std::array<int, kToolButtonCount> kButtonLeftTwips{210, 1280, 2300, 3360, 4370, 5340};
constexpr int kButtonTopTwips = 870;
constexpr int kButtonWidthTwips = 900;
constexpr int kButtonHeightTwips = 1080;

constexpr Rect menuItem(int j)
{
    return {px(kMenuLeftTwips[static_cast<unsigned>(j)]), px(kMenuTopTwips), px(kMenuWidthTwips), px(kMenuHeightTwips)};
}
constexpr Rect toolButton(int i)
{
    return {px(kButtonLeftTwips[static_cast<unsigned>(i)]), px(kButtonTopTwips), px(kButtonWidthTwips),
            px(kButtonHeightTwips)};
}

constexpr Rect kMinimise{520, 12, 11, 13};
constexpr Rect kClose{536, 12, 11, 13};
constexpr Rect kSettingsPanel{12, 146, 533, 175};
constexpr Rect kLoadedPatch{84, 175, 364, 86};
constexpr Rect kWaitPatch{86, 181, 359, 86};
constexpr Rect kFileLabel{22, 302, 517, 15};
constexpr Rect kMenuMessageBox{458, 102, 121, 21};

// Busy indicator square i: twips Left 2760 + 240 i, Top 4140, 225 x 225.
constexpr Rect busySquare(int i) { return {px(2760 + 240 * i), px(4140), px(225), px(225)}; }

// Horizontal bands of the background picture (rows, inclusive).
constexpr int kTitleStripTop = 5, kTitleStripBottom = 32;
constexpr int kMenuStripTop = 35, kMenuStripBottom = 53;
constexpr int kToolBarTop = 56, kToolBarBottom = 134;
constexpr int kStatusStripTop = 335, kStatusStripBottom = 370;
// Engraved separators: a dark row over a light row, starting at these rows.
constexpr std::array<int, 4> kSeparatorRows{33, 54, 135, 333};
// The banner's 1-pixel frame: rows 146 and 320, columns 15 and 543.
constexpr Rect kBannerFrame{15, 146, 543 - 15 + 1, 320 - 146 + 1};

// Settings panel children, relative to the panel.
constexpr Rect kLabelVideoRate{54, 14, 104, 14};
constexpr Rect kComboVideoRate{54, 30, 195, 22};
constexpr Rect kLabelFrameSize{262, 14, 149, 14};
constexpr Rect kComboFrameSize{260, 30, 207, 22};
constexpr Rect kLabelFrameRate{56, 62, 62, 14};
constexpr Rect kComboFrameRate{54, 78, 195, 22};
constexpr Rect kLabelAudioRate{262, 62, 104, 14};
constexpr Rect kComboAudioRate{260, 78, 207, 22};
constexpr Rect kLinkDefault{354, 132, 26, 14};
constexpr Rect kLinkOk{396, 132, 26, 14};
constexpr Rect kLinkCancel{436, 132, 26, 14};

static_assert(px(1090) == 73 && px(1280) == 85 && px(2300) == 153 && px(2780) == 185 && px(4370) == 291);
static_assert(toolButton(5).left == 356 && menuItem(0).top == 36 && busySquare(9).left == 328);

}  // namespace layout
