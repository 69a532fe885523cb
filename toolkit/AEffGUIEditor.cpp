#include "toolkit/AEffGUIEditor.h"

#include "host/AudioEffectX.h"
#include "toolkit/CFrame.h"

int AEffGUIEditor::knobMode = kCircularMode;

AEffGUIEditor::AEffGUIEditor(AudioEffect* e) : AEffEditor(e)
{
    if (effect)
        effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor()
{
    delete frame;
    frame = nullptr;
}

bool AEffGUIEditor::getRect(ERect** r)
{
    if (!r)
        return false;
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr)
{
    systemWindow = ptr;
    return true;
}

void AEffGUIEditor::close()
{
    systemWindow = nullptr;
}

void AEffGUIEditor::idle()
{
    if (frame && !inIdlePump)
        frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& key)
{
    if (frame && frame->getOverlay() && key.virt == kEscapeKey) {
        frame->closeOverlay();
        return true;
    }
    return false;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode&)
{
    return false;
}

bool AEffGUIEditor::onWheel(float distance)
{
    return frame ? frame->onWheel(distance) : false;
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode)
{
    knobMode = (int)mode;
    return true;
}

void AEffGUIEditor::beginEdit(long tag)
{
    if (auto* x = dynamic_cast<AudioEffectX*>(effect))
        x->beginEdit((VstInt32)tag);
}

void AEffGUIEditor::endEdit(long tag)
{
    if (auto* x = dynamic_cast<AudioEffectX*>(effect))
        x->endEdit((VstInt32)tag);
}

void AEffGUIEditor::doIdleStuff()
{
    if (frame)
        frame->idle();
    inIdlePump = true;
    idle();
    inIdlePump = false;
    if (effect)
        effect->masterIdle();
}
