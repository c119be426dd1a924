#pragma once
// The program's one way out. Every exit goes through endProgram(), so a test can put
// an observer in place of the real end and see that, and when, the program would end.

#include <functional>

// Ends the program once the handler that calls it returns: the event loop, and every
// loop open inside it (a message box's), ends, and main() returns, so every object
// goes in good order and removes what it owns. Nothing is saved: the program keeps no
// state between runs. With an observer set, calls it instead and returns.
void endProgram();

// Replaces the real end with `observer`; an empty function restores it.
void setProgramEndObserver(std::function<void()> observer);
