// The settings sheet.
#include "app/ContentView.h"

namespace quillon {

void ContentView::installSettings() { }

} // namespace quillon
