#include "workspace/TokenCounter.h"

namespace quillon {

qint64 TokenCounter::estimate(QStringView text)
{
    return text.isEmpty() ? 0 : 0;
}

} // namespace quillon
