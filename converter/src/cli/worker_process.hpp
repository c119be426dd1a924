// The supervisor side of the worker: started, passed the stop signals, waited for.
#pragma once

#include <functional>

namespace conv {

// Runs `work` in a child process, the worker, and waits for it: the calling
// process stays the one its caller knows and keeps every right it has, while
// the worker confines itself and parses the source. Stop signals sent to this
// process are passed on to the worker; the worker dies with this process.
// Returns the worker's exit status; throws ConversionError when it cannot be
// started or ends on a signal (a crash, or a forbidden system call).
//
// Call it while only one thread runs, with the stop signals blocked (they
// stay blocked in the worker until it takes them).
int runInWorker(const std::function<int()>& work);

}  // namespace conv
