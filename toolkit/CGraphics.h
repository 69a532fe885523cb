// Value types of the widget layer: points, rectangles, colours, fonts and the style and
// knob-mode constants the editor names.
#pragma once

#include <algorithm>
#include <cstdint>

struct CPoint {
    double h = 0;  // x, pixels
    double v = 0;  // y, pixels
};

struct CRect {
    double left = 0, top = 0, right = 0, bottom = 0;  // window pixels

    CRect() = default;
    CRect(double l, double t, double r, double b) : left(l), top(t), right(r), bottom(b) {}
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool pointInside(const CPoint& p) const { return p.h >= left && p.h < right && p.v >= top && p.v < bottom; }
    bool intersects(const CRect& o) const
    {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    CRect intersection(const CRect& o) const
    {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    }
    CRect united(const CRect& o) const
    {
        if (isEmpty())
            return o;
        if (o.isEmpty())
            return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }
};

struct CColor {
    uint8_t red = 0, green = 0, blue = 0, alpha = 255;  // 0..255; alpha 0 is transparent
};

constexpr CColor kBlackCColor = {0, 0, 0, 255};
constexpr CColor kWhiteCColor = {255, 255, 255, 255};
constexpr CColor kTransparentCColor = {255, 255, 255, 0};

// The predefined regular faces: Arial is asked for as the metric-compatible Liberation Sans.
struct CFontDesc {
    const char* family;  // fontconfig family name
    double size;         // pixels
};
constexpr CFontDesc kNormalFontSmall = {"Liberation Sans", 11};
constexpr CFontDesc kNormalFont = {"Liberation Sans", 12};
constexpr CFontDesc kNormalFontBig = {"Liberation Sans", 14};
constexpr CFontDesc kNormalFontVeryBig = {"Liberation Sans", 18};

enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// Control styles (only k3DIn is used; it draws nothing when the colours are transparent).
enum { k3DIn = 1 << 0, k3DOut = 1 << 1, kNoFrame = 1 << 4 };

// Knob modes of the toolkit.
enum { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

// Mouse buttons as the frame reports them.
enum { kLButton = 1 << 1, kMButton = 1 << 2, kRButton = 1 << 3 };
