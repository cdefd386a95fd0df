// The git views
#include "app/ContentView.h"

namespace quillon {

void ContentView::installGitViews() { }

} // namespace quillon
