#include "change.h"

namespace cgi {

bool write_change(CONFIG_ENTRY entry, const void *after)
{
    return WaitMonitorOperateIdle() == 0 &&
           SetReceiverConfigParaToShareMemory(entry, const_cast<void *>(after)) == 0;
}

bool post_change(CONFIG_ENTRY entry, const void *before, const void *after, OPERATE_ENTRY operation)
{
    if (PostMonitorOperate(operation) == 0)
        return true;
    const ConfigSwap put_back = {static_cast<uint8_t>(entry), after, before};
    SwapReceiverConfigParaInShareMemory(&put_back, 1);
    return false;
}

} // namespace cgi
