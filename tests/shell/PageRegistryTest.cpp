// The catalogue and the page registry agree: every entry that opens a page has a registry row
// (built, or listed as not built yet), and every built page is what its row says.
#include "pages/PageRegistry.hpp"
#include "shell/Catalogue.hpp"
#include "support/FakePlatform.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace carvento;

TEST(PageRegistry, CoversEveryCatalogueEntryThatOpensAPage)
{
    for (const shell::CatalogueEntry& entry : shell::CatalogueEntries()) {
        bool opensPage = entry.action == shell::CatalogueAction::OpenPage ||
                         entry.action == shell::CatalogueAction::OpenEarthPage;
        SCOPED_TRACE(std::string(entry.caption));
        EXPECT_EQ(opensPage, pages::FindPageById(entry.id) != nullptr);
    }
}

TEST(PageRegistry, BuiltPagesAreWhatTheirRowsSayAndVerbsAreUnique)
{
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    std::set<std::string_view> verbs;
    int built = 0;
    for (const pages::PageRegistration& row : pages::PageRegistry()) {
        SCOPED_TRACE(std::string(row.pageClass));
        EXPECT_NE(nullptr, shell::FindCatalogueEntry(row.catalogueId));
        if (!row.verb.empty()) {
            EXPECT_TRUE(verbs.insert(row.verb).second) << "verb used twice: " << row.verb;
        }
        if (!row.Built())
            continue;
        ++built;
        std::unique_ptr<pages::ToolPage> page = row.factory({prompter, clipboard, profile});
        ASSERT_NE(nullptr, page);
        EXPECT_EQ(row.frame, page->Frame());
        EXPECT_FALSE(page->Title().empty());
        std::set<std::string> ids;
        for (const pages::PageField& field : page->Fields()) {
            EXPECT_TRUE(ids.insert(field.id).second) << "field id used twice: " << field.id;
        }
    }
    EXPECT_EQ(21, built);
}
