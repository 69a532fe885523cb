// The editor at run time, driven by mouse events through the widget layer: what the effect
// stores, what the host hears (automation and the edit brackets), the read-out texts, the
// decay-time buttons, the plate click, the menus, and the meter on a fake clock.
#include "tests/support/editor_harness.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/CKickButton.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/CTextLabel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kGainX = 89, kGainY = 612;  // GAIN knob centre
constexpr double kUpX = 303, kUpY = 551;     // UP button centre
constexpr double kDownX = 301, kDownY = 688; // DOWN button centre

std::string readOut(EditorHarness& h) { return dynamic_cast<CTextLabel*>(h.control(-1))->getText(); }

// The host's view of one gesture: begin-edit first, end-edit last, with this tag.
void expectBracketed(const std::vector<HostCall>& calls, VstInt32 tag)
{
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.front().index, tag);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(calls.back().index, tag);
}

// Centre of entry `i` of the open list of `m`.
CPoint entryCentre(COptionMenu* m, int i)
{
    CRect r = m->getPopupRect();
    double row = (r.height() - 8) / m->getNbEntries();
    return {(r.left + r.right) / 2, r.top + 4 + (i + 0.5) * row};
}

} // namespace

TEST(EditorBehaviour, DraggingAKnobWritesItsParameterInsideOneGesture)
{
    EditorHarness h;
    h.effect().setParameter(kGain, 0.2f);
    h.frame();
    h.clearCalls();
    h.drag(kGainX, kGainY, kGainX, kGainY - 100);  // 100 pixels up: half the range
    std::vector<HostCall> calls = h.calls();
    expectBracketed(calls, kGain);
    std::vector<HostCall> automation = h.callsOf(audioMasterAutomate);
    ASSERT_EQ(automation.size(), 10u) << "one write per step of the drag";
    for (const HostCall& c : automation)
        EXPECT_EQ(c.index, kGain);
    EXPECT_NEAR(automation.back().opt, 0.7f, 1e-6);
    EXPECT_EQ(h.effect().getParameter(kGain), automation.back().opt);
    EXPECT_EQ(h.control(kGain)->getValue(), h.effect().getParameter(kGain));
    char expected[64];
    std::snprintf(expected, sizeof expected, "Input Gain %.2fdB", 20 * std::log10(2 * 0.7));
    EXPECT_EQ(readOut(h), expected);

    h.clearCalls();
    h.press(kGainX, kGainY);  // the window closes in the middle of a drag
    h.moveTo(kGainX, kGainY - 10);
    h.dispatch(effEditClose);
    expectBracketed(h.calls(), kGain);
    h.effect().setParameter(kGain, 0.7f);

    h.drag(kGainX, kGainY, kGainX + 40, kGainY);  // right increases as well
    EXPECT_NEAR(h.effect().getParameter(kGain), 0.9f, 1e-6);
    h.drag(kGainX, kGainY, kGainX - 50, kGainY + 400);  // far down: stops at 0
    EXPECT_EQ(h.effect().getParameter(kGain), 0.0f);
    EXPECT_EQ(readOut(h), "Input Gain -oo");
}

TEST(EditorBehaviour, ReadOutTexts)
{
    EditorHarness h;
    struct Case {
        long tag;
        float value;
        const char* text;
    } cases[] = {
        {kGain, 0.0f, "Input Gain -oo"},
        {kGain, 0.5f, "Input Gain 0.00dB"},
        {kGain, 1.0f, "Input Gain 6.02dB"},
        {kGain, 0.00005f, "Input Gain -oo"},  // 2 v is exactly 0.0001: not above it
        {kGain, 0.0000501f, "Input Gain -79.98dB"},
        {kVolume, 0.25f, "Output Gain -6.02dB"},
        {kVolume, 0.0f, "Output Gain -oo"},
        {kWidth, 0.5f, "Width 50.00"},
        {kHipass, 0.123f, "Hipass 12.30"},
        {kLowpass, 0.0f, "Lopass 0.00"},
        {kPreDel, 0.75f, "Pre-delay 75.00"},
        {kLength, 0.333f, "Length 33.30"},
        {kModVel, 0.05f, "Mod freq 5.00"},
        {kModAmp, 0.9f, "Modulation 90.00"},
        {kMix, 1.0f, "Dry/Wet Mix 100.00"},
    };
    for (const Case& c : cases) {
        CControl* knob = h.control(c.tag);
        knob->setValue(c.value);
        h.editor().valueChanged(knob);
        EXPECT_EQ(readOut(h), c.text) << c.tag << " at " << c.value;
        EXPECT_EQ(h.effect().getParameter(c.tag), c.value);
    }
    // the effect's own changes, menus, the switch and the buttons leave the read-out alone
    h.effect().setParameter(kWidth, 0.1f);
    h.click(848 - 40, 800);  // power switch
    h.click(kUpX, kUpY);
    EXPECT_EQ(readOut(h), "Dry/Wet Mix 100.00");
}

