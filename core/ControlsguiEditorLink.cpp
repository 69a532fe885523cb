// The effect's link to its editor: creation at the end of construction, and the parameter
// updates the editor follows.
#include "core/Controlsgui.h"

void Controlsgui::createEditor()
{
}

void Controlsgui::editorSetParameter(VstInt32, float)
{
}
