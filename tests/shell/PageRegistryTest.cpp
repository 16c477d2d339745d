// The catalogue and the page registry agree: every entry that opens a page has a registry row
// (built, or listed as not built yet), and every built page is what its row says.
#include "pages/PageRegistry.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/TaskPage.hpp"
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
        // Exactly the view of its own frame answers, and hands the page itself over.
        using pages::PageFrame;
        using pages::ToolPage;
        EXPECT_EQ(page->Frame() == PageFrame::Conversion, page->AsConversion() != nullptr);
        EXPECT_EQ(page->Frame() == PageFrame::CommonPoint, page->AsCommonPoint() != nullptr);
        EXPECT_EQ(page->Frame() == PageFrame::BatchFile, page->AsBatchFile() != nullptr);
        EXPECT_EQ(page->Frame() == PageFrame::Task, page->AsTask() != nullptr);
        EXPECT_FALSE(page->Title().empty());
        std::set<std::string> ids;
        for (const pages::PageField& field : page->Fields()) {
            EXPECT_TRUE(ids.insert(field.id).second) << "field id used twice: " << field.id;
        }
        // Handing over keeps the page; a view it lacks deletes it.
        const ToolPage* const before = page.get();
        if (page->Frame() == PageFrame::Task) {
            auto task = pages::TakeAs(std::move(page), &ToolPage::AsTask);
            EXPECT_EQ(before, static_cast<const ToolPage*>(task.get()));
            EXPECT_EQ(nullptr, pages::TakeAs(std::unique_ptr<ToolPage>(std::move(task)),
                                             &ToolPage::AsConversion));
        }
    }
    EXPECT_EQ(21, built);
}
