// Ardour 7 headless (ardour7-lua, its Dummy backend) with the installed Lustrana.lv2 on a
// track whose region starts with a one-sample click at 0 s: the export of a fresh session and of the same session
// reloaded both reverberate from the first sample (Ardour reads the latency port, 2048, and
// compensates it), sound as the VST 2.4 plug-in's offline render does, and a preset applied
// through Ardour gives the program's values. Ardour runs the worker synchronously while it
// exports, inside schedule_work inside run.
#include "lv2/support/Lv2Host.h"
#include "lv2/support/SoundFile.h"
#include "lv2/support/Subprocess.h"
#include "support/Engine.h"
#include "tools/render/ReverbAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 4;
// Measuring settings; "Amplitude" modulation with no depth, as the default "Phase" chorus
// runs from the instance's first sample and Ardour plays the session for a while before it
// exports.
const std::vector<std::pair<int, float>> kValues = {{kGain, 1.0f},    {kInputStage, 0.1f}, {kMix, 1.0f},
                                                    {kHipass, 0.0f},  {kLowpass, 1.0f},    {kModMode, 0.0f}};

// An export preset: 32-bit float WAV at the session's rate, no normalising, no dither.
const char kPresetId[] = "3c1e5a52-7f0e-4d6b-9a63-4c2b8f0d1e71";
const char kExportPreset[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="3c1e5a52-7f0e-4d6b-9a63-4c2b8f0d1e71" name="Lustrana tests: 32-bit float WAV">
  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>
  <ExportFilename>
    <Folder relative="1" path="export"/>
    <Field name="timespan" enabled="1"/>
  </ExportFilename>
</ExportPreset>
)";

class ArdourSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveProgram("ardour7-lua"))
            GTEST_SKIP() << "ardour7-lua (Debian ardour) is not installed";
        dir = std::string(LUSTRANA_BINARY_DIR) + "/lv2-ardour";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/config/ardour7/export");
        std::filesystem::create_directories(dir + "/out");
        std::ofstream(dir + "/config/ardour7/export/lustrana-float.preset") << kExportPreset;
    }

    // Runs a Lua script in ardour7-lua with a configuration of its own (no user settings).
    // Ardour 7.3 headless aborts now and then with glibc's "double free or corruption"
    // while it frees its export channels, with or without this plug-in in the session (about
    // one run in six here); a run that Ardour aborts is run again, three times at most.
    CommandResult lua(const std::string& name, const std::string& script, const std::string& cleanDirectory = "")
    {
        const std::string path = dir + "/" + name + ".lua";
        std::ofstream(path) << script;
        CommandResult r;
        for (int attempt = 1; attempt <= 3; attempt++) {
            if (!cleanDirectory.empty())
                std::filesystem::remove_all(cleanDirectory);
            r = runCommand({"ardour7-lua", path},
                           {"XDG_CONFIG_HOME=" + dir + "/config", "LV2_PATH=" + installedLv2Directory(),
                            "HOME=" + dir},
                           180);
            if (r.status != -1 || r.timedOut)
                break;
            std::printf("ardour7-lua %s: Ardour aborted (attempt %d)\n", name.c_str(), attempt);
        }
        return r;
    }

    std::string exportLines(const std::string& name) const
    {
        // The exporter is a global that is released before the session closes: Ardour 7.3
        // frees its export channels twice (one run in four aborts) when the session is closed
        // while an exporter still holds them.
        return "e = Session:simple_export ()\n"
               "e:set_name (\"" + name + "\")\n"
               "e:set_folder (\"" + dir + "/out\")\n"
               "assert (e:set_preset (\"" + kPresetId + "\"))\n"
               "e:set_range (0, " + std::to_string(kRate * kSeconds) + ")\n"
               "print (\"EXPORT \" .. tostring (e:run_export ()))\n"
               "e = nil collectgarbage ()\n";
    }

    // The 17 parameter values as "VALUES v0 v1 ...".
    static std::string printValues(const char* tag)
    {
        return std::string("io.write (\"") + tag +
               "\") for i = 0, 16 do io.write (\" \", (ARDOUR.LuaAPI.get_processor_param (p, i))) end print ()\n";
    }

    static std::vector<float> values(const std::string& output, const char* tag)
    {
        std::vector<float> v;
        size_t at = output.find(std::string(tag) + " ");
        if (at == std::string::npos)
            return v;
        std::istringstream line(output.substr(at + std::strlen(tag), output.find('\n', at) - at));
        float x;
        while (line >> x)
            v.push_back(x);
        return v;
    }

    std::string dir;
};

} // namespace