TEST(EditorBehaviour, UpAndDownStepTheDecayTime)
{
    EditorHarness h;
    h.effect().setParameter(kLength, 0.95f);
    h.frame();
    h.clearCalls();
    h.click(kUpX, kUpY);
    EXPECT_EQ(h.effect().getParameter(kLength), 1.0f);
    expectBracketed(h.calls(), 19);
    h.clearCalls();
    h.click(kUpX, kUpY);  // already at the top: written again, and the host hears it
    ASSERT_EQ(h.callsOf(audioMasterAutomate).size(), 1u);
    EXPECT_EQ(h.callsOf(audioMasterAutomate)[0].index, kLength);
    EXPECT_EQ(h.callsOf(audioMasterAutomate)[0].opt, 1.0f);

    h.effect().setParameter(kLength, 0.05f);
    h.click(kDownX, kDownY);
    EXPECT_EQ(h.effect().getParameter(kLength), 0.0f);

    for (int i = 0; i < 10; i++)
        h.click(kUpX, kUpY);
    EXPECT_EQ(h.effect().getParameter(kLength), 1.0f) << "the single-precision sum is clamped";
    EXPECT_EQ(h.control(kLength)->getValue(), 1.0f);

    // held down: nothing yet, and the button shows its pressed frame only while over it
    h.effect().setParameter(kLength, 0.5f);
    uint32_t released = h.pixel(303, 551);
    h.press(kUpX, kUpY);
    EXPECT_EQ(h.effect().getParameter(kLength), 0.5f);
    EXPECT_NE(h.pixel(303, 551), released);
    h.moveTo(kUpX + 100, kUpY);
    EXPECT_EQ(h.pixel(303, 551), released);
    h.clearCalls();
    h.release(kUpX + 100, kUpY);  // released outside: nothing
    EXPECT_EQ(h.effect().getParameter(kLength), 0.5f);
    EXPECT_TRUE(h.callsOf(audioMasterAutomate).empty());
    EXPECT_EQ(h.pixel(303, 551), released);
}

TEST(EditorBehaviour, ThePlateSendsOnePingPerCompletedClick)
{
    EditorHarness h;
    h.frame();
    h.clearCalls();
    h.click(600, 150);
    EXPECT_EQ(h.effect().pings, 1);
    expectBracketed(h.calls(), 21);
    EXPECT_TRUE(h.callsOf(audioMasterAutomate).empty());
    h.press(600, 150);
    EXPECT_EQ(h.effect().pings, 1) << "pressing alone does nothing";
    h.moveTo(600, 400);
    h.release(600, 400);
    EXPECT_EQ(h.effect().pings, 1) << "released off the plate";
    h.press(600, 150);
    h.moveTo(600, 400);
    h.moveTo(500, 200);
    h.release(500, 200);
    EXPECT_EQ(h.effect().pings, 2) << "left and came back";
    h.click(300, 150);  // the room beside the plate
    EXPECT_EQ(h.effect().pings, 2);
}

