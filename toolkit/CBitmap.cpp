#include "toolkit/CBitmap.h"

#include "resources/ResourceTable.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

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
    std::vector<cairo_surface_t*> bands;  // kBandRows rows each, the last one shorter
};

namespace {

std::mutex cacheMutex;  // guards the cache; editors open on user-interface threads
std::map<std::pair<int, bool>, std::shared_ptr<const CBitmap::Decoded>> cache;  // by id, opaque

} // namespace

CBitmap::CBitmap(int id) : resourceId(id)
{
    if (const EmbeddedResource* res = findResource(id)) {
        pngData = res->data;
        pngSize = res->size;
        readHeader();
    }
}

CBitmap::~CBitmap() = default;

void CBitmap::forget()
{
    if (--refCount == 0)
        delete this;
}

bool CBitmap::readHeader()
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    Reader reader{pngData, pngSize, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readBytes);
    png_read_info(png, info);
    int colorType = png_get_color_type(png, info);
    hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    width = (int)png_get_image_width(png, info);
    height = (int)png_get_image_height(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::shared_ptr<const CBitmap::Decoded> CBitmap::decoded(int resourceId, const unsigned char* pngData,
                                                         std::size_t pngSize, int width, int height,
                                                         bool asOpaque)
{
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto key = std::make_pair(resourceId, asOpaque);
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;

    png_structp pngRead = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!pngRead)
        return nullptr;
    png_infop info = png_create_info_struct(pngRead);
    Reader reader{pngData, pngSize, 0};
    // sized before setjmp: nothing that a longjmp skips may change them
    std::vector<unsigned char> row((std::size_t)std::max(width, 1) * 4);
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
    int w = (int)png_get_image_width(png, info), h = (int)png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE || w != width || h != height || w <= 0)
        png_error(png, "unsupported image");
    for (int top = 0; top < h; top += kBandRows) {
        int rows = std::min(kBandRows, h - top);
        cairo_surface_t* b = cairo_image_surface_create(asOpaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, w, rows);
        result->bands.push_back(b);
        if (cairo_surface_status(b) != CAIRO_STATUS_SUCCESS)
            png_error(png, "out of memory");
        unsigned char* bd = cairo_image_surface_get_data(b);
        int bs = cairo_image_surface_get_stride(b);
        for (int y = 0; y < rows; y++) {
            png_read_row(png, row.data(), nullptr);
            auto* bp = reinterpret_cast<uint32_t*>(bd + y * bs);
            for (int x = 0; x < w; x++) {
                uint32_t r = row[x * 4], g = row[x * 4 + 1], bl = row[x * 4 + 2], a = row[x * 4 + 3];
                if (asOpaque)
                    bp[x] = 0xFF000000u | (r << 16) | (g << 8) | bl;
                else
                    bp[x] = (a << 24) | (((r * a + 127) / 255) << 16) | (((g * a + 127) / 255) << 8) |
                            ((bl * a + 127) / 255);
            }
        }
        cairo_surface_mark_dirty(b);
    }
    png_destroy_read_struct(&pngRead, &info, nullptr);
    cache[key] = result;
    return result;
}

void CBitmap::draw(cairo_t* cr, const CRect& dest, double offsetY) const
{
    if (!isLoaded() || broken)
        return;
    if (!pixels || pixelsOpaque != noAlpha) {
        pixels = decoded(resourceId, pngData, pngSize, width, height, noAlpha);
        pixelsOpaque = noAlpha;
        if (!pixels) {
            broken = true;
            return;
        }
    }
    const std::vector<cairo_surface_t*>& bands = pixels->bands;
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.width(), dest.height());
    cairo_clip(cr);
    int first = std::max(0, (int)(offsetY / kBandRows));
    int last = std::min((int)bands.size() - 1, (int)((offsetY + dest.height() - 1) / kBandRows));
    for (int i = first; i <= last; i++) {
        cairo_set_source_surface(cr, bands[i], dest.left, dest.top - offsetY + (double)i * kBandRows);
        cairo_paint(cr);
    }
    cairo_restore(cr);
}
