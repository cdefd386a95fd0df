#include "app/AppLog.h"

namespace quillon {

Q_LOGGING_CATEGORY(lcApp, "quillon.app")

} // namespace quillon
