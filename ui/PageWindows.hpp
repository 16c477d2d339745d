// The window of a registered page, by the frame the registry names for it.
#pragma once

#include "pages/PageRegistry.hpp"

#include <functional>

class QWidget;

namespace carvento::ui {

// A new top-level window showing a new page of `registration` (which must be built); it
// deletes itself when closed. `prepare`, when given, fills the new page before the window is
// built on it (a result handed over from another page).
QWidget* MakePageWindow(const pages::PageRegistration& registration, pages::PageContext context,
                        const std::function<void(pages::ToolPage&)>& prepare = {});

} // namespace carvento::ui
