// The exported entry: one function under the two names hosts look for, VSTPluginMain and
// main. Nothing else leaves the library (hidden visibility and a version script).
#include "core/Controlsgui.h"

#include <new>

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (!host)
        return nullptr;
    try {
        if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;
        Controlsgui* effect = new (std::nothrow) Controlsgui(host);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

// The same code under the name main: an alias, so both names share one address.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect*
vstMainAlias(audioMasterCallback host) asm("main");
