// The host binding as a host sees it: the entry, the effect record and every opcode answer.
#include "support/Plugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(Entry, BothExportNamesResolveToOneFunction)
{
    VstLibrary& library = pluginLibrary();
    ASSERT_NE(library.symbol("VSTPluginMain"), nullptr);
    EXPECT_EQ(library.symbol("main"), library.symbol("VSTPluginMain"));
    // nothing else of ours is exported
    EXPECT_EQ(library.symbol("selectorIndex"), nullptr);
}

TEST(Entry, NullResults)
{
    // A host too old (audioMasterVersion answers 0) gets no effect.
    EXPECT_EQ(pluginLibrary().instantiate(0), nullptr);
    // A null callback gives no effect.
    EXPECT_EQ(pluginLibrary().entry()(nullptr), nullptr);
}

TEST(Entry, EntryAsksForTheHostVersionFirst)
{
    auto instance = newInstance();
    std::vector<HostCall> calls = instance->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterVersion);
}

TEST(EffectRecord, FieldsAsHandedToTheHost)
{
    auto instance = newInstance();
    AEffect* e = instance->effect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 50);
    EXPECT_EQ(e->numParams, 17);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_FALSE(e->flags & (effFlagsProgramChunks | effFlagsIsSynth | effFlagsCanDoubleReplacing |
                             effFlagsNoSoundInStop));
    EXPECT_EQ(e->flags & ~(effFlagsCanReplacing | effFlagsHasEditor), 0);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->uniqueID, 0x005A5237);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    EXPECT_NE(e->object, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    for (char c : e->future)
        EXPECT_EQ(c, 0);
}

TEST(EffectRecord, DoubleAndAccumulatingEntriesLeaveOutputsUntouched)
{
    auto instance = newInstance();
    AEffect* e = instance->effect();
    double din[2][8] = {{1, 2, 3}, {4, 5, 6}}, dout[2][8];
    for (auto& row : dout)
        for (double& v : row)
            v = 42.0;
    double* dins[2] = {din[0], din[1]};
    double* douts[2] = {dout[0], dout[1]};
    e->processDoubleReplacing(e, dins, douts, 8);
    float fin[2][8] = {{1, 2}, {3, 4}}, fout[2][8];
    for (auto& row : fout)
        for (float& v : row)
            v = 7.0f;
    float* fins[2] = {fin[0], fin[1]};
    float* fouts[2] = {fout[0], fout[1]};
    e->process(e, fins, fouts, 8);
    for (int c = 0; c < 2; c++)
        for (int i = 0; i < 8; i++) {
            EXPECT_EQ(dout[c][i], 42.0);
            EXPECT_EQ(fout[c][i], 7.0f);
        }
}

