// The four tube current tables (A, B: the two currents of tube 1; C, D: of tube 2), each
// 10 rows × 44101 columns of amperes. A row is one plate-voltage step, a column one
// grid-voltage step; every row is a degree-20 polynomial of the grid axis times the row's
// scale (TubeCoefficients). Lifecycle: built once per process on the first call of
// instance() (about 7 MB on the heap, thread-safe), then shared read-only by every
// instance and thread for the life of the process.
//
// Layout: the two tables of one tube are interleaved, entry by entry (A, B, A, B, ...), because
// the stage always reads both at the same place: the four values around a column position
// (both tables, this column and the next) are then one 16-byte read per row.
#pragma once

struct TubeTables {
    static constexpr int kTables = 4;      // A, B, C, D
    static constexpr int kTubes = 2;       // (A, B) and (C, D)
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

    // Table 0 … 3, row 0 … 9, column 0 … 44100.
    float at(int table, int r, int c) const { return pairs[table / 2][r][c][table % 2]; }
    // Tube 0 (A, B) or 1 (C, D): rows of interleaved pairs, kColumns pairs per row.
    const float* tube(int t) const { return &pairs[t][0][0][0]; }

    float pairs[kTubes][kRows][kColumns][2];  // amperes; written by fill() only
};
