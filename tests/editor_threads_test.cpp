// Host automation arrives on another thread while the editor draws, runs its meter and
// opens menu lists on the UI thread: the controls follow the effect's values without data
// races (run under ThreadSanitizer). The UI thread writes no parameters here: two threads
// writing the same parameter is the effect's business, not the editor's.
#include "tests/support/editor_harness.h"

#include "toolkit/COptionMenu.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(EditorThreads, AutomationFromAnotherThreadWhileTheEditorDraws)
{
    EditorHarness h;
    h.frame();
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        float v = 0.0f;
        while (!stop.load()) {
            for (int i = 0; i < kNumParams; i++)
                h.effect().setParameter(i, v);
            v = v >= 1.0f ? 0.0f : v + 0.01f;
        }
    });
    for (int round = 0; round < 40; round++) {
        h.click(450, 522);  // the routing menu's list opens over the meter
        h.frame().mouseMoved({450, 580}, 0);
        h.dispatch(effEditIdle);
        h.click(20, 20);    // and closes without a choice
        EditorHarness::now += 70;
        h.effect().level = (float)(round % 10) / 10.0f;
        h.dispatch(effEditIdle);
        h.pixel(89, 612);
    }
    stop.store(true);
    automation.join();
    // once the other thread is quiet, the controls show what the effect holds
    for (int i = 0; i < kNumParams; i++)
        h.effect().setParameter(i, 0.3f);
    EXPECT_EQ(h.control(kGain)->getValue(), 0.3f);
    EXPECT_EQ(h.menu(kMode)->getCurrent(), 3);
}

TEST(EditorThreads, AutomationWhileTheWindowOpensAndCloses)
{
    EditorHarness h;
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        float v = 0.0f;
        while (!stop.load()) {
            for (int i = 0; i < kNumParams; i++)
                h.effect().setParameter(i, v);
            v = v >= 1.0f ? 0.0f : v + 0.01f;
        }
    });
    for (int round = 0; round < 30; round++) {  // no drawing: the race is about the controls
        ASSERT_TRUE(h.editor().openHeadless());
        h.dispatch(effEditClose);
    }
    stop.store(true);
    automation.join();
}
