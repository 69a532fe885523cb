// EditorScale: which zoom the editor opens at. First match wins:
//   1. the zoom the user picked in an editor (remembered in EditorConfig as "zoom"),
//   2. the environment variable LUSTRANA_SCALE (a factor such as 1.5),
//   3. the host's scale, given by whoever creates the editor (an LV2 host's ui:scaleFactor;
//      a VST 2 host gives none),
//   4. the desktop's font resolution, the X resource Xft.dpi, divided by 96,
//   5. 100 %.
// A source that says nothing usable (absent, not a number, not above 0) passes to the next;
// a usable value outside kMinimum … kMaximum is held to that range. [UI thread]
#pragma once

#include <optional>

class EditorScale {
public:
    enum class Source { User, Environment, Host, Display, Default };

    static constexpr double kMinimum = 0.75;
    static constexpr double kMaximum = 2.0;
    // The zooms the editor's menu offers.
    static constexpr double kChoices[] = {0.75, 1.0, 1.25, 1.5, 2.0};
    static constexpr int kChoiceCount = (int)(sizeof kChoices / sizeof kChoices[0]);

    explicit EditorScale(std::optional<double> hostFactor = std::nullopt) : host(hostFactor) {}

    void setHostFactor(std::optional<double> factor) { host = factor; }
    // Looks at the sources now (the file, the environment, the display).
    double resolve();
    // Where the last resolve found its factor.
    Source source() const { return found; }

    // Remembers the user's choice for every editor of this user. False if it could not be
    // written (it still applies to this editor).
    static bool remember(double factor);
    // The factor held to kMinimum … kMaximum.
    static double hold(double factor);
    // A factor from text ("1.5"), or nothing for text that is no number above 0.
    static std::optional<double> parse(const char* text);
    // The menu entry nearest to a factor.
    static int nearestChoice(double factor);

private:
    std::optional<double> host;      // the host's scale, if it gave one
    Source found = Source::Default;  // source of the last resolve
};
