// The zoomed editor's pixels: the layout under the pointer at every zoom, the 2× strips'
// frames, and the 2× picture's fine detail against the 1× one enlarged. Headless, with the
// editor linked in, and through the renderer, which loads the plug-in file.
#include "tests/support/editor_harness.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";
const double kZooms[] = {0.75, 1.0, 1.25, 1.5, 2.0};

int pixels(double units, double zoom) { return (int)std::lround(units * zoom); }

} // namespace

namespace {

// Energy of the differences between neighbouring pixels' luminance in a region.
double detail(const RgbaImage& image, int left, int top, int right, int bottom)
{
    auto lum = [&](int x, int y) {
        const uint8_t* p = image.at(x, y);
        return 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
    };
    double sum = 0;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++) {
            double dx = lum(x + 1, y) - lum(x, y), dy = lum(x, y + 1) - lum(x, y);
            sum += dx * dx + dy * dy;
        }
    return sum / ((double)(right - left) * (bottom - top));
}

bool upscale(const std::string& from, const std::string& to)
{
    cairo_surface_t* small = cairo_image_surface_create_from_png(from.c_str());
    int w = cairo_image_surface_get_width(small), h = cairo_image_surface_get_height(small);
    cairo_surface_t* big = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2 * w, 2 * h);
    cairo_t* cr = cairo_create(big);
    cairo_scale(cr, 2, 2);
    cairo_set_source_surface(cr, small, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_status(small) == CAIRO_STATUS_SUCCESS &&
              cairo_surface_write_to_png(big, to.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(big);
    cairo_surface_destroy(small);
    return ok;
}

} // namespace

