// ControlsguiEditor's zoom: the rectangle the host gets, the right-click menu, and a change
// of zoom while the window is open.
#include "editor/ControlsguiEditor.h"

#include "host/AudioEffectX.h"
#include "toolkit/CFrame.h"
#include "toolkit/COptionMenu.h"

#include <cstdio>

void ControlsguiEditor::applyZoom(double factor)
{
    zoom = EditorScale::hold(factor);
    rect.top = 0;
    rect.left = 0;
    rect.right = (VstInt16)CFrame::pixelsOf(kUnitsWide, zoom);
    rect.bottom = (VstInt16)CFrame::pixelsOf(kUnitsHigh, zoom);
}

bool ControlsguiEditor::getRect(ERect** r)
{
    if (!frame) {
        applyZoom(scaleChoice.resolve());
        zoomChosen = true;
    }
    return AEffGUIEditor::getRect(r);
}

void ControlsguiEditor::addZoomMenu(CFrame* newFrame)
{
    auto* menu = new COptionMenu(CRect(), this, kZoomTag, nullptr, nullptr, k3DIn);
    menu->setFont(kNormalFont);
    for (int i = 0; i < EditorScale::kChoiceCount; i++) {
        char text[32];
        std::snprintf(text, sizeof text, "Zoom %d %%", (int)(EditorScale::kChoices[i] * 100 + 0.5));
        menu->addEntry(text, i);
    }
    menu->setCurrent(EditorScale::nearestChoice(newFrame->getScale()));
    newFrame->setContextMenu(menu);
}

void ControlsguiEditor::chooseZoom(double factor)
{
    factor = EditorScale::hold(factor);
    EditorScale::remember(factor);  // a file that cannot be written leaves the choice to this window
    if (!frame) {
        applyZoom(factor);
        return;
    }
    if (COptionMenu* menu = frame->getContextMenu())
        menu->setCurrent(EditorScale::nearestChoice(factor));
    if (factor == frame->getScale())
        return;
    if (!frame->isHeadless()) {
        // the host's window must follow, or the zoom waits for the next open
        auto* host = dynamic_cast<AudioEffectX*>(effect);
        char sizeWindow[] = "sizeWindow";
        if (!host || host->canHostDo(sizeWindow) != 1 ||
            !host->sizeWindow(CFrame::pixelsOf(kUnitsWide, factor), CFrame::pixelsOf(kUnitsHigh, factor)))
            return;
    }
    if (frame->setScale(factor)) {
        applyZoom(factor);
        frame->redraw();
    }
}

void ControlsguiEditor::beginEdit(long tag)
{
    if (tag != kZoomTag)
        AEffGUIEditor::beginEdit(tag);
}

void ControlsguiEditor::endEdit(long tag)
{
    if (tag != kZoomTag)
        AEffGUIEditor::endEdit(tag);
}
