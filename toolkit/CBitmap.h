// CBitmap: a PNG image from the library's resources, decoded with libpng into cairo image
// surfaces. Tall film strips exceed cairo's 32767-row limit, so the pixels are kept in bands
// of at most kBandRows rows and a draw may span two bands. The pixels are decoded at the first
// draw, in the form the no-alpha flag asks for (one copy only). Reference counted: whoever keeps
// a bitmap calls remember(), and forget() releases it; the last forget() deletes it.
// [UI thread]
#pragma once

#include "toolkit/CGraphics.h"

#include <cairo.h>

#include <memory>
#include <vector>

class CBitmap {
public:
    struct Decoded;  // decoded pixels, shared process-wide

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
    // Reads the image's header. False on a broken image.
    bool readHeader();
    // The decoded pixels, shared by every bitmap of this image in the process: decoding the
    // film strips takes far longer than drawing them, and an editor opens many times.
    static std::shared_ptr<const Decoded> decoded(int resourceId, const unsigned char* png, std::size_t size,
                                                  int width, int height, bool asOpaque);

    static constexpr int kBandRows = 16384;

    int resourceId;                        // id it was loaded from
    int refCount = 1;                      // owners
    int width = 0, height = 0;             // pixels; 0 when decoding failed
    bool hasAlpha = false;                 // the PNG had an alpha channel
    bool noAlpha = true;                   // draw opaque
    const unsigned char* pngData = nullptr; // the embedded file
    std::size_t pngSize = 0;               // its size
    mutable std::shared_ptr<const Decoded> pixels; // decoded bands, top to bottom
    mutable bool pixelsOpaque = false;     // bands are RGB24 rather than premultiplied ARGB
    mutable bool broken = false;           // decoding failed once; draw nothing
};
