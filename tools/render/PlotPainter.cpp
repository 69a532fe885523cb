#include "tools/render/PlotPainter.h"

#include "tools/render/PendingFile.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace {

struct Rgb {
    double r, g, b;
};

const Rgb kBackground = {0.063, 0.071, 0.094};
const Rgb kPanel = {0.090, 0.102, 0.133};
const Rgb kGrid = {0.22, 0.24, 0.29};
const Rgb kText = {0.88, 0.90, 0.93};
const Rgb kDim = {0.56, 0.60, 0.67};
const Rgb kLeft = {1.00, 0.62, 0.26};
const Rgb kRight = {0.35, 0.78, 1.00};

struct Box {
    double x, y, w, h;
};

void setColour(cairo_t* cr, const Rgb& c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void font(cairo_t* cr, double size, bool bold = false)
{
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// Draws text with its anchor at (x, y): align 0 left, 0.5 centre, 1 right; y is the baseline.
void text(cairo_t* cr, const std::string& s, double x, double y, double align = 0.0)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    cairo_move_to(cr, x - extents.x_advance * align, y);
    cairo_show_text(cr, s.c_str());
}

std::string format(const char* pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// A tick spacing that gives about `wanted` ticks over `span`.
double niceStep(double span, int wanted)
{
    const double steps[] = {0.01, 0.02, 0.025, 0.05, 0.1, 0.2, 0.25, 0.5, 1, 2, 2.5, 5, 10, 20, 30, 60};
    for (double s : steps)
        if (span / s <= wanted)
            return s;
    return 60;
}

std::string timeLabel(double t, double step)
{
    return format(step < 0.1 ? "%.2f s" : step < 1 ? "%.1f s" : "%.0f s", t);
}

// The magma colour map, from black through purple and orange to pale yellow.
Rgb magma(double v)
{
    static const double stops[][3] = {{0, 0, 4},       {28, 16, 68},   {79, 18, 123},  {129, 37, 129},
                                      {181, 54, 122},  {229, 80, 100}, {251, 135, 97}, {254, 194, 135},
                                      {252, 253, 191}};
    v = std::clamp(v, 0.0, 1.0) * 8.0;
    int i = std::min(7, (int)v);
    double f = v - i;
    return {(stops[i][0] + (stops[i + 1][0] - stops[i][0]) * f) / 255.0,
            (stops[i][1] + (stops[i + 1][1] - stops[i][1]) * f) / 255.0,
            (stops[i][2] + (stops[i + 1][2] - stops[i][2]) * f) / 255.0};
}

void panel(cairo_t* cr, const Box& box, const std::string& caption)
{
    setColour(cr, kPanel);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_fill(cr);
    font(cr, 15, true);
    setColour(cr, kText);
    text(cr, caption, box.x, box.y - 12);
}

void timeAxis(cairo_t* cr, const Box& box, double duration)
{
    double step = niceStep(duration, 12);
    font(cr, 12);
    for (double t = 0; t <= duration + 1e-9; t += step) {
        double x = box.x + box.w * t / duration;
        setColour(cr, kGrid);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, std::round(x) + 0.5, box.y);
        cairo_line_to(cr, std::round(x) + 0.5, box.y + box.h);
        cairo_stroke(cr);
        setColour(cr, kDim);
        text(cr, timeLabel(t, step), x, box.y + box.h + 18, 0.5);
    }
}

void decayPanel(cairo_t* cr, const Box& box, const PlotContent& content)
{
    const double floorDb = -100.0;
    panel(cr, box, "Level envelope (thin) and energy decay (thick), with the fitted decay line");
    auto px = [&](double t) { return box.x + box.w * t / content.duration; };
    auto py = [&](double db) { return box.y + box.h * (std::max(db, floorDb) / floorDb); };

    font(cr, 12);
    for (int db = 0; db >= floorDb; db -= 10) {
        setColour(cr, db == -60 ? kDim : kGrid, db == -60 ? 0.8 : 1.0);
        cairo_set_line_width(cr, 1);
        if (db == -60) {
            double dash[] = {4, 4};
            cairo_set_dash(cr, dash, 2, 0);
        }
        cairo_move_to(cr, box.x, std::round(py(db)) + 0.5);
        cairo_line_to(cr, box.x + box.w, std::round(py(db)) + 0.5);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        setColour(cr, kDim);
        text(cr, std::to_string(db) + " dB", box.x - 8, py(db) + 4, 1.0);
    }
    timeAxis(cr, box, content.duration);

    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    const Rgb colours[2] = {kLeft, kRight};
    for (int c = 0; c < 2; c++) {
        const ChannelDecay& ch = content.decay.channel[c];
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        setColour(cr, colours[c], 0.35);
        cairo_set_line_width(cr, 1.0);
        for (size_t i = 0; i < ch.envelopeDb.size(); i++) {
            double t = (i + 0.5) * content.decay.step;
            if (i == 0)
                cairo_move_to(cr, px(t), py(ch.envelopeDb[i]));
            else
                cairo_line_to(cr, px(t), py(ch.envelopeDb[i]));
        }
        cairo_stroke(cr);
    }
    for (int c = 0; c < 2; c++) {
        const ChannelDecay& ch = content.decay.channel[c];
        setColour(cr, colours[c]);
        cairo_set_line_width(cr, 2.6);
        for (size_t i = 0; i < ch.decayDb.size(); i++) {
            double t = i * content.decay.step;
            if (i == 0)
                cairo_move_to(cr, px(t), py(ch.decayDb[i]));
            else
                cairo_line_to(cr, px(t), py(ch.decayDb[i]));
        }
        cairo_stroke(cr);
    }
    for (int c = 0; c < 2; c++) {
        const ChannelDecay& ch = content.decay.channel[c];
        if (ch.rt60 <= 0.0)
            continue;
        double t60 = (-60.0 - ch.fitOffset) / ch.fitSlope;
        double dash[] = {7, 5};
        cairo_set_dash(cr, dash, 2, 0);
        setColour(cr, colours[c], 0.9);
        cairo_set_line_width(cr, 1.4);
        cairo_move_to(cr, px(0), py(ch.fitOffset));
        cairo_line_to(cr, px(t60), py(-60.0));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        cairo_arc(cr, px(t60), py(-60.0), 5.5, 0, 2 * M_PI);
        cairo_fill(cr);
        font(cr, 13, true);
        text(cr, (c == 0 ? "L " : "R ") + format("%.2f s", ch.rt60), px(t60) + 9, py(-60.0) + (c == 0 ? -9 : 20));
    }
    cairo_restore(cr);

    // Legend.
    font(cr, 13);
    double lx = box.x + box.w - 400, ly = box.y + 24;
    const char* names[2] = {"left", "right"};
    for (int c = 0; c < 2; c++) {
        setColour(cr, colours[c]);
        cairo_set_line_width(cr, 2.6);
        cairo_move_to(cr, lx + c * 200, ly - 4);
        cairo_line_to(cr, lx + c * 200 + 26, ly - 4);
        cairo_stroke(cr);
        setColour(cr, kText);
        const ChannelDecay& ch = content.decay.channel[c];
        text(cr, std::string(names[c]) + format(", peak %.1f dBFS", ch.peakDb), lx + c * 200 + 32, ly);
    }
}

void spectrogramPanel(cairo_t* cr, const Box& box, const PlotContent& content)
{
    panel(cr, box, "Spectrogram of the response (left + right)");
    const Spectrogram& s = content.spectrogram;
    const double lowHz = 20.0, highHz = content.sampleRate / 2.0;
    const double rangeDb = 100.0;
    int width = (int)box.w, height = (int)box.h;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    unsigned char* pixels = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    cairo_surface_flush(image);
    for (int y = 0; y < height; y++) {
        double hz = lowHz * std::pow(highHz / lowHz, 1.0 - (y + 0.5) / height);
        double binPosition = std::min(hz / s.binStep, (double)s.bins - 1.001);
        int bin = (int)binPosition;
        double frac = binPosition - bin;
        uint32_t* row = reinterpret_cast<uint32_t*>(pixels + (size_t)y * stride);
        for (int x = 0; x < width; x++) {
            double t = content.duration * (x + 0.5) / width;
            int column = std::clamp((int)std::lround(t / s.columnStep), 0, std::max(0, s.columns - 1));
            double db = s.columns ? s.level(column, bin) * (1 - frac) + s.level(column, bin + 1) * frac : -rangeDb;
            Rgb c = magma(1.0 + db / rangeDb);
            row[x] = (uint32_t)(c.r * 255) << 16 | (uint32_t)(c.g * 255) << 8 | (uint32_t)(c.b * 255);
        }
    }
    cairo_surface_mark_dirty(image);
    cairo_set_source_surface(cr, image, box.x, box.y);
    cairo_paint(cr);
    cairo_surface_destroy(image);

    font(cr, 12);
    const double ticks[] = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    for (double hz : ticks) {
        if (hz > highHz)
            break;
        double y = box.y + box.h * (1.0 - std::log(hz / lowHz) / std::log(highHz / lowHz));
        setColour(cr, kText, 0.18);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, box.x, std::round(y) + 0.5);
        cairo_line_to(cr, box.x + box.w, std::round(y) + 0.5);
        cairo_stroke(cr);
        setColour(cr, kDim);
        text(cr, hz >= 1000 ? format("%.0f kHz", hz / 1000) : format("%.0f Hz", hz), box.x - 8, y + 4, 1.0);
    }
    double step = niceStep(content.duration, 12);
    for (double t = 0; t <= content.duration + 1e-9; t += step)
        text(cr, timeLabel(t, step), box.x + box.w * t / content.duration, box.y + box.h + 18, 0.5);

    // Colour scale.
    Box bar = {box.x + box.w + 22, box.y, 16, box.h};
    for (int y = 0; y < (int)bar.h; y++) {
        Rgb c = magma(1.0 - (y + 0.5) / bar.h);
        setColour(cr, c);
        cairo_rectangle(cr, bar.x, bar.y + y, bar.w, 1);
        cairo_fill(cr);
    }
    setColour(cr, kDim);
    for (int db = 0; db >= -rangeDb; db -= 20)
        text(cr, std::to_string(db) + " dB", bar.x + bar.w + 6, bar.y + bar.h * (-db / rangeDb) + 4);
}

} // namespace

