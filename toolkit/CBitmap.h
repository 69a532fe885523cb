// CBitmap: a PNG image from the library's resources, decoded with libpng into cairo image
// surfaces. Tall film strips exceed cairo's 32767-row limit, so the pixels are kept in bands
// of at most kBandRows rows and a draw may span two bands. The pixels are decoded at the first
// draw, in the form the no-alpha flag asks for (one copy only). Reference counted: whoever keeps
// a bitmap calls remember(), and forget() releases it; the last forget() deletes it.
// [UI thread]
#pragma once

#include "toolkit/CGraphics.h"

#include <cairo.h>

#include <vector>

class CBitmap {
public:
    explicit CBitmap(int resourceId);  // the count starts at 1

    void remember() { refCount++; }
    void forget();

    bool isLoaded() const { return width > 0; }
    int getResourceId() const { return resourceId; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    bool hasAlphaChannel() const { return hasAlpha; }

    // With no-alpha set (the default) the image is drawn opaque, its alpha ignored.
    void setNoAlpha(bool state) { noAlpha = state; }
    bool getNoAlpha() const { return noAlpha; }

    // Draws the image rows offsetY … offsetY + dest.height() into dest.
    void draw(cairo_t* cr, const CRect& dest, double offsetY = 0) const;

private:
    ~CBitmap();
    // Reads the image; with `pixels` false only its header. False on a broken image.
    bool decode(bool pixels, bool asOpaque) const;
    void releaseBands() const;

    static constexpr int kBandRows = 16384;

    int resourceId;                        // id it was loaded from
    int refCount = 1;                      // owners
    int width = 0, height = 0;             // pixels; 0 when decoding failed
    bool hasAlpha = false;                 // the PNG had an alpha channel
    bool noAlpha = true;                   // draw opaque
    const unsigned char* pngData = nullptr; // the embedded file
    std::size_t pngSize = 0;               // its size
    mutable std::vector<cairo_surface_t*> bands; // decoded pixels, top to bottom
    mutable bool bandsOpaque = false;      // bands are RGB24 rather than premultiplied ARGB
    mutable bool broken = false;           // decoding failed once; draw nothing
};
