#include "terrain/freecores.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include <sched.h>

namespace orovista {

namespace {

/// The cores this process may run on.
int allowedCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1, int(std::thread::hardware_concurrency()));
}

/// Tasks running or ready to run on the whole machine now (the asking thread among them); -1
/// when unknown.
int runnableTasks()
{
    std::FILE *file = std::fopen("/proc/loadavg", "r");
    if (!file)
        return -1;
    double one, five, fifteen;
    int running = -1, total = 0;
    if (std::fscanf(file, "%lf %lf %lf %d/%d", &one, &five, &fifteen, &running, &total) != 5)
        running = -1;
    std::fclose(file);
    return running;
}

}   // namespace

int freeCores(int most)
{
    const int cores = allowedCores();
    int others = -1;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        const int running = runnableTasks();
        if (running < 0)
            break;
        others = others < 0 ? running - 1 : std::min(others, running - 1);
    }
    const int free = others < 0 ? cores : cores - std::max(others, 0);
    return std::clamp(free, 1, std::max(1, most));
}

}   // namespace orovista
