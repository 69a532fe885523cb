#include "toolkit/CBitmap.h"

#include "resources/ResourceTable.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

namespace {

struct Reader {
    const unsigned char* data;  // PNG bytes
    std::size_t size;           // their count
    std::size_t pos;            // read position
};

void readBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (r->pos + count > r->size)
        png_error(png, "truncated image");
    std::memcpy(out, r->data + r->pos, count);
    r->pos += count;
}

} // namespace

struct CBitmap::Decoded {
    ~Decoded()
    {
        for (cairo_surface_t* s : bands)
            cairo_surface_destroy(s);
    }
    // Band i holds rows i × kBandStep … i × kBandStep + kBandStep + kBandOverlap (fewer for the last).
    std::vector<cairo_surface_t*> bands;
};

namespace {

using CacheKey = std::tuple<int, int, bool>;  // id, density, opaque
std::mutex cacheMutex;                        // guards both caches; editors open on user-interface threads
std::map<CacheKey, std::shared_ptr<const CBitmap::Decoded>> cache;

// Whole single-band images resampled to a window's pixel size: a background at 150 % costs a
// filtered pass over 2 million pixels, which a window would otherwise pay at every open and
// in every repainted area. One size per image is kept.
struct Resampled {
    Resampled(int w, int h, cairo_surface_t* s) : width(w), height(h), surface(s) {}
    ~Resampled() { cairo_surface_destroy(surface); }
    Resampled(const Resampled&) = delete;
    Resampled& operator=(const Resampled&) = delete;
    int width, height;         // pixels
    cairo_surface_t* surface;  // the image at that size
};
std::map<std::pair<int, bool>, std::shared_ptr<Resampled>> resampledCache;  // by id, opaque

bool nearWhole(double v) { return std::fabs(v - std::round(v)) < 1e-6; }

} // namespace

CBitmap::CBitmap(int id) : resourceId(id)
{
    for (int d = 1; d <= 2; d++)
        if (const EmbeddedResource* res = findResource(id, d)) {
            variants[d - 1].png = res->data;
            variants[d - 1].size = res->size;
        }
    if (!readHeader(variants[0], &hasAlpha))
        return;
    width = variants[0].width;
    height = variants[0].height;
    Variant& twice = variants[1];
    bool twiceAlpha = false;
    if (!readHeader(twice, &twiceAlpha) || twice.width != 2 * width || twice.height != 2 * height ||
        twiceAlpha != hasAlpha)
        twice = Variant();  // a 2× image that does not match is not used
}

CBitmap::~CBitmap() = default;

void CBitmap::forget()
{
    if (--refCount == 0)
        delete this;
}

bool CBitmap::readHeader(Variant& v, bool* alpha)
{
    v.width = v.height = 0;
    if (!v.png)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    Reader reader{v.png, v.size, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readBytes);
    png_read_info(png, info);
    int colorType = png_get_color_type(png, info);
    *alpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    const int fileWidth = (int)png_get_image_width(png, info), fileHeight = (int)png_get_image_height(png, info);
    int frames = 1, across = 1;
    png_textp texts = nullptr;
    int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; i++)
        if (std::strcmp(texts[i].key, kFramesKey) == 0 &&
            (std::sscanf(texts[i].text, "%d %d", &frames, &across) != 2 || frames < 1 || across < 1 ||
             across > frames))
            frames = across = 0;  // a layout that cannot be read: the image is not used
    png_destroy_read_struct(&png, &info, nullptr);
    if (frames < 1 || fileWidth <= 0 || fileHeight <= 0 || fileWidth % across != 0)
        return false;
    const int rows = (frames + across - 1) / across;  // rows of frames in the file
    if (fileHeight % rows != 0)
        return false;
    v.frames = frames;
    v.across = across;
    v.width = fileWidth / across;
    v.height = fileHeight / rows * frames;
    return true;
}

std::shared_ptr<const CBitmap::Decoded> CBitmap::decoded(int resourceId, int density, const Variant& v,
                                                         bool asOpaque)
{
    std::lock_guard<std::mutex> lock(cacheMutex);
    CacheKey key{resourceId, density, asOpaque};
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    for (auto it = cache.begin(); it != cache.end();)  // one density at a time
        it = std::get<1>(it->first) != density ? cache.erase(it) : std::next(it);

    png_structp pngRead = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!pngRead)
        return nullptr;
    png_infop info = png_create_info_struct(pngRead);
    Reader reader{v.png, v.size, 0};
    // sized before setjmp: nothing that a longjmp skips may change them
    const int width = v.width, height = v.height, across = v.across, frames = v.frames;
    const int frameHeight = height / frames;
    std::vector<unsigned char> row((std::size_t)std::max(width * across, 1) * 4);
    auto result = std::make_shared<Decoded>();
    if (setjmp(png_jmpbuf(pngRead))) {
        png_destroy_read_struct(&pngRead, &info, nullptr);
        return nullptr;
    }
    png_structp png = pngRead;
    png_set_read_fn(png, &reader, readBytes);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const int fileWidth = (int)png_get_image_width(png, info), fileHeight = (int)png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE || fileWidth != width * across ||
        fileHeight != frameHeight * ((frames + across - 1) / across) || width <= 0)
        png_error(png, "unsupported image");
    for (int top = 0; top < height; top += kBandStep) {
        cairo_surface_t* b = cairo_image_surface_create(asOpaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width,
                                                        std::min(kBandStep + kBandOverlap, height - top));
        result->bands.push_back(b);
        if (cairo_surface_status(b) != CAIRO_STATUS_SUCCESS)
            png_error(png, "out of memory");
    }
    for (int y = 0; y < fileHeight; y++) {
        png_read_row(png, row.data(), nullptr);
        // the file's row holds one line of `across` frames side by side
        for (int k = 0; k < across; k++) {
            const int frame = (y / frameHeight) * across + k;
            if (frame >= frames)
                break;
            const int stripRow = frame * frameHeight + y % frameHeight;
            // the line's place in its own band, and in the previous band's overlap
            const int band = stripRow / kBandStep;
            uint32_t* targets[2] = {};
            for (int i = 0; i < 2 && band - i >= 0; i++) {
                cairo_surface_t* b = result->bands[band - i];
                int local = stripRow - (band - i) * kBandStep;
                if (local < cairo_image_surface_get_height(b))
                    targets[i] = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(b) +
                                                             (std::size_t)local * cairo_image_surface_get_stride(b));
            }
            const unsigned char* in = row.data() + (std::size_t)k * width * 4;
            uint32_t* bp = targets[0];
            for (int x = 0; x < width; x++) {
                uint32_t r = in[x * 4], g = in[x * 4 + 1], bl = in[x * 4 + 2], a = in[x * 4 + 3];
                if (asOpaque)
                    bp[x] = 0xFF000000u | (r << 16) | (g << 8) | bl;
                else
                    bp[x] = (a << 24) | (((r * a + 127) / 255) << 16) | (((g * a + 127) / 255) << 8) |
                            ((bl * a + 127) / 255);
            }
            if (targets[1])
                std::memcpy(targets[1], bp, (std::size_t)width * 4);
        }
    }
    for (cairo_surface_t* b : result->bands)
        cairo_surface_mark_dirty(b);
    png_destroy_read_struct(&pngRead, &info, nullptr);
    cache[key] = result;
    return result;
}