TEST(Dispatcher, FixedAnswers)
{
    auto instance = newInstance();
    EXPECT_EQ(instance->dispatch(effOpen), 0);
    EXPECT_EQ(instance->dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(instance->dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(instance->dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(instance->dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(instance->dispatch(effGetTailSize), 0);
    EXPECT_EQ(instance->dispatch(effGetNumMidiInputChannels), 1);
    EXPECT_EQ(instance->dispatch(effGetNumMidiOutputChannels), 0);
    EXPECT_EQ(instance->dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(instance->dispatch(effCanBeAutomated, 5), 1);
    EXPECT_EQ(instance->dispatch(effCanBeAutomated, 99), 1);
    EXPECT_EQ(instance->dispatch(effString2Parameter, 0, 0, (void*)"0.5"), 1);
    EXPECT_FLOAT_EQ(instance->getParameter(0), 0.2f);  // nothing changed
    EXPECT_EQ(instance->dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(instance->dispatch(effSetTotalSampleToProcess, 0, -7), -7);
    void* chunk = (void*)1;
    EXPECT_EQ(instance->dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(instance->dispatch(effSetChunk, 0, 16, &chunk), 0);
    EXPECT_EQ(instance->dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(instance->dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(instance->dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(instance->dispatch(effSetBlockSize, 0, 256), 0);
    for (VstInt32 op : {9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 1000,
                        -1})
        EXPECT_EQ(instance->dispatch(op, 1, 1, nullptr, 1.0f), 0) << "opcode " << op;
}

TEST(Dispatcher, CanDoIsExactAndCaseSensitive)
{
    auto instance = newInstance();
    auto canDo = [&](const char* text) { return instance->dispatch(effCanDo, 0, 0, (void*)text); };
    EXPECT_EQ(canDo("receiveVstEvents"), 1);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 0);
    EXPECT_EQ(canDo("bypass"), -1);
    EXPECT_EQ(canDo("receivevstevents"), -1);
    EXPECT_EQ(canDo("receiveVstEvents "), -1);
    EXPECT_EQ(canDo(""), -1);
}

TEST(Dispatcher, NamesAndVendor)
{
    auto instance = newInstance();
    EXPECT_EQ(instance->effectName(), "Lustrana");
    EXPECT_EQ(instance->productString(), "Lustrana");
    EXPECT_EQ(instance->vendorString().size(), 13u);
    char buffer[64];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(instance->dispatch(effGetEffectName, 0, 0, buffer), 1);
    EXPECT_EQ(buffer[8], 0);
    EXPECT_EQ(buffer[9], 'x');  // nothing past the terminator
    EXPECT_EQ(instance->dispatch(effGetVendorString, 0, 0, buffer), 1);
    EXPECT_EQ(instance->dispatch(effGetProductString, 0, 0, buffer), 1);
}

TEST(Dispatcher, SpeakerArrangementWritesNulls)
{
    auto instance = newInstance();
    void* in = (void*)0x1234;
    void* out = (void*)0x5678;
    EXPECT_EQ(instance->dispatch(effGetSpeakerArrangement, 0, (VstIntPtr)&in, &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST(Dispatcher, VendorSpecificWheelNeedsTheExactRequest)
{
    auto instance = newInstance();
    // Any index or value other than 'stCA' / 'Whee' gives 0, with or without an editor.
    EXPECT_EQ(instance->dispatch(effVendorSpecific, vstFourCC('s', 't', 'C', 'A'), 0, nullptr, 1.0f), 0);
    EXPECT_EQ(instance->dispatch(effVendorSpecific, 0, vstFourCC('W', 'h', 'e', 'e'), nullptr, 1.0f), 0);
    EXPECT_EQ(instance->dispatch(effVendorSpecific, 1, 2, nullptr, 1.0f), 0);
}

TEST(Dispatcher, KeyOpcodesSurviveHostileModifiers)
{
    auto instance = newInstance();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float opt : {0.0f, 3.0f, -1.0f, 1e30f, nan, INFINITY}) {
        instance->dispatch(effEditKeyDown, 'a', 0x101, nullptr, opt);
        instance->dispatch(effEditKeyUp, 'a', -5, nullptr, opt);
    }
}

TEST(Dispatcher, CloseReturnsOne)
{
    auto instance = newInstance();
    EXPECT_EQ(instance->close(), 1);
    EXPECT_FALSE(instance->isOpen());
}

TEST(Dispatcher, DispatchWithoutObjectIsHarmless)
{
    auto instance = newInstance();
    AEffect copy = *instance->effect();
    copy.object = nullptr;
    EXPECT_EQ(copy.dispatcher(&copy, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
}

TEST(Instances, ManyCreatedAndClosedInAnyOrder)
{
    std::vector<std::unique_ptr<VstInstance>> instances;
    for (int i = 0; i < 6; i++)
        instances.push_back(newInstance());
    // independent state
    instances[0]->setParameter(0, 0.9f);
    EXPECT_FLOAT_EQ(instances[1]->getParameter(0), 0.2f);
    for (int i : {3, 0, 5})
        EXPECT_EQ(instances[i]->close(), 1);
    instances.push_back(newInstance());
    EXPECT_FLOAT_EQ(instances.back()->getParameter(0), 0.2f);
    for (int i : {6, 2, 1, 4})
        EXPECT_EQ(instances[i]->close(), 1);
}

} // namespace
