#pragma once

#include <QString>

namespace quillon {

// The symbol name shown for a file extension by the tree, recents, search results and tabs
// ("doc.text", "doc.plaintext", ..., "doc" for anything else).
QString iconForExtension(const QString& extension);

} // namespace quillon
