// The effect's link to its editor in builds that carry no editor (the LV2 DSP library, whose
// editor lives in a user-interface library of its own): the effect is made without one, and
// nothing in these builds needs a display, cairo or the widget layer.
#include "core/Controlsgui.h"

void Controlsgui::createEditor()
{
    setEditor(nullptr);
}

void Controlsgui::editorSetParameter(VstInt32, float)
{
}

bool writeEditorScreenshot(AEffEditor*, const char*, float)
{
    return false;
}
