#pragma once

#include <QString>

namespace quillon {

// Prints a line on standard output for whoever runs the program from a terminal. Failures also
// reach the window through the workspace's error properties; this is only their trace.
void printLine(const QString& line);

} // namespace quillon
