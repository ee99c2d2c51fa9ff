#pragma once
// Thermal erosion a band of rows at a time, eight rows to a vector (AVX2).
//
// A thermal cell update reads and writes only its centre and its four diagonal neighbours, and
// each cell of a row depends on the cell two columns before it (they share a diagonal neighbour),
// so a row cannot be vectorised along its length. Across rows it can: a cell depends on the row
// above only up to one column ahead, so row r + 1 may be updated two columns behind row r. A band
// holds eight consecutive rows in the lanes of a vector, each lane two columns behind the one
// above it ("skewed"): the cells of one vector then never touch one another, and a step of the
// band updates six cells (the two outer lanes hold the rows above and below, which the diagonal
// writes reach). The band slides along its rows with seven such skewed columns in registers,
// reading one skewed column from the grid and writing one back per step. Two bands run
// interleaved, the lower one twenty steps behind, so that each hides the other's latency.
//
// Every cell sees exactly the neighbours it would see in the plain row-by-row sweep and does the
// same single-precision arithmetic, so the result is bit for bit that of the sequential sweep,
// NaN and infinities included. Passes can run on several threads, each pass two bands behind
// the one before.
//
// Limits: needs AVX2 (available()); the rows left below the last band of a pass are swept
// cell by cell.

namespace orovista::thermalbands {

/// True when the processor has AVX2.
bool available();

/// @a passes passes of thermal erosion with talus @a talus over the n × n row-major @a grid,
/// on @a threads threads (1 or more; passes run a few rows behind one another). Returns false,
/// having done nothing, when the threads cannot be started.
/// @pre available(), n ≥ 3.
bool run(float *grid, int n, float talus, int passes, int threads);

}   // namespace orovista::thermalbands
