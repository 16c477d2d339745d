// Custom ellipsoid editor.
#include "pages/CustomEllipsoidPage.hpp"

#include "geodesy/CustomEllipsoids.hpp"
#include "pages/Messages.hpp"
#include "platform/NumberText.hpp"

namespace carvento::pages {

CustomEllipsoidPage::CustomEllipsoidPage(PageContext context, ProfileStore store)
    : ToolPage(context), m_store(std::move(store))
{
    AddField({.id = "name", .label = kNameLabel, .kind = FieldKind::Text});
    AddField({.id = "a", .label = kALabel, .kind = FieldKind::Text});
    AddField({.id = "b", .label = kBLabel, .kind = FieldKind::Text});
    AddCommand({.id = "ok", .caption = "确定"});
}

bool CustomEllipsoidPage::Accept()
{
    const std::string& name = Field("name").text;
    const std::string& aText = Field("a").text;
    const std::string& bText = Field("b").text;
    const auto refuse = [this](const char* text) {
        m_context.prompter.ShowMessage({text, messages::kApplicationTitle,
                                        platform::MessageIcon::Warning,
                                        platform::MessageButtons::Ok});
        return false;
    };
    if (name.empty() || aText.empty() || bText.empty())
        return refuse(messages::kEllipsoidIncomplete);
    if (!geodesy::IsUsableCustomName(name))
        return refuse(messages::kEllipsoidNameSeparator);

    const double a = platform::ParseDouble(aText);
    const double b = platform::ParseDouble(bText);
    const ProfileChange save = [&](platform::Profile& profile) {
        geodesy::SaveCustomEllipsoid(profile, name, a, b);
    };
    if (!m_store) {
        save(m_context.profile);
        return true;
    }
    if (!m_store(save))
        return refuse(messages::kEllipsoidNotStored);
    return true;
}

} // namespace carvento::pages
