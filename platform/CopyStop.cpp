#include "CopyStop.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <cstdint>

namespace platform {

CopyStop::CopyStop() : m_event(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CopyStop::~CopyStop()
{
    if (m_event >= 0)
        ::close(m_event);
}

void CopyStop::request()
{
    m_requested = true;
    if (m_event >= 0) {
        const std::uint64_t one = 1;
        (void)::write(m_event, &one, sizeof one);
    }
}

}  // namespace platform