int CBitmap::densityFor(cairo_t* cr) const
{
    double dx = 0, dy = 1;  // one unit down, in device pixels
    cairo_user_to_device_distance(cr, &dx, &dy);
    return hasDoubleDensity() && std::hypot(dx, dy) > 1.0 + 1e-6 ? 2 : 1;
}

const CBitmap::Variant* CBitmap::pixelsFor(int density) const
{
    const Variant& v = variants[density - 1];
    if (v.broken || v.width <= 0)
        return nullptr;
    if (!v.pixels || v.pixelsOpaque != noAlpha) {
        v.pixels = decoded(resourceId, density, v, noAlpha);
        v.pixelsOpaque = noAlpha;
        if (!v.pixels) {
            v.broken = true;
            return nullptr;
        }
    }
    return &v;
}

void CBitmap::draw(cairo_t* cr, const CRect& dest, double offsetY) const
{
    if (!isLoaded())
        return;
    int density = densityFor(cr);
    const Variant* v = pixelsFor(density);
    if (!v && density == 2)  // 2× pixels that do not decode: the 1× ones still do
        v = pixelsFor(density = 1);
    if (!v)
        return;
    const std::vector<cairo_surface_t*>& bands = v->pixels->bands;
    // the source rows, in this density's pixels
    int top = std::max(0, (int)std::lround(offsetY * density));
    int rows = std::min(v->height - top, (int)std::ceil(dest.height() * density - 1e-9));
    if (rows <= 0)
        return;
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.width(), dest.height());
    cairo_clip(cr);
    if (top == 0 && rows == v->height && bands.size() == 1 && drawResampled(cr, dest, *v)) {
        cairo_restore(cr);
        return;
    }
    cairo_translate(cr, dest.left, dest.top);
    cairo_scale(cr, 1.0 / density, 1.0 / density);
    int band = std::min((int)bands.size() - 1, top / kBandStep);
    int bandTop = band * kBandStep;
    if (top + rows <= bandTop + cairo_image_surface_get_height(bands[band])) {
        // one band holds it all: drawn as an image of its own, edges padded
        cairo_surface_t* part = cairo_surface_create_for_rectangle(bands[band], 0, top - bandTop, v->width, rows);
        cairo_set_source_surface(cr, part, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_paint(cr);
        cairo_surface_destroy(part);
    } else {  // a part taller than the overlap: band by band
        for (int i = band; i < (int)bands.size() && i * kBandStep < top + rows; i++) {
            cairo_set_source_surface(cr, bands[i], 0, (double)(i * kBandStep - top));
            cairo_paint(cr);
        }
    }
    cairo_restore(cr);
}

bool CBitmap::drawResampled(cairo_t* cr, const CRect& dest, const Variant& v) const
{
    double x0 = dest.left, y0 = dest.top, x1 = dest.right, y1 = dest.bottom;
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || !nearWhole(x0) || !nearWhole(y0) || !nearWhole(x1) || !nearWhole(y1))
        return false;
    const int w = (int)std::lround(x1 - x0), h = (int)std::lround(y1 - y0);
    if (w <= 0 || h <= 0 || (w == v.width && h == v.height))  // 1:1 needs no copy
        return false;
    std::shared_ptr<Resampled> copy;
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        std::shared_ptr<Resampled>& slot = resampledCache[{resourceId, noAlpha}];
        if (!slot || slot->width != w || slot->height != h) {
            cairo_surface_t* s = cairo_image_surface_create(noAlpha ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, w, h);
            if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(s);
                return false;
            }
            cairo_t* c = cairo_create(s);
            cairo_scale(c, (double)w / v.width, (double)h / v.height);
            cairo_set_source_surface(c, v.pixels->bands[0], 0, 0);
            cairo_pattern_set_extend(cairo_get_source(c), CAIRO_EXTEND_PAD);
            cairo_paint(c);
            cairo_destroy(c);
            slot = std::make_shared<Resampled>(w, h, s);
        }
        copy = slot;
    }
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, copy->surface, std::round(x0), std::round(y0));
    cairo_paint(cr);
    return true;
}
