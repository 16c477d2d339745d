// Every page of the program in one table: the catalogue entry that opens it, its class, its
// command-line verb, a one-line summary, the frame its window is built on and how it is made.
// The launcher, the desktop program and carvento-cli all read this table; nothing else maps
// ids or verbs to pages.
#pragma once

#include "pages/frames/ToolPage.hpp"

#include <memory>
#include <span>
#include <string_view>

namespace carvento::pages {

struct PageRegistration {
    int catalogueId;
    std::string_view pageClass;
    std::string_view verb; // empty: no verb of its own
    std::string_view summary;
    PageFrame frame;
    // nullptr while the page is not built yet: its catalogue entry says so instead of opening.
    std::unique_ptr<ToolPage> (*factory)(PageContext);

    bool Built() const { return factory != nullptr; }
};

std::span<const PageRegistration> PageRegistry();
const PageRegistration* FindPageById(int catalogueId);
const PageRegistration* FindPageByVerb(std::string_view verb);
// The registration of a page class ("CTrans7Dlg"), or nullptr.
const PageRegistration* FindPageByClass(std::string_view pageClass);

} // namespace carvento::pages
