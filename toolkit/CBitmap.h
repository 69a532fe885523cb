// CBitmap: a PNG image from the library's resources, decoded with libpng into cairo image
// surfaces. Each image comes in two pixel densities: the 1× pixels, whose size is the size
// the bitmap reports and is laid out with, and, when the library has them, 2× pixels of the
// same picture with twice the pixels in each direction. A draw whose target is magnified
// above 1 (a zoomed frame) takes the 2× pixels, any other the 1× ones; cairo filters the
// steps in between. Tall film strips exceed cairo's 32767-row limit, so the pixels are kept
// in bands of kBandStep rows that overlap their successor by kBandOverlap rows: any part of
// at most kBandOverlap rows (one strip frame) lies whole in one band and is drawn from it
// with its edges padded, so filtering never blends in a neighbouring frame. The pixels are
// decoded at the first draw, in the form the no-alpha flag asks for (one copy only), and
// shared process-wide. A PNG may store a strip's frames several to a row, which lets the
// compressor see each frame beside the previous one: its text chunk kFramesKey then says
// "<frames> <frames per row>", and the frames are decoded into the usual vertical strip. Reference counted: whoever keeps a bitmap calls remember(), and
// forget() releases it; the last forget() deletes it. [UI thread]
#pragma once

#include "toolkit/CGraphics.h"

#include <cairo.h>

#include <cstddef>
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
    // The library has 2× pixels of this image (of exactly twice the size).
    bool hasDoubleDensity() const { return variants[1].width > 0; }

    // With no-alpha set (the default) the image is drawn opaque, its alpha ignored.
    void setNoAlpha(bool state) { noAlpha = state; }
    bool getNoAlpha() const { return noAlpha; }

    // Draws the image rows offsetY … offsetY + dest.height() (1× pixels) into dest.
    void draw(cairo_t* cr, const CRect& dest, double offsetY = 0) const;

    // The pixel density a draw into `cr` uses: 2 when the target is magnified above 1 and
    // the 2× pixels exist, else 1.
    int densityFor(cairo_t* cr) const;

    static constexpr const char* kFramesKey = "Frames";  // text chunk of a strip stored in rows of frames
    static constexpr int kBandStep = 16384;   // rows from one band's top to the next one's
    static constexpr int kBandOverlap = 1024; // rows a band shares with the next

private:
    // One pixel density of the image.
    struct Variant {
        const unsigned char* png = nullptr;             // the embedded file
        std::size_t size = 0;                           // its size
        int width = 0, height = 0;                      // the vertical strip's pixels; 0 when absent or broken
        int frames = 1, across = 1;                     // frames, and frames per row of the file
        mutable std::shared_ptr<const Decoded> pixels;  // decoded bands, top to bottom
        mutable bool pixelsOpaque = false;              // bands are RGB24, not premultiplied ARGB
        mutable bool broken = false;                    // decoding failed once; draw nothing
    };

    ~CBitmap();
    // Reads the PNG header of a variant. False on a broken image.
    static bool readHeader(Variant& v, bool* alpha);
    // The decoded pixels, shared by every bitmap of this image in the process: decoding the
    // film strips takes far longer than drawing them, and an editor opens many times. The
    // cache keeps one density: decoding one drops the cache's hold on the other (bitmaps
    // still drawing from it keep theirs).
    static std::shared_ptr<const Decoded> decoded(int resourceId, int density, const Variant& v, bool asOpaque);
    const Variant* pixelsFor(int density) const;
    // Draws the whole image of one band into dest from a copy resampled to dest's pixel size,
    // when dest lies on whole pixels at a size other than the image's. False otherwise.
    bool drawResampled(cairo_t* cr, const CRect& dest, const Variant& v) const;

    int resourceId;                        // id it was loaded from
    int refCount = 1;                      // owners
    int width = 0, height = 0;             // 1× pixels; 0 when decoding failed
    bool hasAlpha = false;                 // the PNG had an alpha channel
    bool noAlpha = true;                   // draw opaque
    Variant variants[2];                   // 1× and 2× pixels
};
