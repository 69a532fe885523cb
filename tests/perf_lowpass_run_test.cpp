// QS_LowpassN's skewed run over a row against the plain loop of updateCoefficient and process
// per sample: the same output bits and the same state afterwards, for several stage counts,
// runs shorter than the chain, and a coefficient that changes at every sample.
#include "dsp/QS_LowpassN.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

TEST(LowpassRun, EqualsSampleBySampleProcessing)
{
    std::mt19937 gen(9);
    std::uniform_real_distribution<float> v(-1.0f, 1.0f), a(0.0f, 0.999f);
    const float rate = 1.0f;
    for (int stages : {1, 3, 6, 10}) {
        for (int n : {1, 4, 9, 500, 2500}) {
            float cellIn = 0.0f, cellCoef = 0.0f;
            QS_LowpassN plain(cellIn, stages, cellCoef, rate);
            QS_LowpassN fast(cellIn, stages, cellCoef, rate);
            QS_LowpassN pairLeft(cellIn, stages, cellCoef, rate), pairRight(cellIn, stages, cellCoef, rate);
            for (int pass = 0; pass < 3; pass++) {   // state carried from run to run
                std::vector<float> row(n), coef(n), want(n);
                for (int i = 0; i < n; i++) {
                    row[i] = v(gen);
                    coef[i] = a(gen);
                }
                for (int i = 0; i < n; i++) {
                    cellIn = row[i];
                    cellCoef = coef[i];
                    plain.updateCoefficient();
                    plain.process();
                    want[i] = *plain.output();
                }
                std::vector<float> left = row, right = row;
                fast.processRun(row.data(), coef.data(), n);
                QS_LowpassN::processRuns(pairLeft, left.data(), pairRight, right.data(), coef.data(), n);
                ASSERT_EQ(left, want);
                ASSERT_EQ(right, want);
                ASSERT_EQ(0, std::memcmp(row.data(), want.data(), sizeof(float) * n))
                    << "stages " << stages << " n " << n << " pass " << pass;
                ASSERT_EQ(*fast.output(), *plain.output());
            }
            // the internal state agrees too: one more plain sample through both
            cellIn = 0.25f;
            cellCoef = 0.5f;
            plain.updateCoefficient();
            plain.process();
            fast.updateCoefficient();
            fast.process();
            ASSERT_EQ(*fast.output(), *plain.output()) << "stages " << stages << " n " << n;
        }
    }
}