TEST_F(ArdourSession, FreshAndReloadedExportsReverberateFromTheFirstSampleAndPresetsApply)
{
    const std::string seconds = std::to_string(kRate * kSeconds);
    // A stereo track playing a region with a one-sample click at 0 s: the region is a silent
    // bounce of Ardour's own making (so its files are what Ardour writes), the click written
    // into its two files, its fades off (the fade-in would swallow the click).
    std::string create = "assert (create_session (\"" + dir + "/session\", \"lustrana\", " + std::to_string(kRate) +
                         "))\n"
                         "local t = Session:new_audio_track (2, 2, nil, 1, \"Click\", ARDOUR.PresentationInfo.max_order, "
                         "ARDOUR.TrackMode.Normal, true):front ()\n"
                         "local region = t:bounce_range (0, " + seconds +
                         ", ARDOUR.InterThreadInfo (), t:main_outs (), false, \"click\", false)\n"
                         "assert (not region:isnil ())\n"
                         "for c = 0, 1 do\n"
                         "  local f = assert (io.open (region:source (c):to_filesource ():path (), \"r+b\"))\n"
                         "  local at = assert (f:read (256):find (\"data\", 1, true))\n"
                         "  f:seek (\"set\", at + 7)\n"
                         "  f:write (string.pack (\"<f\", 1.0))\n"
                         "  f:close ()\n"
                         "end\n"
                         "local audio = region:to_audioregion ()\n"
                         "audio:set_fade_in_active (false)\n"
                         "audio:set_fade_out_active (false)\n"
                         "t:playlist ():add_region (region, Temporal.timepos_t (0), 1, false, 0, 0, false)\n"
                         "local p = ARDOUR.LuaAPI.new_plugin (Session, \"" +
                         std::string(lv2uri::kPlugin) +
                         "\", ARDOUR.PluginType.LV2, \"\")\n"
                         "assert (not p:isnil ())\n"
                         "t:add_processor_by_index (p, 0, nil, true)\n";
    for (const auto& [index, value] : kValues)
        create += "assert (ARDOUR.LuaAPI.set_processor_param (p, " + std::to_string(index) + ", " +
                  std::to_string(value) + "))\n";
    // Ardour takes the plug-in's latency at once; the session's compensation follows in its
    // own time, and an export started before that would not be compensated.
    create += "for i = 1, 100 do if Session:worst_route_latency () > 0 then break end ARDOUR.LuaAPI.usleep (20000) end\n"
              "print (\"LATENCY \" .. p:signal_latency () .. \" \" .. Session:worst_route_latency ())\n"
              "Session:save_state (\"\", false, false, false, false, false)\n" +
              exportLines("fresh") + "close_session ()\n";
    const CommandResult fresh = lua("create", create, dir + "/session");
    ASSERT_EQ(fresh.status, 0) << fresh.output;
    EXPECT_NE(fresh.output.find("LATENCY 2048 2048"), std::string::npos) << fresh.output;
    EXPECT_NE(fresh.output.find("EXPORT true"), std::string::npos) << fresh.output;

    const std::string reload = "assert (load_session (\"" + dir + "/session\", \"lustrana\"))\n"
                               "local r = Session:route_by_name (\"Click 1\")\n"
                               "assert (not r:isnil ())\n"
                               "local p = r:nth_plugin (0)\n"
                               "for i = 1, 100 do if Session:worst_route_latency () > 0 then break end "
                               "ARDOUR.LuaAPI.usleep (20000) end\n"
                               "print (\"LATENCY \" .. p:signal_latency () .. \" \" .. Session:worst_route_latency ())\n" +
                               printValues("RELOADED") + exportLines("reloaded") +
                               // a preset through Ardour after moving two values away from it
                               "assert (ARDOUR.LuaAPI.set_processor_param (p, 0, 0.9))\n"
                               "assert (ARDOUR.LuaAPI.set_processor_param (p, 14, 0.4))\n"
                               "local plugin = p:to_insert ():plugin (0)\n"
                               "local preset = plugin:preset_by_label (\"07 Default\")\n"
                               "assert (preset)\n"
                               "print (\"PRESET \" .. preset.uri .. \" \" .. tostring (plugin:load_preset (preset)))\n" +
                               printValues("PRESETVALUES") + "close_session ()\n";
    const CommandResult reloaded = lua("reload", reload);
    ASSERT_EQ(reloaded.status, 0) << reloaded.output;
    EXPECT_NE(reloaded.output.find("LATENCY 2048 2048"), std::string::npos) << reloaded.output;
    EXPECT_NE(reloaded.output.find("EXPORT true"), std::string::npos) << reloaded.output;
    EXPECT_NE(reloaded.output.find(std::string("PRESET ") + lv2uri::kPlugin + "#preset07 true"), std::string::npos)
        << reloaded.output;

    // the session kept the values; the preset gives program 7's (the bank's defaults)
    auto vst = newInstance();
    ASSERT_TRUE(vst);
    const std::vector<float> kept = values(reloaded.output, "RELOADED");
    const std::vector<float> preset = values(reloaded.output, "PRESETVALUES");
    ASSERT_EQ(kept.size(), (size_t)kNumParams) << reloaded.output;
    ASSERT_EQ(preset.size(), (size_t)kNumParams) << reloaded.output;
    vst->dispatch(effSetProgram, 0, 6);
    for (int i = 0; i < kNumParams; i++) {
        float expected = kParameterDefaults[i];
        for (const auto& [index, value] : kValues)
            if (index == i)
                expected = value;
        EXPECT_NEAR(kept[i], expected, 1e-6) << i;
        EXPECT_NEAR(preset[i], vst->getParameter(i), 1e-6) << i;
    }

    // the exports against the VST 2.4 plug-in's offline render, its 2048 samples of latency
    // removed: the same plate, drawn from the same noise, at the same place. What differs is
    // the plug-in's dither, which goes with the thread (Ardour's process threads have run
    // for a while): its floor dominates the tail after a second or so, so the samples are
    // compared over the first half second and the decay over the whole.
    StereoBuffer click(kRate * kSeconds + 2048);
    click.left[0] = click.right[0] = 1.0f;
    const StereoBuffer reference = renderVst(click, kValues, {}, 1024, (float)kRate);
    const std::vector<float> refLeft(reference.left.begin() + 2048, reference.left.end());
    const std::vector<float> refRight(reference.right.begin() + 2048, reference.right.end());
    const DecayAnalysis referenceDecay = analyseDecay(refLeft, refRight, kRate);
    for (const char* name : {"fresh", "reloaded"}) {
        SCOPED_TRACE(name);
        StereoBuffer out;
        int rate = 0;
        ASSERT_TRUE(readWav(dir + "/out/" + name + ".wav", out, rate));
        EXPECT_EQ(rate, kRate);
        ASSERT_EQ(out.size(), (size_t)kRate * kSeconds);
        // uncompensated, the first 2048 samples would hold only the plug-in's noise
        double residual = 0, energy = 0;
        for (size_t i = 0; i < (size_t)kRate / 2; i++) {
            residual += std::pow(out.left[i] - refLeft[i], 2) + std::pow(out.right[i] - refRight[i], 2);
            energy += std::pow(refLeft[i], 2) + std::pow(refRight[i], 2);
        }
        const double residualDb = 10 * std::log10(residual / energy);
        std::printf("%s export: first 256 samples %.1f dB (the VST 2.4 render %.1f dB), residual over 0.5 s %.1f dB\n",
                    name, energyDb(out.left, 0, 256), energyDb(refLeft, 0, 256), residualDb);
        EXPECT_LT(residualDb, -35.0);
        const DecayAnalysis decay = analyseDecay(out.left, out.right, kRate);
        for (int c = 0; c < 2; c++) {
            EXPECT_NEAR(decay.channel[c].rt60, referenceDecay.channel[c].rt60, 0.03 * referenceDecay.channel[c].rt60);
            EXPECT_NEAR(decay.channel[c].rt60, 1.68, 0.15);
        }
        std::printf("%s export: RT60 %.2f s / %.2f s (the VST 2.4 render %.2f s / %.2f s)\n", name,
                    decay.channel[0].rt60, decay.channel[1].rt60, referenceDecay.channel[0].rt60,
                    referenceDecay.channel[1].rt60);
    }
}
