// The sidebar column (and the sidebar's footer slot).
#include "app/ContentView.h"

namespace quillon {

void ContentView::installSidebar() { }

} // namespace quillon
