// "自定义椭球参数设置": names a new ellipsoid by its axes and stores it in the profile.
#pragma once

#include "pages/TablePage.hpp"

namespace carvento::pages {

class CustomEllipsoidPage {
public:
    explicit CustomEllipsoidPage(PageContext context) : m_context(context) {}

    static std::string Title() { return "自定义椭球参数设置"; }
    static constexpr const char* kNameLabel = "椭球名称:";
    static constexpr const char* kALabel = "长半径a=";
    static constexpr const char* kBLabel = "短半径b=";

    std::string name;
    std::string aText;
    std::string bText;

    // 确定: refuses an empty field with a message (the page stays open, false); otherwise
    // stores the ellipsoid (a and b read with atof semantics) and returns true (close).
    bool Accept();

private:
    PageContext m_context;
};

} // namespace carvento::pages
