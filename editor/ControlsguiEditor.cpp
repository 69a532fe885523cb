// ControlsguiEditor construction, open and close: the window and its 20 controls.
#include "editor/ControlsguiEditor.h"

#include "core/Parameters.h"
#include "core/PlateLink.h"
#include "host/AudioEffect.h"
#include "toolkit/CAnimKnob.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"
#include "toolkit/CKickButton.h"
#include "toolkit/COnOffButton.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/CTextLabel.h"

#include <cmath>
#include <cstring>
#include <thread>

namespace {

struct KnobPlace {
    int tag;      // parameter index
    double x, y;  // top-left corner
};

struct MenuPlace {
    int tag;                      // parameter index
    CRect rect;                   // text rectangle
    CFontDesc font;               // face and size
    CColor color;                 // text colour
};

// The selectors' menus; their entries are the parameters' own (selectorEntries).
const MenuPlace kMenus[4] = {
    {kMode, {350, 512, 550, 532}, kNormalFontBig, {0, 0, 0, 255}},
    {kModMode, {555, 823, 620, 848}, kNormalFont, {0, 0, 0, 255}},
    {kPlateType, {10, 387, 174, 402}, kNormalFontVeryBig, {100, 100, 100, 255}},
    {kInputStage, {534, 398, 694, 413}, kNormalFont, {0, 0, 0, 255}},
};

} // namespace

ControlsguiEditor::ControlsguiEditor(AudioEffect* effect, std::optional<double> hostScale)
    : AEffGUIEditor(effect), plate(dynamic_cast<PlateLink*>(effect)), scaleChoice(hostScale)
{
    std::strcpy(displayText, "---");
    frame = nullptr;
    lastMeterUpdate = 0;
    background = new CBitmap(101);
    applyZoom(1.0);  // chosen when the host first asks for the rectangle or opens
    setKnobMode(kLinearMode);
}

ControlsguiEditor::~ControlsguiEditor()
{
    retireControls();
    delete frame;  // before the background it shows
    frame = nullptr;
    background->forget();
}

bool ControlsguiEditor::open(void* ptr)
{
    if (frame)  // a second open without a close: keep the one window
        return ptr == systemWindow;
    if (!ptr)
        return false;
    return build(ptr);
}

bool ControlsguiEditor::openHeadless()
{
    if (frame)
        return frame->isHeadless();
    return build(nullptr);
}