TEST(EditorBehaviour, MenusOpenAnOverlayAndWriteTheChosenEntry)
{
    EditorHarness h;
    COptionMenu* mode = h.menu(kMode);
    h.clearCalls();
    h.click(450, 522);
    ASSERT_TRUE(mode->isPopupOpen());
    EXPECT_EQ(h.frame().getOverlay(), mode);
    EXPECT_TRUE(h.callsOf(audioMasterAutomate).empty()) << "opening chooses nothing";
    CRect list = mode->getPopupRect();
    EXPECT_GE(list.left, 0);
    EXPECT_LE(list.right, 900);
    EXPECT_LE(list.bottom, 851);
    CPoint third = entryCentre(mode, 3);
    h.click(third.h, third.v);
    EXPECT_FALSE(mode->isPopupOpen());
    EXPECT_EQ(h.frame().getOverlay(), nullptr);
    EXPECT_EQ(h.effect().getParameter(kMode), 3 * 0.1f);
    expectBracketed(h.calls(), kMode);
    ASSERT_EQ(h.callsOf(audioMasterAutomate).size(), 1u);
    EXPECT_EQ(h.callsOf(audioMasterAutomate)[0].opt, 0.3f);
    EXPECT_STREQ(mode->getEntry((int)mode->getCurrent()), "Cross Split Stereo");

    // a click beside the list closes it and changes nothing
    h.clearCalls();
    h.click(450, 522);
    ASSERT_TRUE(mode->isPopupOpen());
    h.click(20, 20);
    EXPECT_FALSE(mode->isPopupOpen());
    EXPECT_TRUE(h.callsOf(audioMasterAutomate).empty());
    EXPECT_EQ(h.effect().getParameter(kMode), 0.3f);

    // Escape from the host closes an open list
    h.click(450, 522);
    ASSERT_TRUE(mode->isPopupOpen());
    EXPECT_EQ(h.dispatch(effEditKeyDown, 0, AEffGUIEditor::kEscapeKey), 1);
    EXPECT_FALSE(mode->isPopupOpen());
    EXPECT_EQ(h.dispatch(effEditKeyDown, 0, AEffGUIEditor::kEscapeKey), 0) << "nothing left to close";

    // the input stage menu sits on the pre-amplifier; "Solid State" writes 0.1
    COptionMenu* stage = h.menu(kInputStage);
    h.click(614, 405);
    ASSERT_TRUE(stage->isPopupOpen());
    CPoint solid = entryCentre(stage, 1);
    h.click(solid.h, solid.v);
    EXPECT_EQ(h.effect().getParameter(kInputStage), 0.1f);

    // the modulation menu at the bottom edge opens its list above itself
    COptionMenu* mod = h.menu(kModMode);
    h.click(587, 835);
    ASSERT_TRUE(mod->isPopupOpen());
    EXPECT_LT(mod->getPopupRect().bottom, 823);
    CPoint pan = entryCentre(mod, 3);
    h.click(pan.h, pan.v);
    EXPECT_EQ(h.effect().getParameter(kModMode), 3 * 0.1f);
}

TEST(EditorBehaviour, PowerSwitchToggles)
{
    EditorHarness h;
    h.effect().setParameter(kPower, 1.0f);
    h.frame();
    uint32_t lampOn = h.pixel(832, 810);
    h.clearCalls();
    h.click(806, 800);
    EXPECT_EQ(h.effect().getParameter(kPower), 0.0f);
    expectBracketed(h.calls(), kPower);
    EXPECT_NE(h.pixel(832, 810), lampOn);
    h.click(806, 800);
    EXPECT_EQ(h.effect().getParameter(kPower), 1.0f);
    EXPECT_EQ(h.pixel(832, 810), lampOn);
}

TEST(EditorBehaviour, FollowsTheEffectButNotSoundAndTune)
{
    EditorHarness h;
    h.frame();
    h.effect().setParameter(kVolume, 0.25f);
    EXPECT_EQ(h.control(kVolume)->getValue(), 0.25f);
    h.effect().setParameter(kPower, 0.0f);
    EXPECT_EQ(h.control(kPower)->getValue(), 0.0f);
    h.dispatch(effSetProgram, 0, 3);  // a program change reaches every control
    for (int i = 0; i < h.frame().getNbViews(); i++) {
        long tag = h.frame().getView(i)->getTag();
        if (tag >= 0 && tag < 12) {
            EXPECT_EQ(h.frame().getView(i)->getValue(), h.effect().getParameter(tag)) << tag;
        }
    }
    std::vector<uint32_t> before;
    for (int y = 0; y < 851; y += 2)
        for (int x = 0; x < 900; x += 2)
            before.push_back(h.pixel(x, y));
    h.effect().setParameter(kSound, 0.9f);
    h.effect().setParameter(kTune, 0.1f);
    size_t k = 0, changed = 0;
    for (int y = 0; y < 851; y += 2)
        for (int x = 0; x < 900; x += 2)
            changed += before[k++] != h.pixel(x, y);
    EXPECT_EQ(changed, 0u) << "Sound and Tune have no control";
}

