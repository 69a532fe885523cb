// The effect's link to its editor: creation at the end of construction, the parameter
// updates the editor follows, and the headless screenshot for the renderer tool.
#include "core/Controlsgui.h"
#include "editor/ControlsguiEditor.h"

#include <new>

void Controlsgui::createEditor()
{
    // The editor attaches itself (setEditor) and so sets effFlagsHasEditor; it needs no
    // display until the host opens it. If it cannot be made, the effect has no editor.
    try {
        new ControlsguiEditor(this);
    } catch (...) {
        setEditor(nullptr);
    }
}

void Controlsgui::editorSetParameter(VstInt32 index, float value)
{
    if (auto* e = dynamic_cast<ControlsguiEditor*>(editor))
        e->setParameter(index, value);
}

// Called by vendorSpecific for the private screenshot request.
bool writeEditorScreenshot(AEffEditor* editor, const char* path, float scale)
{
    auto* e = dynamic_cast<ControlsguiEditor*>(editor);
    return e && e->writeScreenshot(path, scale);
}
