// Keeps the editor tests away from the user's own editor settings: XDG_CONFIG_HOME points at
// a fresh temporary folder (removed when the test program ends) and LUSTRANA_SCALE is unset.
#pragma once

#include <string>

// Returns the new XDG_CONFIG_HOME; the editor's file is <it>/lustrana/editor.conf.
std::string isolateEditorSettings();
