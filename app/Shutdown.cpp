#include "Shutdown.h"

#include <cstdio>
#include <cstdlib>

void endProgramNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}
