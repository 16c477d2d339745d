// Custom ellipsoid editor.
#include "pages/CustomEllipsoidPage.hpp"

#include "geodesy/CustomEllipsoids.hpp"
#include "pages/Messages.hpp"
#include "platform/NumberText.hpp"

namespace carvento::pages {

bool CustomEllipsoidPage::Accept()
{
    if (name.empty() || aText.empty() || bText.empty()) {
        m_context.prompter.ShowMessage({messages::kEllipsoidIncomplete, messages::kApplicationTitle,
                                        platform::MessageIcon::Warning, platform::MessageButtons::Ok});
        return false;
    }
    geodesy::SaveCustomEllipsoid(m_context.profile, name, platform::ParseDouble(aText),
                                 platform::ParseDouble(bText));
    return true;
}

} // namespace carvento::pages
