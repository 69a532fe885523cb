#include "editor/EditorScale.h"

#include "editor/EditorConfig.h"
#include "toolkit/X11Window.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
constexpr const char* kConfigKey = "zoom";
constexpr double kReferenceDpi = 96.0;  // Xft.dpi of an unscaled desktop
}

double EditorScale::hold(double factor)
{
    return std::clamp(factor, kMinimum, kMaximum);
}

std::optional<double> EditorScale::parse(const char* text)
{
    if (!text)
        return std::nullopt;
    // from_chars: a point is the decimal separator whatever locale the host set
    const char* first = text;
    const char* last = text + std::strlen(text);
    while (first < last && (*first == ' ' || *first == '\t'))
        first++;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t'))
        last--;
    double value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value) || !(value > 0))
        return std::nullopt;
    return value;
}

double EditorScale::resolve()
{
    if (std::optional<std::string> chosen = EditorConfig::read(kConfigKey))
        if (std::optional<double> f = parse(chosen->c_str())) {
            found = Source::User;
            return hold(*f);
        }
    if (std::optional<double> f = parse(std::getenv("LUSTRANA_SCALE"))) {
        found = Source::Environment;
        return hold(*f);
    }
    if (host && std::isfinite(*host) && *host > 0) {
        found = Source::Host;
        return hold(*host);
    }
    double dpi = X11Window::resourceDpi();
    if (dpi > 0) {
        found = Source::Display;
        return hold(dpi / kReferenceDpi);
    }
    found = Source::Default;
    return 1.0;
}

bool EditorScale::remember(double factor)
{
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text - 1, hold(factor));
    if (error != std::errc())
        return false;
    *end = 0;
    return EditorConfig::write(kConfigKey, text);
}

int EditorScale::nearestChoice(double factor)
{
    int best = 0;
    for (int i = 1; i < kChoiceCount; i++)
        if (std::fabs(kChoices[i] - factor) < std::fabs(kChoices[best] - factor))
            best = i;
    return best;
}
