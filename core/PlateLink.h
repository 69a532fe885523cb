// PlateLink: what the editor asks of the effect beyond its parameters: the test click on the
// plate and the level-to-plate meter. The effect implements it for the VST 2.4 plug-in; a
// user-interface library that reaches the effect only through a host (LV2) implements it
// with ports.
#pragma once

class PlateLink {
public:
    virtual ~PlateLink() = default;
    // [UI thread] one unit impulse into the plate at the next processed sample.
    virtual void requestPing() = 0;
    // [UI thread reads] the meter value 0..1, rewritten by the effect once per block; read
    // and written whole through std::atomic_ref.
    virtual float* getLevelToPlate() = 0;
};
