#include "core/TubeTables.h"

#include "core/TubeCoefficients.h"

#include <atomic>
#include <cmath>
#include <memory>

static_assert(TubeTables::kTables == TubeCoefficientSet::kTables);
static_assert(TubeTables::kRows == TubeCoefficientSet::kRows);

namespace {
std::atomic<int> builds{0};  // tables built in this process
}

void TubeTables::fill(TubeTables& t)
{
    constexpr int kTerms = TubeCoefficientSet::kTerms;
    const float step = 2.0f / 44099.0f;  // rounded to float once, as every column uses it
    float powers[kTerms];
    for (int c = 0; c <= kLastColumn; ++c) {
        const float x = static_cast<float>(c) * step - 1.0f;
        for (int k = 0; k < kTerms; ++k)
            powers[k] = std::pow(x, static_cast<float>(k));   // powf
        for (int table = 0; table < kTables; ++table) {
            const TubeCoefficientSet& set = kTubeCoefficients[table];
            for (int r = 0; r < kRows; ++r) {
                const float* a = set.a[r];
                float sum = 0.0f;
                for (int k = 0; k < kTerms; ++k)
                    sum += powers[k] * a[k];                   // ascending k, single precision
                t.pairs[table / 2][r][c][table % 2] = sum * set.scale[r];
            }
        }
    }
    for (int table = 0; table < kTables; ++table)
        for (int r = 0; r < kRows; ++r)
            t.pairs[table / 2][r][kLastColumn + 1][table % 2] = t.pairs[table / 2][r][kLastColumn][table % 2];
}

const TubeTables& TubeTables::instance()
{
    // A function-local static: built once, by whichever thread comes first; the others wait.
    static const std::unique_ptr<TubeTables> tables = [] {
        auto t = std::make_unique<TubeTables>();
        fill(*t);
        builds.fetch_add(1, std::memory_order_relaxed);
        return t;
    }();
    return *tables;
}

int TubeTables::buildCount()
{
    return builds.load(std::memory_order_relaxed);
}
