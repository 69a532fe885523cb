// The four tube current tables (A, B: the two currents of tube 1; C, D: of tube 2), each
// 10 rows × 44101 columns of amperes. A row is one plate-voltage step, a column one
// grid-voltage step; every row is a degree-20 polynomial of the grid axis times the row's
// scale (TubeCoefficients). Lifecycle: built once per process on the first call of
// instance() (about 7 MB on the heap, thread-safe), then shared read-only by every
// instance and thread for the life of the process.
#pragma once

struct TubeTables {
    static constexpr int kTables = 4;      // A, B, C, D
    static constexpr int kRows = 10;       // first-axis (plate) voltage steps
    static constexpr int kColumns = 44101; // second-axis (grid) voltage steps, last one a copy
    static constexpr int kLastColumn = kColumns - 2; // last column an interpolating read uses

    // The process's tables, built on first use; thread-safe.
    static const TubeTables& instance();

    // How often instance() has built the tables in this process (0 or 1).
    static int buildCount();

    // Fills t from the coefficient sets: x = c × (2/44099) − 1 and the sum of powf(x, k) ×
    // a[r][k] in ascending k, in single precision, times the row's scale; column 44100 copies
    // column 44099. The powers of each column are computed once and shared by all rows.
    static void fill(TubeTables& t);

    const float* row(int table, int r) const { return data[table][r]; }

    float data[kTables][kRows][kColumns];  // amperes; written by fill() only
};
