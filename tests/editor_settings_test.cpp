// The editor's settings file: written whole or not at all, other settings kept, anything
// that is not a sound file of ours ignored and replaced at the next write.
#include "editor/EditorConfig.h"
#include "editor/EditorScale.h"
#include "tests/support/editor_settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(EditorSettings, WritesWholeFilesKeepsOtherKeysAndReadsTheLastValue)
{
    const std::string home = isolateEditorSettings();
    const std::string file = home + "/lustrana/editor.conf";
    EXPECT_EQ(EditorConfig::path(), file);
    EXPECT_FALSE(EditorConfig::read("zoom"));
    ASSERT_TRUE(EditorScale::remember(1.25));  // creates the folder
    EXPECT_EQ(EditorConfig::read("zoom"), "1.25");
    {
        std::ofstream out(file, std::ios::app);
        out << "\n  colour = dark  \r\nzoom=1.5\n";  // hand-edited: spaces, CRLF, a repeat
    }
    EXPECT_EQ(EditorConfig::read("zoom"), "1.5");
    EXPECT_EQ(EditorConfig::read("colour"), "dark");
    ASSERT_TRUE(EditorScale::remember(5));  // held to 2
    EXPECT_EQ(EditorConfig::read("zoom"), "2");
    EXPECT_EQ(EditorConfig::read("colour"), "dark");
    std::string text = contents(file);
    EXPECT_EQ(text.find("zoom="), text.rfind("zoom=")) << text;
    // nothing but the file in the folder: the temporary one was renamed over it
    int entries = (int)std::distance(std::filesystem::directory_iterator(home + "/lustrana"),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(EditorConfig::write("a=b", "c"));
    EXPECT_FALSE(EditorConfig::write("key", "two\nlines"));
}

TEST(EditorSettings, UnsoundFilesAreIgnoredAndReplaced)
{
    const std::string home = isolateEditorSettings();
    const std::string file = home + "/lustrana/editor.conf";
    std::filesystem::create_directories(home + "/lustrana");
    std::ofstream(file) << "zoom=1.5\n<<<<<<< merge leftovers\n";
    EXPECT_FALSE(EditorConfig::read("zoom"));
    ASSERT_TRUE(EditorScale::remember(0.75));
    EXPECT_EQ(EditorConfig::read("zoom"), "0.75");
    EXPECT_EQ(contents(file).find("merge"), std::string::npos);
    std::ofstream(file) << std::string(EditorConfig::kMaxBytes + 1, '#');
    EXPECT_FALSE(EditorConfig::read("zoom"));
    // a folder where the file should be: read as absent, and nothing can be written
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    EXPECT_FALSE(EditorConfig::read("zoom"));
    EXPECT_FALSE(EditorScale::remember(1.0));
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST(EditorSettings, TheFileLivesUnderAnAbsoluteConfigHomeOrTheHomeFolder)
{
    isolateEditorSettings();
    const char* home = std::getenv("HOME");
    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // relative: to be ignored
    std::string path = EditorConfig::path();
    if (home && home[0] == '/') {
        EXPECT_EQ(path, std::string(home) + "/.config/lustrana/editor.conf");
    }
    EXPECT_EQ(path.find("relative"), std::string::npos);
    isolateEditorSettings();
}

TEST(EditorSettings, FactorsAreNumbersAboveZeroWithAPoint)
{
    EXPECT_EQ(EditorScale::parse("1.5"), 1.5);
    EXPECT_EQ(EditorScale::parse(" 2 "), 2.0);
    for (const char* bad : {"", "1,5", "150%", "0", "-1", "nan", "inf", "1.5x", "x"})
        EXPECT_FALSE(EditorScale::parse(bad)) << bad;
    EXPECT_EQ(EditorScale::hold(0.1), 0.75);
    EXPECT_EQ(EditorScale::hold(9), 2.0);
    EXPECT_EQ(EditorScale::nearestChoice(1.1), 1);
    EXPECT_EQ(EditorScale::nearestChoice(1.9), 4);
}

// The host's factor (an LV2 host's ui:scaleFactor) comes after the user's choice and the
// environment, and before the display.
TEST(EditorSettings, TheHostsFactorHasItsPlaceInTheOrder)
{
    isolateEditorSettings();
    unsetenv("DISPLAY");  // no Xft.dpi to find
    EditorScale withHost(1.5), without;
    EXPECT_EQ(without.resolve(), 1.0);
    EXPECT_EQ(without.source(), EditorScale::Source::Default);
    EXPECT_EQ(withHost.resolve(), 1.5);
    EXPECT_EQ(withHost.source(), EditorScale::Source::Host);
    withHost.setHostFactor(-1.0);  // nothing usable: the next source
    EXPECT_EQ(withHost.resolve(), 1.0);
    withHost.setHostFactor(4.0);
    EXPECT_EQ(withHost.resolve(), 2.0);
    setenv("LUSTRANA_SCALE", "1.25", 1);
    EXPECT_EQ(withHost.resolve(), 1.25);
    EXPECT_EQ(withHost.source(), EditorScale::Source::Environment);
    ASSERT_TRUE(EditorScale::remember(0.75));
    EXPECT_EQ(withHost.resolve(), 0.75);
    EXPECT_EQ(withHost.source(), EditorScale::Source::User);
    unsetenv("LUSTRANA_SCALE");
}
