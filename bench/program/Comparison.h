#pragma once

// Quillon next to the peer editors: the same documents opened, typed into and switched between
// in each editor in turn, on the same X server, in windows of the same size. The cases are named
// "compare …"; each fills rows of one table.

#include "program/ComparisonTable.h"
#include "program/Editor.h"
#include "program/XSession.h"

#include <QDir>
#include <QString>

#include <vector>

namespace quillon::bench {

// Runs the comparison cases whose name holds `only` (all when it is empty) for each editor and
// puts their figures into `table`; prints a line per editor and case as it goes.
void runComparisons(XSession& x, const std::vector<EditorSpec>& editors, const QDir& workDir,
    const QString& only, ComparisonTable& table);

// How the peer editors among `editors` were set up, under the table.
void printComparisonNotes(const std::vector<EditorSpec>& editors);

} // namespace quillon::bench
