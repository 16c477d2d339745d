// "自定义椭球参数设置": names a new ellipsoid by its axes and stores it in the profile.
#pragma once

#include "pages/frames/ToolPage.hpp"

#include <functional>

namespace carvento::pages {

namespace messages {
// Axes that are no ellipsoid: %s the axis' label without its "=".
inline constexpr const char* kEllipsoidAxisNotPositive = "%s必须是大于0的有限数字，新建椭球失败！";
inline constexpr const char* kEllipsoidAxesOrder = "短半径b必须小于长半径a，新建椭球失败！";
} // namespace messages

class CustomEllipsoidPage final : public ToolPage {
public:
    // A change to the profile, and what carries it there. Without a store the change goes
    // through the context profile's Change: a profile file that other programs share locks
    // the file, re-reads it, makes the change and writes it back, so that two programs adding
    // an ellipsoid at once both keep theirs. The store returns false when the change could not
    // be stored.
    using ProfileChange = std::function<void(platform::Profile&)>;
    using ProfileStore = std::function<bool(const ProfileChange&)>;

    explicit CustomEllipsoidPage(PageContext context, ProfileStore store = {});

    std::string Title() const override { return "自定义椭球参数设置"; }
    PageFrame Frame() const override { return PageFrame::Form; }
    CustomEllipsoidPage* EllipsoidEditor() override { return this; }
    static constexpr const char* kNameLabel = "椭球名称:";
    static constexpr const char* kALabel = "长半径a=";
    static constexpr const char* kBLabel = "短半径b=";

    // 确定: stores the ellipsoid and returns true (close). Refuses with a message, storing
    // nothing and returning false (the page stays open with its contents): an empty field; a
    // name holding ";" or ","; an axis that is not a finite decimal number above 0 ("abc",
    // "inf", "1e999", "-1", "0"); b not below a; a store that failed.
    // The text fields are "name", "a" and "b"; the command "ok" is 确定.
    bool Accept();

private:
    ProfileStore m_store;
};

} // namespace carvento::pages
