#include "Shutdown.h"

#include <QCoreApplication>

namespace {
std::function<void()>& observer()
{
    static std::function<void()> current;
    return current;
}
}  // namespace

void setProgramEndObserver(std::function<void()> newObserver) { observer() = std::move(newObserver); }

void endProgram()
{
    if (observer()) {
        observer()();
        return;
    }
    QCoreApplication::exit(0);
}
