#include "workspace/YAMLValidator.h"

namespace quillon {

YAMLValidator::ValidationResult YAMLValidator::validate(QStringView)
{
    return ValidationResult::noFrontmatter();
}

std::optional<QString> YAMLValidator::extractFrontmatter(QStringView)
{
    return std::nullopt;
}

} // namespace quillon
