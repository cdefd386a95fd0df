#pragma once

#include <QString>
#include <QStringView>

namespace quillon::yamltags {

inline const QString kString = QStringLiteral("tag:yaml.org,2002:str");

// The tag a plain (unquoted, untagged) scalar resolves to: null, bool, int, float, merge,
// timestamp or str, by the YAML 1.1 rules (so "1_000", "0x1F", "yes" and "~" are not strings).
QString resolvePlainScalar(QStringView value);

} // namespace quillon::yamltags
