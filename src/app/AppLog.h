#pragma once

#include <QLoggingCategory>

namespace quillon {

Q_DECLARE_LOGGING_CATEGORY(lcApp)

} // namespace quillon
