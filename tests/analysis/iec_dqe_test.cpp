// The DQE per direction from hand-made curves: each direction's MTF with the same direction's
// NNPS, the grid they must share, the physical ranges, and when a DQE above 1 is worth a word.
#include "iec_dqe.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace vantry;

namespace {

/// An MTF of `dir` on 0, 0.1, ... 1.0 with value `value(f)` and standard error `se`.
template <class F> PreciseMtfResult edge(const char* dir, F value, double se = 0.01)
{
    PreciseMtfResult m;
    m.dir = dir;
    for (int k = 0; k <= 10; ++k) {
        m.freq.push_back(0.1 * k);
        m.mtf.push_back(value(0.1 * k));
        m.se.push_back(k == 0 ? 0 : se);
    }
    return m;
}

/// An NNPS on 0.1 .. 1.0 of constant H and V levels with relative standard error 2 %.
IecNnpsResult noise(double h, double v)
{
    IecNnpsResult n;
    for (int k = 1; k <= 10; ++k) {
        n.freq.push_back(0.1 * k);
        n.nnpsH.push_back(h);
        n.nnpsV.push_back(v);
        n.seH.push_back(0.02 * h);
        n.seV.push_back(0.02 * v);
    }
    return n;
}

constexpr double kQ = 30000, kKerma = 2;

} // namespace

TEST(IecDqe, EachDirectionPairsItsOwnMtfAndNnps)
{
    const auto mtfH = [](double f) { return 1 - 0.5 * f; };
    const auto mtfV = [](double f) { return 1 - 0.8 * f; };
    const double quantum = 1 / (kQ * kKerma);
    const IecDqeResult r = combineIecDqe(edge(" H", mtfH), edge(" V", mtfV), noise(quantum, 2 * quantum), kQ, kKerma);
    ASSERT_TRUE(r.error.empty()) << r.error;
    ASSERT_EQ(r.rows.size(), 10u);
    for (const IecDqeRow& row : r.rows) {
        EXPECT_NEAR(row.mtfH, mtfH(row.f), 1e-12);
        EXPECT_NEAR(row.dqeH, mtfH(row.f) * mtfH(row.f), 1e-9) << row.f;
        EXPECT_NEAR(row.dqeV, mtfV(row.f) * mtfV(row.f) / 2, 1e-9) << row.f;
        // 2 se/MTF and se/NNPS added in quadrature.
        const double rel = std::hypot(2 * 0.01 / mtfH(row.f), 0.02);
        EXPECT_NEAR(row.seDqeH, row.dqeH * rel, 1e-9);
    }
    EXPECT_TRUE(r.warnings.empty());
}

TEST(IecDqe, RefusesSwappedEdgesAForeignGridAndUnphysicalInputs)
{
    const auto flat = [](double) { return 0.9; };
    const IecNnpsResult n = noise(1e-5, 1e-5);
    EXPECT_NE(combineIecDqe(edge(" V", flat), edge(" V", flat), n, kQ, kKerma).error.find("swap"), std::string::npos);
    EXPECT_NE(combineIecDqe(edge(" V", flat), edge(" H", flat), n, kQ, kKerma).error.find("swap"), std::string::npos);
    IecNnpsResult off = n;
    off.freq[3] = 0.45; // between the MTF's points
    EXPECT_NE(combineIecDqe(edge(" H", flat), edge(" V", flat), off, kQ, kKerma).error.find("0.45"), std::string::npos);
    EXPECT_FALSE(combineIecDqe(edge(" H", flat), edge(" V", flat), n, kQ, 0.0009).error.empty());
    EXPECT_TRUE(combineIecDqe(edge(" H", flat), edge(" V", flat), n, kQ, 0.001).error.empty());
    EXPECT_FALSE(combineIecDqe(edge(" H", flat), edge(" V", flat), n, 999, kKerma).error.empty());
    EXPECT_TRUE(combineIecDqe(edge(" H", flat), edge(" V", flat), n, 1e6, kKerma).error.empty());
    IecNnpsResult zero = n;
    zero.nnpsV[5] = 0;
    EXPECT_NE(combineIecDqe(edge(" H", flat), edge(" V", flat), zero, kQ, kKerma).error.find("not a finite"),
              std::string::npos);
}

TEST(IecDqe, ADqeAboveOneIsAWarningOnlyBeyondTwiceItsError)
{
    const auto one = [](double) { return 1.0; };
    const double quantum = 1 / (kQ * kKerma);
    // 3 % above 1 with 2 % of NNPS error: within two errors, no word.
    IecDqeResult r = combineIecDqe(edge(" H", one, 0), edge(" V", one, 0), noise(quantum / 1.03, quantum), kQ, kKerma);
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    // 10 % above: a warning naming the direction, its value and error.
    r = combineIecDqe(edge(" H", one, 0), edge(" V", one, 0), noise(quantum, quantum / 1.1), kQ, kKerma);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].rfind("warning the DQE V reaches 1.100 (standard error 0.022) at 0.1 cycles/mm", 0), 0u)
        << r.warnings[0];
}
