// The tube current tables: the reference currents of the first and last rows, the ends of
// every row's polynomial, the plate-voltage trends between the rows, the single build, and
// the shared-powers fill against the plain one-powf-per-term procedure.
#include "core/TubeCoefficients.h"
#include "core/TubeTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int kCols[5] = { 0, 11025, 22050, 33075, 44099 };

struct Reference {
    int table, row;
    double value[5];   // 0 means "below 1e-7 in magnitude"
    int digits[5];     // significant digits given
};

const Reference kReferences[] = {
    { 0, 0, { 0, 1.807e-5, 1.044e-4, 1.911e-4, 2.781e-4 }, { 0, 4, 4, 4, 4 } },
    { 0, 9, { 0, 1.61e-7, 5.351e-5, 1.380e-4, 2.221e-4 }, { 0, 3, 4, 4, 4 } },
    { 1, 0, { 1.4e-6, 5.253e-4, 7.107e-4, 8.840e-4, 1.049e-3 }, { 2, 4, 4, 4, 4 } },
    { 1, 9, { 2.0e-6, 1.695e-3, 2.876e-3, 3.147e-3, 3.433e-3 }, { 2, 4, 4, 4, 4 } },
    { 2, 0, { 0, 1.444e-5, 5.132e-5, 8.891e-5, 1.269e-4 }, { 0, 4, 4, 4, 4 } },
    { 2, 9, { 0, 0, 0, 0, 2.668e-5 }, { 0, 0, 0, 0, 4 } },
    { 3, 0, { 2.229e-4, 4.621e-4, 4.942e-4, 5.195e-4, 5.405e-4 }, { 4, 4, 4, 4, 4 } },
    { 3, 9, { 3.085e-4, 6.752e-4, 1.049e-3, 1.426e-3, 1.553e-3 }, { 4, 4, 4, 4, 4 } },
};

const TubeTables& tables() { return TubeTables::instance(); }

}  // namespace

TEST(TubeTables, ReferenceCurrentsOfFirstAndLastRows)
{
    for (const Reference& ref : kReferences) {
        for (int i = 0; i < 5; ++i) {
            const float v = tables().at(ref.table, ref.row, kCols[i]);
            SCOPED_TRACE(testing::Message() << "table " << "ABCD"[ref.table] << " row " << ref.row
                                            << " column " << kCols[i] << " value " << v);
            if (ref.value[i] == 0.0) {
                EXPECT_LT(std::fabs(v), 1e-7);
                continue;
            }
            // Half a unit of the last digit given, except the last column of table A row 0,
            // whose fixed coefficients give 2.7801e-4 in single precision (its scale,
            // 2.7806e-4, is what the 2.781e-4 rounds).
            const double unit = std::pow(10.0, std::floor(std::log10(ref.value[i])) - ref.digits[i] + 1);
            const double tolerance = (ref.table == 0 && ref.row == 0 && i == 4) ? unit : 0.5 * unit;
            EXPECT_NEAR(v, ref.value[i], tolerance);
        }
    }
    EXPECT_NEAR(tables().at(0, 0, 44099), 2.7801e-4, 0.0001e-4);
}

TEST(TubeTables, LastColumnCopiesTheOneBefore)
{
    for (int t = 0; t < TubeTables::kTables; ++t)
        for (int r = 0; r < TubeTables::kRows; ++r)
            EXPECT_EQ(tables().at(t, r, 44100), tables().at(t, r, 44099));
}

TEST(TubeTables, PolynomialEnds)
{
    for (int t = 0; t < TubeTables::kTables; ++t) {
        for (int r = 0; r < TubeTables::kRows; ++r) {
            const float scale = kTubeCoefficients[t].scale[r];
            const float top = tables().at(t, r, 44099) / scale;
            const float bottom = tables().at(t, r, 0) / scale;
            SCOPED_TRACE(testing::Message() << "table " << "ABCD"[t] << " row " << r);
            EXPECT_NEAR(top, 1.0f, 0.002f);
            if (t < 3) {
                EXPECT_NEAR(bottom, 0.0f, 0.002f);
            } else {
                EXPECT_LE(bottom, 0.41f + 0.005f);
                EXPECT_GE(bottom, 0.20f - 0.005f);
                if (r > 0) {  // falls from about 0.41 at row 0 to about 0.20 at row 9
                    EXPECT_LT(bottom, tables().at(t, r - 1, 0) / kTubeCoefficients[t].scale[r - 1]);
                }
            }
        }
    }
    EXPECT_NEAR(tables().at(3, 0, 0) / kTubeCoefficients[3].scale[0], 0.41f, 0.005f);
    EXPECT_NEAR(tables().at(3, 9, 0) / kTubeCoefficients[3].scale[9], 0.20f, 0.005f);
}

// The grid currents (A, C) fall and the plate currents (B, D) rise with the plate voltage,
// as the first and last rows do; along the grid axis every current grows where it conducts.
// The polynomial ripple where a current is all but cut off is allowed a few microamperes.
TEST(TubeTables, PlausibleTrends)
{
    for (int t = 0; t < TubeTables::kTables; ++t) {
        const double sign = (t == 0 || t == 2) ? -1.0 : 1.0;
        double worstAcross = 0.0, worstAlong = 0.0;
        for (int r = 0; r < TubeTables::kRows; ++r) {
            auto row = [t, r](int c) { return tables().at(t, r, c); };
            const float scale = kTubeCoefficients[t].scale[r];
            for (int c = 0; c <= 44099; ++c) {
                if (r > 0)
                    worstAcross = std::max(worstAcross, -sign * (double)(row(c) - tables().at(t, r - 1, c)));
                // along the row: never falls by more than 0.5 % of the row's scale over 1 V
                // steps (1/24 or 1/40 of the row)
                if (c >= 2000)
                    worstAlong = std::max(worstAlong, (double)((row(c - 1800) - row(c)) / scale));
            }
        }
        SCOPED_TRACE(testing::Message() << "table " << "ABCD"[t]);
        EXPECT_LT(worstAcross, 2e-6);
        EXPECT_LT(worstAlong, 0.005);
    }
}

TEST(TubeTables, BuiltOnceAndSharedPowersMatchThePlainProcedure)
{
    const TubeTables* first = &TubeTables::instance();
    EXPECT_EQ(first, &TubeTables::instance());
    EXPECT_EQ(TubeTables::buildCount(), 1);

    // The plain procedure, one powf per term, on a spread of columns: bit for bit equal.
    const float step = 2.0f / 44099.0f;
    for (int c = 0; c <= 44099; c += 97) {
        const float x = static_cast<float>(c) * step - 1.0f;
        for (int t = 0; t < TubeTables::kTables; ++t) {
            for (int r = 0; r < TubeTables::kRows; ++r) {
                float sum = 0.0f;
                for (int k = 0; k <= 20; ++k)
                    sum += powf(x, static_cast<float>(k)) * kTubeCoefficients[t].a[r][k];
                ASSERT_EQ(first->at(t, r, c), sum * kTubeCoefficients[t].scale[r])
                    << "table " << t << " row " << r << " column " << c;
            }
        }
    }
    // A second fill into another object gives the same tables.
    auto again = std::make_unique<TubeTables>();
    TubeTables::fill(*again);
    for (int t = 0; t < TubeTables::kTables; ++t)
        for (int r = 0; r < TubeTables::kRows; ++r)
            for (int c = 0; c < TubeTables::kColumns; c += 1013)
                ASSERT_EQ(again->at(t, r, c), first->at(t, r, c));
    EXPECT_EQ(TubeTables::buildCount(), 1);
}
