// The window of a registered page, by the frame the registry names for it.
#pragma once

#include "pages/PageRegistry.hpp"

class QWidget;

namespace carvento::ui {

// A new top-level window showing a new page of `registration` (which must be built); it
// deletes itself when closed.
QWidget* MakePageWindow(const pages::PageRegistration& registration, pages::PageContext context);

} // namespace carvento::ui
