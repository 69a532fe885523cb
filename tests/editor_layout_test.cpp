// The editor's window as the host and the eye see it: construction without a display, the
// 20 controls where they belong, knob frames chosen from the values (checked on the drawn
// pixels against the committed strips), the menus' entries, reopening, and screenshots.
#include "tests/support/editor_harness.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/CTextLabel.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kResources = std::string(LUSTRANA_SOURCE_DIR) + "/resources/";
const std::string kArtifacts = std::string(LUSTRANA_BINARY_DIR) + "/artifacts/";

std::string currentText(COptionMenu* m) { return m->getEntry((int)m->getCurrent()); }

} // namespace

TEST(EditorLayout, ScreenshotOfTheDefaultProgram)
{
    EditorHarness h;
    std::filesystem::create_directories(kArtifacts);
    std::string path = kArtifacts + "editor-headless.png";
    EXPECT_EQ(h.dispatch(effVendorSpecific, vstFourCC('L', 'u', 'S', 't'), vstFourCC('S', 'h', 'o', 't'),
                         (void*)path.c_str()),
              1);
    EXPECT_FALSE(h.editor().isOpen()) << "the screenshot leaves a closed editor closed";
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 900);
    EXPECT_EQ(cairo_image_surface_get_height(s), 851);
    cairo_surface_destroy(s);
}