TEST(EditorBehaviour, MeterJumpsUpAndFallsTwoTenthsPerSecond)
{
    EditorHarness h;
    EditorHarness::now = 5000;
    h.frame();
    CControl* meter = h.control(18);
    h.effect().level = 0.3f;
    h.dispatch(effEditIdle);
    EXPECT_EQ(meter->getValue(), 0.3f);
    EXPECT_EQ(h.editor().getLastMeterUpdate(), 5000u);

    h.effect().level = 0.8f;
    EditorHarness::now += 60;  // not yet: at most one step per 61 ms
    h.dispatch(effEditIdle);
    EXPECT_EQ(meter->getValue(), 0.3f);
    EditorHarness::now += 1;
    h.dispatch(effEditIdle);
    EXPECT_EQ(meter->getValue(), 0.8f) << "jumps up at once";

    h.effect().level = 0.0f;
    for (int i = 0; i < 10; i++) {  // one second in 100 ms steps
        EditorHarness::now += 100;
        h.dispatch(effEditIdle);
    }
    EXPECT_NEAR(meter->getValue(), 0.6f, 1e-5);
    for (int i = 0; i < 30; i++) {
        EditorHarness::now += 100;
        h.dispatch(effEditIdle);
    }
    EXPECT_LT(meter->getValue(), 1e-5f) << "0.8 of full scale takes 4 seconds";
    EXPECT_GE(meter->getValue(), 0.0f);

    // a fall stops at the level
    h.effect().level = 0.5f;
    EditorHarness::now += 100;
    h.dispatch(effEditIdle);
    h.effect().level = 0.45f;
    EditorHarness::now += 1000;
    h.dispatch(effEditIdle);
    EXPECT_EQ(meter->getValue(), 0.45f);

    // two idle calls 30 ms apart move the needle at most once
    h.effect().level = 0.9f;
    EditorHarness::now += 61;
    h.dispatch(effEditIdle);
    h.effect().level = 1.0f;
    EditorHarness::now += 30;
    h.dispatch(effEditIdle);
    EXPECT_EQ(meter->getValue(), 0.9f);

    // levels past full scale are shown at full scale
    h.effect().level = 3.0f;
    EditorHarness::now += 100;
    h.dispatch(effEditIdle);
    EXPECT_EQ(meter->getValue(), 1.0f);
}

TEST(EditorBehaviour, MeterKeepsMovingWhenTheTickCountWraps)
{
    EditorHarness h;
    EditorHarness::now = 0xFFFFFFC0u;  // also more than 2^31 ms after the editor was made
    h.frame();
    h.effect().level = 0.5f;
    h.dispatch(effEditIdle);
    EXPECT_EQ(h.control(18)->getValue(), 0.5f);
    h.effect().level = 0.7f;
    EditorHarness::now = 0x10;  // 80 ms later, past the wrap
    h.dispatch(effEditIdle);
    EXPECT_EQ(h.control(18)->getValue(), 0.7f);
    h.dispatch(effEditClose);
    EditorHarness::now = 0x1000;  // closed: the clock is still followed
    h.dispatch(effEditIdle);
    EXPECT_EQ(h.editor().getLastMeterUpdate(), 0x1000u);
    EditorHarness::now = 1000;
}

TEST(EditorBehaviour, WheelAndKnobModeFromTheHost)
{
    EditorHarness h;
    h.effect().setParameter(kGain, 0.5f);
    h.frame().mouseMoved({kGainX, kGainY}, 0);
    h.clearCalls();
    const VstInt32 stca = vstFourCC('s', 't', 'C', 'A'), whee = vstFourCC('W', 'h', 'e', 'e');
    EXPECT_EQ(h.dispatch(effVendorSpecific, stca, whee, nullptr, 1.0f), 1);
    EXPECT_NEAR(h.effect().getParameter(kGain), 0.5f + CAnimKnob::kWheelStep, 1e-6);
    expectBracketed(h.calls(), kGain);
    h.frame().mouseMoved({20, 20}, 0);  // over the room: nothing to turn
    EXPECT_EQ(h.dispatch(effVendorSpecific, stca, whee, nullptr, 1.0f), 0);

    // circular mode: the knob follows the pointer's angle around its centre
    EXPECT_EQ(h.dispatch(effSetEditKnobMode, 0, kCircularMode), 1);
    const double cy = (550 + 682) / 2.0;  // the control's centre
    h.drag(kGainX + 10, cy, kGainX, cy - 50);  // straight up from the centre
    EXPECT_NEAR(h.effect().getParameter(kGain), 0.5f, 1e-6);
    h.drag(kGainX + 10, cy, kGainX + 50, cy);  // 3 o'clock: 90 of 270 degrees past the middle
    EXPECT_NEAR(h.effect().getParameter(kGain), 0.5f + 90.0f / 270.0f, 1e-5);
    EXPECT_EQ(h.dispatch(effSetEditKnobMode, 0, kLinearMode), 1);
}
