#include "panels.h"

namespace halyard::gui {

void attachEditors(TEmbedded&, QMdiArea*, QMainWindow*) {}

} // namespace halyard::gui
