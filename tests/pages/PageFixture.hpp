// A page context made of recording fakes, and helpers to fill and read page tables.
#pragma once

#include "pages/frames/ConversionPage.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"

#include <string>
#include <vector>

namespace carvento::testing {

using Cells = std::vector<std::string>;

struct FakeContext {
    FakePrompter prompter;
    FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

inline void FillSource(pages::ConversionPage& page, const Cells& cells)
{
    int columns = page.Source().ColumnCount();
    page.Source().FillRows(cells, static_cast<int>(cells.size()) / columns, columns);
}

inline Cells ResultCells(pages::ConversionPage& page)
{
    Cells cells;
    page.Result().CollectCells(cells);
    return cells;
}

} // namespace carvento::testing
