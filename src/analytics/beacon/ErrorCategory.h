#pragma once

#include <QString>

#include <optional>

namespace quillon {

enum class ErrorCategory { thrownException, userInput, appState };

// "thrown-exception", "user-input", "app-state".
QString rawValue(ErrorCategory category);
// Exactly the three raw values (case-sensitive); nothing for anything else.
std::optional<ErrorCategory> errorCategoryFromRawValue(const QString& raw);

} // namespace quillon
