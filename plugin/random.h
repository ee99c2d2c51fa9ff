#pragma once
// The program's pseudo-random generator: seeded like the toolkit's old qsrand/qrand pair and giving
// the same kind of numbers (0 … 2147483647), so that seeds and painted scatter follow the same rules
// everywhere.
#include <cstdint>

namespace orovista::random {

/// Seeds the process-wide generator.
void seed(std::uint32_t s);
/// The next value, 0 … 2147483647.
int next();
/// An integer in lo … hi, both included: lo + next() mod (hi − lo + 1).
int inRange(int lo, int hi);
/// A node seed: the generator seeded with the current time's milliseconds (0 … 999), then the
/// next value mod 17 (0 … 16).
int freshNodeSeed();
/// The same from a given millisecond value, for tests.
int nodeSeedFromMilliseconds(int milliseconds);

}   // namespace orovista::random