bool ControlsguiEditor::build(void* parentWindow)
{
    if (!background->isLoaded())
        return false;
    if (!zoomChosen && parentWindow)  // a host that opens without asking for the size
        applyZoom(scaleChoice.resolve());
    auto* newFrame = new CFrame(CRect(0, 0, kUnitsWide, kUnitsHigh), parentWindow, this, parentWindow ? zoom : 1.0);
    if (!newFrame->isValid()) {  // no display or a bad window: nothing changes
        delete newFrame;
        return false;
    }
    AEffGUIEditor::open(parentWindow);
    newFrame->setBackground(background);
    std::strcpy(displayText, "---");

    auto addKnob = [&](int tag, double x, double y, CBitmap* strip, int frames) {
        double frameHeight = (double)strip->getHeight() / frames;
        auto* knob = new CAnimKnob(CRect(x, y, x + strip->getWidth(), y + frameHeight), this, tag, frames,
                                   frameHeight, strip);
        knob->setValue(effect->getParameter(tag));
        newFrame->addView(knob);
        return knob;
    };

    CBitmap* bigKnob = new CBitmap(107);
    bigKnob->setNoAlpha(false);
    knobs[kGain] = addKnob(kGain, 15, 550, bigKnob, 261);
    knobs[kVolume] = addKnob(kVolume, 728, 550, bigKnob, 261);
    bigKnob->forget();

    CBitmap* timeStrip = new CBitmap(109);
    timeStrip->setNoAlpha(false);
    knobs[kLength] = addKnob(kLength, 223, 546, timeStrip, 61);
    timeStrip->forget();

    CBitmap* mixKnob = new CBitmap(111);
    mixKnob->setNoAlpha(false);
    knobs[kMix] = addKnob(kMix, 627, 550, mixKnob, 261);
    mixKnob->forget();

    CBitmap* smallKnob = new CBitmap(106);
    smallKnob->setNoAlpha(false);
    const KnobPlace smallKnobs[] = {
        {kWidth, 603, 619}, {kHipass, 207, 746}, {kLowpass, 329, 746},
        {kPreDel, 45, 746}, {kModVel, 479, 746}, {kModAmp, 603, 746},
    };
    for (const KnobPlace& k : smallKnobs)
        knobs[k.tag] = addKnob(k.tag, k.x, k.y, smallKnob, 261);
    smallKnob->forget();

    CBitmap* powerStrip = new CBitmap(110);
    powerSwitch = new COnOffButton(CRect(752, 760, 860, 841), this, kPower, powerStrip, 0);
    powerSwitch->setValue(effect->getParameter(kPower));
    powerSwitch->setDefaultValue(0.0f);
    newFrame->addView(powerSwitch);
    powerStrip->forget();

    CBitmap* meterStrip = new CBitmap(108);
    levelMeter = addKnob(kMeterTag, 389, 573, meterStrip, 261);
    meterStrip->forget();

    for (int i = 0; i < 4; i++) {
        const MenuPlace& m = kMenus[i];
        auto* menu = new COptionMenu(m.rect, this, m.tag, nullptr, nullptr, k3DIn);
        menu->setFont(m.font);
        menu->setFontColor(m.color);
        menu->setBackColor(kTransparentCColor);
        menu->setFrameColor(kTransparentCColor);
        menu->setHoriAlign(kCenterText);
        const SelectorEntries entries = selectorEntries(m.tag);
        for (int e = 0; e < entries.count; e++)
            menu->addEntry(entries.texts[e], e);
        showMenuValue(menu, effect->getParameter(m.tag));
        newFrame->addView(menu);
        menus[i] = menu;
    }

    valueDisplay = new CTextLabel(CRect(10, 502, 174, 517), displayText, nullptr, 0);
    valueDisplay->setFont(kNormalFont);
    valueDisplay->setFontColor(kBlackCColor);
    valueDisplay->setBackColor(kTransparentCColor);
    valueDisplay->setFrameColor(kTransparentCColor);
    valueDisplay->setHoriAlign(kLeftText);
    newFrame->addView(valueDisplay);

    pingArea = new CKickButton(CRect(398, 76, 806, 318), this, kPingTag, 0, nullptr);
    newFrame->addView(pingArea);

    CBitmap* upStrip = new CBitmap(104);
    upButton = new CKickButton(CRect(279, 528, 279 + 48, 528 + 94 / 2), this, kUpTag, 47, upStrip);
    newFrame->addView(upButton);
    upStrip->forget();

    CBitmap* downStrip = new CBitmap(105);
    downButton = new CKickButton(CRect(277, 665, 277 + 48, 665 + 94 / 2), this, kDownTag, 47, downStrip);
    newFrame->addView(downButton);
    downStrip->forget();

    addZoomMenu(newFrame);

    frame = newFrame;  // from here on the editor counts as open
    controlsReady.store(true);
    if (!frame->isHeadless())  // show the window at once; a headless frame draws on demand
        frame->redraw();
    return true;
}

void ControlsguiEditor::retireControls()
{
    // Sequentially consistent on both sides: either a setter sees controlsReady cleared, or
    // this loop sees the setter counted in and waits the few instructions it needs.
    controlsReady.store(false);
    while (settersInside.load() != 0)
        std::this_thread::yield();
}

void ControlsguiEditor::close()
{
    retireControls();
    CFrame* old = frame;
    frame = nullptr;
    zoomChosen = false;  // the next open chooses again
    delete old;  // destroys every control
    AEffGUIEditor::close();
}

bool ControlsguiEditor::writeScreenshot(const char* path, double scale)
{
    if (!path || !*path || !(scale >= 0) || !std::isfinite(scale))
        return false;
    if (frame)
        return (scale == 0 || EditorScale::hold(scale) == frame->getScale()) && frame->writePng(path);
    const bool chosen = zoomChosen;
    const double keep = zoom;
    if (!openHeadless())
        return false;
    bool ok = frame->setScale(scale == 0 ? 1.0 : EditorScale::hold(scale)) && frame->writePng(path);
    close();
    zoomChosen = chosen;  // the host's next open is not affected
    applyZoom(keep);
    return ok;
}
