// Custom ellipsoid editor.
#include "pages/coordinates/CustomEllipsoidPage.hpp"

#include "geodesy/CustomEllipsoids.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/NumberText.hpp"

#include <cmath>
#include <string>

namespace carvento::pages {

CustomEllipsoidPage::CustomEllipsoidPage(PageContext context, ProfileStore store)
    : ToolPage(context), m_store(std::move(store))
{
    AddField({.id = "name", .label = kNameLabel, .kind = FieldKind::Text});
    AddField({.id = "a", .label = kALabel, .kind = FieldKind::Text});
    AddField({.id = "b", .label = kBLabel, .kind = FieldKind::Text});
    AddCommand({.id = "ok", .caption = "确定", .action = [this] { return Accept(); }});
}

bool CustomEllipsoidPage::Accept()
{
    const std::string& name = Field("name").text;
    const std::string& aText = Field("a").text;
    const std::string& bText = Field("b").text;
    const auto refuse = [this](const std::string& text) {
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
    // The profile keeps what it is given, and every page that lists the ellipsoid afterwards
    // would compute from it: axes that are no ellipsoid never get there.
    const auto positive = [](const std::string& text, double value) {
        return platform::IsNumberText(text) && std::isfinite(value) && value > 0.0;
    };
    if (!positive(aText, a))
        return refuse(FormatMessage(messages::kEllipsoidAxisNotPositive, std::string("长半径a")));
    if (!positive(bText, b))
        return refuse(FormatMessage(messages::kEllipsoidAxisNotPositive, std::string("短半径b")));
    if (!(b < a))
        return refuse(messages::kEllipsoidAxesOrder);
    const ProfileChange save = [&](platform::Profile& profile) {
        geodesy::SaveCustomEllipsoid(profile, name, a, b);
    };
    if (!(m_store ? m_store(save) : m_context.profile.Change(save)))
        return refuse(messages::kEllipsoidNotStored);
    return true;
}

} // namespace carvento::pages
