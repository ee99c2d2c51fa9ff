#pragma once
// How many cores this process may use right now: the cores it may run on (its affinity) less the
// other tasks that are running or waiting to run this moment.
//
// Work whose threads wait for one another (erosion's wavefront: each row waits for the row
// before it) runs slower than one thread when a thread finds no free core: it waits for a core
// that another program holds. Such work asks here first and uses no more threads than there are
// free cores. The count is a snapshot of /proc/loadavg's running tasks, read three times half a
// millisecond apart and the least taken, so that a task that only passes by is not counted; it
// says nothing about what the machine will do later. Without /proc it is every core.

namespace orovista {

/// The cores free for this process now, at least 1, at most `most`.
int freeCores(int most);

}   // namespace orovista
