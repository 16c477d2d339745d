// "单位转换" (CDWZHDlg): latitude/longitude pairs from one angle notation into another.
#pragma once

#include "pages/frames/ConversionPage.hpp"

namespace carvento::pages {

// One conversion type: its drop-down text and how one cell is rewritten.
struct NotationConversion {
    const char* caption;
    std::string (*convert)(const std::string& cell);
};

// The twelve conversion types in drop-down order.
std::span<const NotationConversion> NotationConversions();

class CDWZHDlg final : public ConversionPage {
public:
    explicit CDWZHDlg(PageContext context);
    std::string Title() const override { return "单位转换"; }
    std::vector<std::string> ExportHeader() const override { return {"序号", "纬度", "经度"}; }
    // The text types read "D°M′S″" texts; the others numbers.
    bool ReadsAsValue(int column, std::string_view cell) const override;

private:
    void PrepareConvert() override;
    void ConvertRow(std::span<std::string> cells) override;
    int m_type = 0;
};

} // namespace carvento::pages
