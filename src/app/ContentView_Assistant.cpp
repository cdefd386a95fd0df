// The assistant panel beside the editor column.
#include "app/ContentView.h"

namespace quillon {

void ContentView::installAssistant() { }

} // namespace quillon
