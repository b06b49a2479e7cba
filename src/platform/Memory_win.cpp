#include "Memory.h"

namespace velra::platform {

// Windows gives large pages only to accounts holding a privilege that authors do not have.
void preferLargePages(void *, qsizetype)
{
}

} // namespace velra::platform