void PlotPainter::paint(const PlotContent& content, const std::string& path)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    setColour(cr, kBackground);
    cairo_paint(cr);

    font(cr, 26, true);
    setColour(cr, kText);
    text(cr, content.title, 40, 48);
    font(cr, 15);
    setColour(cr, kDim);
    text(cr, content.settings, 40, 76);

    const ChannelDecay& l = content.decay.channel[0];
    const ChannelDecay& r = content.decay.channel[1];
    std::string rt = "RT60";
    rt += l.rt60 > 0 ? format("   left %.2f s", l.rt60) : "   left  –";
    rt += r.rt60 > 0 ? format("   right %.2f s", r.rt60) : "   right  –";
    font(cr, 22, true);
    setColour(cr, kText);
    text(cr, rt, kWidth - 40, 48, 1.0);
    font(cr, 13);
    setColour(cr, kDim);
    std::string method = !l.method.empty() ? l.method : r.method;
    text(cr, method.empty() ? "decay too short to measure"
                            : method + " fit on the energy decay curve (Schroeder integration)",
         kWidth - 40, 76, 1.0);

    decayPanel(cr, {100, 130, 1260, 400}, content);
    spectrogramPanel(cr, {100, 600, 1200, 340}, content);

    cairo_destroy(cr);
    cairo_surface_flush(surface);
    PendingFile file(path);
    cairo_status_t status = cairo_surface_write_to_png(surface, file.path().c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + path + ": " + cairo_status_to_string(status));
    file.commit();
}
