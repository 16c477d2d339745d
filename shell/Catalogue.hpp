// The tool catalogue of the launcher panel: one constant table of entries in display order,
// grouped into the panel's five folders, and the dispatch of a chosen entry to the host
// (the panel) that carries the action out.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace carvento::shell {

enum class CatalogueAction {
    OpenPage,            // a new tool page of the entry's id
    OpenEarthPage,       // connect to Google Earth, then a new page of the entry's id
    RegisterEarthServer, // register the Google Earth automation server
    SaveEarthView,       // connect to Google Earth, then save its view
    RestoreEarthView,    // connect to Google Earth, then restore the saved view
    OpenLink,            // hand the entry's link to the desktop
    CheckForUpdate,      // start the update check on demand on its own thread
    Exit,                // end the program
};

struct CatalogueEntry {
    std::string_view group;       // caption of the folder the entry sits in
    std::string_view caption;     // the entry's name
    std::string_view description; // the longer text shown with it
    int id;                       // command id
    CatalogueAction action;
    std::string_view link; // OpenLink only
};

struct CatalogueGroup {
    std::string_view caption;
    std::span<const CatalogueEntry> entries;
};

// Links of the "帮助" folder.
inline constexpr std::string_view kContactLink = "https://www.hvfactory.cn/carvento/contact.html";
inline constexpr std::string_view kHomepageLink = "https://www.hvfactory.cn/carvento/";

// Every entry in display order; the entries of one group are adjacent.
std::span<const CatalogueEntry> CatalogueEntries();

// The folders in display order, each with its entries.
std::vector<CatalogueGroup> CatalogueGroups();

// The entry with command id `id`, or nullptr.
const CatalogueEntry* FindCatalogueEntry(int id);

// The id of the entry at `position` in the display order over all folders, or 0 when there
// is no entry there (for a bar that reports a chosen entry by its position).
int CatalogueIdAt(std::size_t position);

// What the panel does for a catalogue entry. Implemented by the desktop program (and by
// recording fakes in tests); every call comes from RunCatalogueAction on the panel's thread.
class CatalogueHost {
public:
    virtual ~CatalogueHost() = default;
    // Opens a new, independent page for page id `id` (OpenPage and OpenEarthPage entries);
    // false when it could not be opened or that page is not available in this build.
    virtual bool OpenPage(int id) = 0;
    // Makes sure the process-wide Google Earth connection exists; false (after telling the
    // user, where there is something to tell) when there is none.
    virtual bool ConnectEarth() = 0;
    virtual void RegisterEarthServer() = 0;
    virtual void SaveEarthView() = 0;
    virtual void RestoreEarthView() = 0;
    // Hands a link to the desktop's browser.
    virtual void OpenUrl(std::string_view url) = 0;
    // Starts CheckForUpdateInteractive on a thread of its own and returns at once.
    virtual void StartInteractiveUpdateCheck() = 0;
    // Ends the program (the panel is destroyed; pages close with it).
    virtual void Exit() = 0;
    virtual void HidePanel() = 0;
};

// Runs the action of catalogue entry `id` through `host`, then hides the panel: always, also
// when the action failed and for an id that is not in the catalogue (which does nothing else).
void RunCatalogueAction(int id, CatalogueHost& host);

} // namespace carvento::shell
