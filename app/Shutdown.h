#pragma once

// Ends the program at once: no question, no closing handlers, nothing cleaned up.
// Nothing is lost by it, because the program keeps no state between runs.
[[noreturn]] void endProgramNow();
