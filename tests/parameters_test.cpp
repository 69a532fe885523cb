// Parameters and programs as a host sees them through the dispatcher and the record.
#include "support/Plugin.h"

#include "core/Parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(Parameters, NamesDisplaysAndLabels)
{
    auto p = newInstance();
    const char* names[] = {"Gain", "Volume", "Width", "Hipass", "Lowpass", "PreDel", "Length", "Sound",
                           "Tune", "ModVel", "ModAmp", "Mix", "Mode", "ModMode", "-", "-", "-"};
    const char* displays[] = {"0.200", "0.700", "1.000", "0.200", "0.700", "0.000", "0.500", "0.300", "0.600",
                              "0.400", "0.000", "1.000", "0.100", "0.200", "0.000", "0.000", "1.000"};
    for (int i = 0; i < 17; i++) {
        EXPECT_EQ(p->parameterName(i), names[i]) << i;
        EXPECT_EQ(p->parameterDisplay(i), displays[i]) << i;
        EXPECT_EQ(p->parameterLabel(i), "") << i;
    }
    for (int i : {17, 99, -1, -100000, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(p->parameterName(i), "-") << i;
        EXPECT_EQ(p->parameterLabel(i), "") << i;
        EXPECT_EQ(p->parameterDisplay(i), "") << i;
    }
}

TEST(Parameters, ValuesAreStoredAsTheyCome)
{
    auto p = newInstance();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {1.5f, -0.25f, 1e9f, -1e9f, INFINITY, -0.0f}) {
        p->setParameter(3, v);
        EXPECT_EQ(p->getParameter(3), v);
    }
    p->setParameter(3, nan);
    EXPECT_TRUE(std::isnan(p->getParameter(3)));
    p->setParameter(1, 0.123456f);
    EXPECT_EQ(p->getParameter(1), 0.123456f);
    EXPECT_EQ(p->parameterDisplay(1), "0.123");
}

TEST(Parameters, DisplayNeverOverrunsAHostBuffer)
{
    auto p = newInstance();
    p->setParameter(0, -1e30f);
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    p->dispatch(effGetParamDisplay, 0, 0, buffer);
    EXPECT_LT(std::strlen(buffer), (size_t)kVstMaxParamStrLen);
}

TEST(Parameters, IndicesOutsideTheTableTouchNothing)
{
    auto p = newInstance();
    for (int i : {17, 18, 1000, -1, -17, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        p->setParameter(i, 0.75f);
        EXPECT_EQ(p->getParameter(i), 0.0f);
    }
    for (int i = 0; i < 17; i++)
        EXPECT_EQ(p->getParameter(i), kParameterDefaults[i]) << i;
}

TEST(Programs, FiftyDefaults)
{
    auto p = newInstance();
    for (int i = 0; i < 50; i++) {
        bool ok = false;
        EXPECT_EQ(p->programNameIndexed(i, &ok), "Default");
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(p->dispatch(effGetProgram), 0);
    EXPECT_EQ(p->programName(), "Default");
}

TEST(Programs, IndexedNamesOutsideTheBankLeaveTheBufferAlone)
{
    auto p = newInstance();
    for (int i : {50, -1, 1000}) {
        char buffer[32] = "untouched";
        EXPECT_EQ(p->dispatch(effGetProgramNameIndexed, i, 0, buffer), 0);
        EXPECT_STREQ(buffer, "untouched");
    }
}

TEST(Programs, SwitchingStoresAndRestoresValues)
{
    auto p = newInstance();
    p->setParameter(0, 0.5f);
    p->dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(p->dispatch(effGetProgram), 1);
    EXPECT_FLOAT_EQ(p->getParameter(0), 0.2f);
    p->setParameter(6, 0.9f);
    p->dispatch(effSetProgram, 0, 0);
    EXPECT_FLOAT_EQ(p->getParameter(0), 0.5f);
    EXPECT_FLOAT_EQ(p->getParameter(6), 0.5f);
    p->dispatch(effSetProgram, 0, 1);
    EXPECT_FLOAT_EQ(p->getParameter(0), 0.2f);
    EXPECT_FLOAT_EQ(p->getParameter(6), 0.9f);
}

TEST(Programs, OutOfRangeSelectionIsIgnored)
{
    auto p = newInstance();
    p->dispatch(effSetProgram, 0, 3);
    for (VstIntPtr bad : {(VstIntPtr)50, (VstIntPtr)-1, (VstIntPtr)INTPTR_MAX})
        p->dispatch(effSetProgram, 0, bad);
    EXPECT_EQ(p->dispatch(effGetProgram), 3);
    p->dispatch(effSetProgram, 0, 49);
    EXPECT_EQ(p->dispatch(effGetProgram), 49);
}

TEST(Programs, NamesAreCutAndInitIsNumbered)
{
    auto p = newInstance();
    p->dispatch(effSetProgram, 0, 3);
    p->dispatch(effSetProgramName, 0, 0, (void*)"Init");
    EXPECT_EQ(p->programName(), "Init");
    EXPECT_EQ(p->programNameIndexed(3), "Init 4");
    p->dispatch(effSetProgram, 0, 49);
    p->dispatch(effSetProgramName, 0, 0, (void*)"Init");
    EXPECT_EQ(p->programNameIndexed(49), "Init 50");
    p->dispatch(effSetProgramName, 0, 0, (void*)"A very long program name that goes on");
    EXPECT_EQ(p->programName(), std::string("A very long program name that goes on").substr(0, 23));
    EXPECT_EQ(p->programNameIndexed(3), "Init 4");
    p->dispatch(effSetProgramName, 0, 0, (void*)"Init ");
    EXPECT_EQ(p->programNameIndexed(49), "Init ");
}

TEST(Selectors, ReadBackWithTheOffset)
{
    EXPECT_EQ(selectorIndex(0.298f), 3);
    EXPECT_EQ(selectorIndex(0.296f), 2);
    EXPECT_EQ(selectorIndex(0.5f), 5);
    EXPECT_EQ(selectorIndex(-0.05f), 0);
    EXPECT_EQ(modulationSelector(0.298f), 2);
    EXPECT_EQ(modulationSelector(0.3f), 3);
    EXPECT_EQ(selectorIndex(std::numeric_limits<float>::quiet_NaN()), -1);
    EXPECT_EQ(selectorIndex(1e30f), -1);
    EXPECT_EQ(modulationSelector(-INFINITY), -1);
}

TEST(Automation, SetParameterAutomatedReachesTheHostAfterTheValue)
{
    auto p = newInstance();
    p->clearCalls();
    p->setParameter(2, 0.25f);
    EXPECT_TRUE(p->callsOf(audioMasterAutomate).empty());  // a host write is not echoed
}

} // namespace
