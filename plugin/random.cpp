#include "plugin/random.h"

#include <QTime>

namespace orovista::random {

namespace {
std::uint32_t state = 1;

// The three-step linear congruential generator of the C library's rand_r: 31 bits from three
// rounds of the classic constants.
int step(std::uint32_t &s)
{
    std::uint32_t next = s;
    next = next * 1103515245u + 12345u;
    std::uint32_t result = (next / 65536u) % 2048u;
    next = next * 1103515245u + 12345u;
    result = (result << 10) ^ ((next / 65536u) % 1024u);
    next = next * 1103515245u + 12345u;
    result = (result << 10) ^ ((next / 65536u) % 1024u);
    s = next;
    return int(result);
}
}   // namespace

void seed(std::uint32_t s) { state = s; }

int next() { return step(state); }

int inRange(int lo, int hi)
{
    if (hi <= lo)
        return lo;
    return lo + int(std::uint32_t(next()) % std::uint32_t(hi - lo + 1));
}

int nodeSeedFromMilliseconds(int milliseconds)
{
    seed(std::uint32_t(milliseconds));
    return next() % 17;
}

int freshNodeSeed() { return nodeSeedFromMilliseconds(QTime::currentTime().msec()); }

}   // namespace orovista::random
