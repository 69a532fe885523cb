// The four tube current tables (A, B: the two currents of tube 1; C, D: of tube 2), each
// 10 rows × 44101 columns of amperes, filled once per process from degree-20 polynomials
// and shared read-only by every instance.
#pragma once

struct TubeTables {
    static constexpr int kTables = 4;      // A, B, C, D
    static constexpr int kRows = 10;       // first-axis (plate) voltage steps
    static constexpr int kColumns = 44101; // second-axis (grid) voltage steps, last one a copy

    // The process's tables, built on first use; thread-safe.
    static const TubeTables& instance();

    const float* row(int table, int r) const { return data[table][r]; }

    float data[kTables][kRows][kColumns];
};
