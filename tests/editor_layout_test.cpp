// The editor's window as the host and the eye see it: construction without a display, the
// 20 controls where they belong, knob frames chosen from the values (checked on the drawn
// pixels against the committed strips), the menus' entries, reopening, and screenshots.
#include "tests/support/editor_harness.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/CKickButton.h"
#include "toolkit/COnOffButton.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/CTextLabel.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

namespace {

const std::string kResources = std::string(LUSTRANA_SOURCE_DIR) + "/resources/";
const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";

std::string currentText(COptionMenu* m)
{
    const char* t = m->getEntry((int)m->getCurrent());
    return t ? t : "(none)";
}

// Sum of absolute channel differences between the drawn rectangle and frame `index` of
// `strip` laid over `background` (straight alpha, as the PNG files store it).
double frameError(EditorHarness& h, const RgbaImage& strip, int frames, int index, const RgbaImage& background,
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
            uint32_t drawn = reinterpret_cast<const uint32_t*>(data + (top + y) * stride)[left + x];
            double a = fg[3] / 255.0;
            for (int c = 0; c < 3; c++) {
                double expected = fg[c] * a + bg[c] * (1 - a);
                double got = (drawn >> (16 - 8 * c)) & 0xFF;
                error += std::fabs(expected - got);
            }
        }
    return error / (strip.width * fh * 3);
}

} // namespace

