// The supervisor side of the worker: started, passed the stop signals, waited for.
#pragma once

#include <functional>
#include <vector>

namespace conv {

// How the worker ended, and what it said it wrote.
struct WorkerEnd {
    int status = 0;
    // The length of the file it wrote, in seconds, by its own account;
    // negative when it gave none.
    double secondsWritten = -1;
};

// Runs `work` in a child process, the worker, and waits for it: the calling
// process stays the one its caller knows and keeps every right it has, while
// the worker confines itself and parses the source. The worker keeps only the
// descriptors in `kept` and stderr (stdin and stdout become /dev/null); `work`
// gets where to note the seconds it wrote. Stop signals sent to this process
// are passed on to the worker, and a worker still running a short grace later
// is killed: a stop never waits on a worker stuck writing to a full pipe. A
// stop that came before the worker ended, or before this returns, makes the
// status Stopped whatever the worker's (its line said once). The worker dies
// with this process. Throws ConversionError when the worker cannot be started
// or ends on a signal nobody sent (a crash, or a forbidden calling convention).
//
// Call it while only one thread runs, with the stop signals blocked (they
// stay blocked in the worker until it takes them).
WorkerEnd runInWorker(const std::vector<int>& kept, const std::function<int(double& secondsWritten)>& work);

}  // namespace conv
