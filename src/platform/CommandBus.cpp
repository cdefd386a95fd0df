#include "platform/CommandBus.h"

namespace quillon {

CommandBus& CommandBus::shared()
{
    static CommandBus bus;
    return bus;
}

} // namespace quillon