TEST(EditorLayout, ConstructsAndReportsItsSizeWithoutADisplay)
{
    unsetenv("DISPLAY");
    EditorHarness h;
    EXPECT_TRUE(h.effect().getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(h.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 851);
    EXPECT_EQ(rect->right, 900);
    // no display, then no parent at all: refused, and the editor stays closed
    EXPECT_EQ(h.dispatch(effEditOpen, 0, 0, (void*)(uintptr_t)0x400001), 0);
    EXPECT_EQ(h.dispatch(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_FALSE(h.editor().isOpen());
    h.dispatch(effEditIdle);
    h.dispatch(effEditClose);
}

TEST(EditorLayout, TwentyControlsInTheirPlaces)
{
    EditorHarness h;
    CFrame& f = h.frame();
    struct Row {
        long tag;
        const char* kind;
        CRect rect;
    } rows[] = {
        {0, "knob", {15, 550, 163, 682}},     {1, "knob", {728, 550, 876, 682}},
        {6, "knob", {223, 546, 262, 688}},    {11, "knob", {627, 550, 665, 584}},
        {2, "knob", {603, 619, 695, 705}},    {3, "knob", {207, 746, 299, 832}},
        {4, "knob", {329, 746, 421, 832}},    {5, "knob", {45, 746, 137, 832}},
        {9, "knob", {479, 746, 571, 832}},    {10, "knob", {603, 746, 695, 832}},
        {16, "switch", {752, 760, 860, 841}}, {18, "knob", {389, 573, 513, 653}},
        {12, "menu", {350, 512, 550, 532}},   {13, "menu", {555, 823, 620, 848}},
        {14, "menu", {10, 387, 174, 402}},    {15, "menu", {534, 398, 694, 413}},
        {-1, "label", {10, 502, 174, 517}},   {21, "kick", {398, 76, 806, 318}},
        {19, "kick", {279, 528, 327, 575}},   {20, "kick", {277, 665, 325, 712}},
    };
    ASSERT_EQ(f.getNbViews(), 20);
    for (int i = 0; i < 20; i++) {
        CControl* c = f.getView(i);
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(c->getTag(), rows[i].tag);
        std::string kind = dynamic_cast<CAnimKnob*>(c)      ? "knob"
                           : dynamic_cast<COnOffButton*>(c) ? "switch"
                           : dynamic_cast<COptionMenu*>(c)  ? "menu"
                           : dynamic_cast<CTextLabel*>(c)   ? "label"
                           : dynamic_cast<CKickButton*>(c)  ? "kick"
                                                            : "?";
        EXPECT_EQ(kind, rows[i].kind);
        const CRect& r = c->getViewSize();
        EXPECT_EQ(r.left, rows[i].rect.left);
        EXPECT_EQ(r.top, rows[i].rect.top);
        EXPECT_EQ(r.right, rows[i].rect.right);
        EXPECT_EQ(r.bottom, rows[i].rect.bottom);
    }
    EXPECT_EQ(dynamic_cast<CTextLabel*>(f.getView(16))->getText(), "---");
}

TEST(EditorLayout, KnobsShowTheFrameTheirValueSelects)
{
    RgbaImage background, timeStrip, bigKnob, silverKnob;
    ASSERT_TRUE(background.load(kResources + "101.png"));
    ASSERT_TRUE(timeStrip.load(kResources + "109.png"));
    ASSERT_TRUE(bigKnob.load(kResources + "107.png"));
    ASSERT_TRUE(silverKnob.load(kResources + "111.png"));
    EditorHarness h;
    h.frame();
    // the opaque decay-time strip is drawn exactly
    for (auto [value, expected] : {std::pair{0.5f, 30}, {1.0f, 60}, {0.0f, 0}, {0.999f, 59}}) {
        h.effect().setParameter(kLength, value);
        EXPECT_LT(frameError(h, timeStrip, 61, expected, background, 223, 546), 0.01) << value;
        EXPECT_GT(frameError(h, timeStrip, 61, expected == 0 ? 1 : expected - 1, background, 223, 546), 0.5);
    }
    // alpha knobs: the best match among neighbouring frames is the selected one
    auto bestFrame = [&](const RgbaImage& strip, int frames, int left, int top, int around) {
        int best = -1;
        double bestError = 1e9;
        for (int i = std::max(0, around - 2); i <= std::min(frames - 1, around + 2); i++) {
            double e = frameError(h, strip, frames, i, background, left, top);
            if (e < bestError) {
                bestError = e;
                best = i;
            }
        }
        EXPECT_LT(bestError, 1.0);
        return best;
    };
    h.effect().setParameter(kGain, 0.5f);
    EXPECT_EQ(bestFrame(bigKnob, 261, 15, 550, 130), 130);
    h.effect().setParameter(kVolume, 0.25f);
    EXPECT_EQ(bestFrame(bigKnob, 261, 728, 550, 65), 65);
    h.effect().setParameter(kMix, 1.0f);
    EXPECT_EQ(bestFrame(silverKnob, 261, 627, 550, 259), 260);
    h.effect().setParameter(kMix, 2.0f);  // out of range: the strip's end, not past it
    EXPECT_EQ(bestFrame(silverKnob, 261, 627, 550, 259), 260);
}

TEST(EditorLayout, MenusShowTheEntryOfTheirValue)
{
    EditorHarness h;
    h.effect().setParameter(kMode, 0.3f);
    h.effect().setParameter(kInputStage, 0.1f);
    h.effect().setParameter(kPlateType, 0.4f);
    h.effect().setParameter(kModMode, 0.2f);
    EXPECT_EQ(currentText(h.menu(kMode)), "Cross Split Stereo") << "set before open";
    EXPECT_EQ(currentText(h.menu(kInputStage)), "Solid State");
    EXPECT_EQ(currentText(h.menu(kPlateType)), "Elastic");
    EXPECT_EQ(currentText(h.menu(kModMode)), "Phase");
    struct Case {
        float value;
        const char* shown;
    } cases[] = {
        {0.27f, "Cross Split Stereo"},   // 0.27 + 0.03 reaches entry 3
        {0.26f, "True Stereo"},          // entry 2
        {0.5f, "Follow the source"},
        {0.6f, "Stereo->Mono->Stereo"},  // past the last entry: trunc(0.6) = entry 0 stays
        {1.0f, "Split Stereo"},          // trunc(1) = entry 1; entry 10 does not exist
        {0.0f, "Stereo->Mono->Stereo"},
    };
    for (const Case& c : cases) {
        h.effect().setParameter(kMode, c.value);
        EXPECT_EQ(currentText(h.menu(kMode)), c.shown) << c.value;
    }
    h.effect().setParameter(kMode, 0.3f);
    h.effect().setParameter(kMode, 7.5f);  // names no entry at all: nothing changes
    EXPECT_EQ(currentText(h.menu(kMode)), "Cross Split Stereo");
    h.effect().setParameter(kMode, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(currentText(h.menu(kMode)), "Cross Split Stereo");
    h.effect().setParameter(kInputStage, 1.0f);
    EXPECT_EQ(currentText(h.menu(kInputStage)), "Solid State");
    h.effect().setParameter(kInputStage, 0.2f);  // entry 2 does not exist: entry trunc(0.2) = 0
    EXPECT_EQ(currentText(h.menu(kInputStage)), "Tube Stage");
}

TEST(EditorLayout, ReopeningStartsFromTheEffectsValues)
{
    EditorHarness h;
    h.effect().setParameter(kWidth, 0.2f);
    h.frame();
    h.drag(649, 660, 649, 620);  // WIDTH up by 40 pixels
    EXPECT_STREQ(h.editor().getDisplayText(), "Width 40.00");
    h.dispatch(effEditClose);
    EXPECT_FALSE(h.editor().isOpen());
    h.effect().setParameter(kGain, 0.8f);  // while closed: nothing to show, nothing breaks
    h.effect().setParameter(kMode, 0.2f);
    h.dispatch(effEditIdle);
    EXPECT_EQ(h.control(kGain)->getValue(), 0.8f);
    EXPECT_FLOAT_EQ(h.control(kWidth)->getValue(), 0.4f);
    EXPECT_EQ(currentText(h.menu(kMode)), "True Stereo");
    EXPECT_STREQ(h.editor().getDisplayText(), "---");
    EXPECT_EQ(dynamic_cast<CTextLabel*>(h.control(-1))->getText(), "---");
}

TEST(EditorLayout, ClosingWithAMenuOpenAndSeveralEditorsAtOnce)
{
    EditorHarness a;
    a.click(450, 522);  // opens the routing menu's list
    ASSERT_NE(a.frame().getOverlay(), nullptr);
    a.dispatch(effEditClose);
    EXPECT_FALSE(a.editor().isOpen());
    EditorHarness b;
    a.frame();
    b.frame();
    b.click(450, 522);
    for (int i = 0; i < 3; i++) {
        a.dispatch(effEditIdle);
        b.dispatch(effEditIdle);
    }
    b.dispatch(effEditClose);
    a.dispatch(effEditClose);
}

TEST(EditorLayout, ScreenshotRequest)
{
    EditorHarness h;
    std::filesystem::create_directories(kArtifacts);
    std::string path = kArtifacts + "editor-headless.png";
    std::filesystem::remove(path);
    const VstInt32 lust = vstFourCC('L', 'u', 'S', 't'), shot = vstFourCC('S', 'h', 'o', 't');
    EXPECT_EQ(h.dispatch(effVendorSpecific, lust, shot, (void*)path.c_str()), 1);
    EXPECT_FALSE(h.editor().isOpen()) << "the screenshot leaves a closed editor closed";
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 900);
    EXPECT_EQ(cairo_image_surface_get_height(s), 851);
    cairo_surface_destroy(s);
    EXPECT_EQ(h.dispatch(effVendorSpecific, lust, shot, nullptr), 0);
    EXPECT_EQ(h.dispatch(effVendorSpecific, lust, shot, (void*)"/nonexistent-folder/x.png"), 0);
    EXPECT_EQ(h.dispatch(effVendorSpecific, lust, vstFourCC('S', 'h', 'o', 'x'), (void*)path.c_str()), 0);
    // while open, the picture shows the live window, and the window stays open
    h.frame();
    EXPECT_EQ(h.dispatch(effVendorSpecific, lust, shot, (void*)path.c_str()), 1);
    EXPECT_TRUE(h.editor().isOpen());
}
