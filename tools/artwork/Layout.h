// Where things sit in the 900 × 851 window; the panel artwork and the strips share these.
#pragma once

namespace art {

struct KnobSpot {
    double x, y;         // centre in the window
    bool large;          // the 148 × 132 strip, else the 92 × 86 one
    const char* caption; // printed under the knob
};

// Knob centres: the control's top-left corner plus the strip's pivot.
constexpr double kLargePivotX = 74, kLargePivotY = 62, kLargeRadius = 44;
constexpr double kSmallPivotX = 46, kSmallPivotY = 41, kSmallRadius = 25;
constexpr double kMixPivotX = 19, kMixPivotY = 17, kMixRadius = 13;

constexpr KnobSpot kKnobs[] = {
    {15 + kLargePivotX, 550 + kLargePivotY, true, "GAIN"},
    {728 + kLargePivotX, 550 + kLargePivotY, true, "VOLUME"},
    {603 + kSmallPivotX, 619 + kSmallPivotY, false, "WIDTH"},
    {207 + kSmallPivotX, 746 + kSmallPivotY, false, "HIGHPASS"},
    {329 + kSmallPivotX, 746 + kSmallPivotY, false, "LOWPASS"},
    {45 + kSmallPivotX, 746 + kSmallPivotY, false, "DELAY"},
    {479 + kSmallPivotX, 746 + kSmallPivotY, false, "RATE"},
    {603 + kSmallPivotX, 746 + kSmallPivotY, false, "MOD"},
};

constexpr double kPanelTop = 500;       // the cream panel starts here
constexpr double kDividerY = 727;       // line between the two rows of controls

// The plate sheet and its driver.
constexpr double kSheetLeft = 398, kSheetTop = 76, kSheetRight = 806, kSheetBottom = 318;

} // namespace art