// The renderer's --scale 2 picture is drawn at 2×, not the 1× one enlarged: the GAIN knob's
// scale numerals and ticks carry far more fine detail than in the 1× picture scaled up.
TEST(EditorZoomPixels, TheRenderersTwiceSizeScreenshotIsDrawnAtTwiceTheDetail)
{
    std::filesystem::create_directories(kArtifacts);
    const std::string render = std::string(LUSTRANA_BINARY_DIR) + "/tools/lustrana-render";
    const std::string one = kArtifacts + "editor-100.png", two = kArtifacts + "editor-200.png";
    ASSERT_EQ(std::system((render + " --screenshot " + one + " 2>/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((render + " --screenshot " + two + " --scale 2 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((render + " --scale 2 --list >/dev/null 2>&1").c_str()), 0) << "--scale needs --screenshot";
    ASSERT_TRUE(upscale(one, kArtifacts + "editor-100-enlarged.png"));
    RgbaImage drawn, enlarged;
    ASSERT_TRUE(drawn.load(two));
    ASSERT_TRUE(enlarged.load(kArtifacts + "editor-100-enlarged.png"));
    ASSERT_EQ(drawn.width, 1800);
    ASSERT_EQ(drawn.height, 1702);
    // the scale around GAIN: numerals 0 … 10 and the ticks, units 20 … 160 × 560 … 700
    double sharp = detail(drawn, 40, 1120, 320, 1400), soft = detail(enlarged, 40, 1120, 320, 1400);
    std::printf("detail around GAIN: drawn at 2x %.1f, 1x enlarged %.1f\n", sharp, soft);
    EXPECT_GT(sharp, 2 * soft);
}

// The same layout under the pointer at every zoom, on a headless frame of the linked editor:
// the plate pings, and the pixels of a knob's drag are worth the same value.
TEST(EditorZoomPixels, PointerPositionsScaleWithTheFrame)
{
    EditorHarness h;
    for (double z : kZooms) {
        SCOPED_TRACE("zoom " + std::to_string(z));
        ASSERT_TRUE(h.frame().setScale(z));
        EXPECT_EQ(h.frame().getPixelWidth(), pixels(900, z));
        const double sx = h.frame().getPixelWidth() / 900.0, sy = h.frame().getPixelHeight() / 851.0;
        int pings = h.effect().pings;
        h.click(600 * sx, 150 * sy);
        EXPECT_EQ(h.effect().pings, pings + 1);
        h.click(390 * sx, 150 * sy);  // left of the sheet
        EXPECT_EQ(h.effect().pings, pings + 1);
        h.effect().setParameter(kWidth, 0.2f);
        h.drag(649 * sx, 660 * sy, 649 * sx, (660 - 40) * sy);
        EXPECT_NEAR(h.effect().getParameter(kWidth), 0.4f, 1e-5);
        h.frame().redraw();
        // the background's panel is where it belongs in the picture
        EXPECT_GT((h.pixel((int)(450 * sx), (int)(720 * sy)) >> 16) & 0xFF, 180u);
    }
}

namespace {

// Mean channel difference between the drawn 2× picture of a 1× rectangle, averaged down by
// 2 × 2 pixels, and frame `index` of the 1× strip laid over the 1× background.
double halvedError(EditorHarness& h, const RgbaImage& strip, int frames, int index, const RgbaImage& background,
                   int left, int top)
{
    int fh = strip.height / frames;
    h.frame().redraw();
    cairo_surface_t* s = h.frame().getSurface();
    const uint8_t* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    double error = 0;
    for (int y = 0; y < fh; y++)
        for (int x = 0; x < strip.width; x++) {
            const uint8_t* fg = strip.at(x, index * fh + y);
            const uint8_t* bg = background.at(left + x, top + y);
            double a = fg[3] / 255.0;
            for (int c = 0; c < 3; c++) {
                double got = 0;
                for (int dy = 0; dy < 2; dy++)
                    for (int dx = 0; dx < 2; dx++) {
                        uint32_t p = reinterpret_cast<const uint32_t*>(
                            data + (2 * (top + y) + dy) * stride)[2 * (left + x) + dx];
                        got += (p >> (16 - 8 * c)) & 0xFF;
                    }
                error += std::fabs(fg[c] * a + bg[c] * (1 - a) - got / 4);
            }
        }
    return error / (strip.width * fh * 3);
}

} // namespace

// At 200 % the knobs, the meter and the decay scale show, from their 2× strips (stored eight
// frames to a row), the frame their value selects: the picture halved matches that 1×
// frame, and not its neighbours a few frames off.
TEST(EditorZoomPixels, TwiceSizeStripsShowTheFrameTheValueSelects)
{
    const std::string res = std::string(LUSTRANA_SOURCE_DIR) + "/resources/";
    RgbaImage background, big, small, meter, decay;
    ASSERT_TRUE(background.load(res + "101.png"));
    ASSERT_TRUE(big.load(res + "107.png"));
    ASSERT_TRUE(small.load(res + "106.png"));
    ASSERT_TRUE(meter.load(res + "108.png"));
    ASSERT_TRUE(decay.load(res + "109.png"));
    EditorHarness h;
    ASSERT_TRUE(h.frame().setScale(2.0));
    struct Case {
        int tag;
        float value;
        const RgbaImage& strip;
        int frames, left, top, apart;
    } cases[] = {
        {kGain, 0.5f, big, 261, 15, 550, 6},      {kVolume, 0.9f, big, 261, 728, 550, 6},
        {kHipass, 0.25f, small, 261, 207, 746, 8}, {kLength, 0.75f, decay, 61, 223, 546, 2},
        {kLength, 1.0f, decay, 61, 223, 546, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tag " + std::to_string(c.tag) + " at " + std::to_string(c.value));
        h.effect().setParameter(c.tag, c.value);
        int frame = (int)(c.value * (c.frames - 1));
        double at = halvedError(h, c.strip, c.frames, frame, background, c.left, c.top);
        EXPECT_LT(at, 5.0);  // the two densities' edges are antialiased apart
        for (int other : {frame - c.apart, frame + c.apart}) {
            if (other < 0 || other >= c.frames)
                continue;
            EXPECT_GT(halvedError(h, c.strip, c.frames, other, background, c.left, c.top), at * 1.5) << other;
        }
    }
    // the meter needle, driven by the level (tag 18)
    h.effect().level = 0.6f;
    EditorHarness::now += 100;
    h.dispatch(effEditIdle);
    double at = halvedError(h, meter, 261, 156, background, 389, 573);
    EXPECT_LT(at, 5.0);
    EXPECT_GT(halvedError(h, meter, 261, 146, background, 389, 573), at * 1.5);
}
