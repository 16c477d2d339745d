// The base of every tool page: a description a window (or the command line) renders — title,
// frame, fields, commands and panels — with one change notice each way. The view tells the
// page that a field was edited or a command chosen; the page tells its view that a field's
// value, enabled or visible state changed. Tables report their own row ranges.
#pragma once

#include "platform/Profile.hpp"
#include "platform/Prompter.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace carvento::geodesy {
class EllipsoidPanel;
}
namespace carvento::earth {
class EarthConnection;
}

namespace carvento::pages {

// What a page needs from the program around it.
struct PageContext {
    platform::Prompter& prompter;
    platform::Clipboard& clipboard;
    platform::Profile& profile;
    // The globe the globe pages drive; nullptr where there is none (they then refuse to start).
    earth::EarthConnection* earth = nullptr;
};

// A table on a page: group box title, column titles and pixel widths.
struct TableLayout {
    std::string group{};
    std::vector<std::string> titles{};
    std::vector<int> widths{};
};

// Which generic window shows a page.
enum class PageFrame {
    Conversion,  // source and result tables with one row loop
    CommonPoint, // one table that a solve writes back into
    BatchFile,   // a list of files and options
    Task,        // a table filled by a worker
    Form,        // fields and commands only
};

enum class FieldKind {
    Integer,      // an edit field holding an integer (digits only in the window)
    Choice,       // a drop-down list
    Text,         // free text
    ReadOnlyText, // text the page shows and the user cannot edit
    Check,        // a check box; value 0 or 1
    Radio,        // one of `choices` as radio buttons; value the chosen index
    Spin,         // an integer between `minimum` and `maximum` with arrows
};

// Where a window shows a field: in the parameter panel, or under one of the tables.
enum class FieldPlacement { Panel, BelowSource, BelowResult };

// One field of a page. `text` (Integer, Text, ReadOnlyText) and `pendingIndex` (Choice,
// Radio, Check, Spin) are what the window shows; `value` is what the computation uses, taken
// over by ExchangeFields. A field that fails to exchange keeps its previous value, and so does
// every field after it in exchange order. Page code declares fields with designated
// initializers: AddField({.id = "unit", .label = "单位:", .kind = FieldKind::Choice, ...}).
struct PageField {
    std::string id{};    // short name, used by the command-line options
    std::string group{}; // group box title; empty for the main parameter panel
    std::string label{};
    FieldKind kind = FieldKind::Integer;
    std::vector<std::string> choices{};
    // Short names the command line takes for choices besides their index and text.
    std::vector<std::pair<std::string, int>> optionNames{};
    int value = 0;
    std::string text{};
    int pendingIndex = 0; // -1 for no choice
    FieldPlacement placement = FieldPlacement::Panel;
    int minimum = 0; // Spin
    int maximum = 0; // Spin
    bool enabled = true;
    bool visible = true;
};

// A command beyond the ones the page's frame carries (an extra button) and what it does: true
// when it did it. A menu entry may name a command declared as a button by its id alone; the
// button's action runs for it.
struct PageCommand {
    std::string id{};
    std::string caption{};
    std::function<bool()> action{};
};

// A menu of the page's window: entries are commands run like the buttons; an entry without
// an id is a separator, and kCloseWindowCommand closes the window as its close box does.
struct PageMenu {
    std::string title{};
    std::vector<PageCommand> entries{};
};
inline constexpr const char* kCloseWindowCommand = "close-window";

enum class PanelKind {
    Ellipsoid, // "坐标系" drop-down with the a= and b= fields
};

// A panel of a page. `side` names it among several of one kind ("" for the only one, "from"
// and "to" on two-sided pages); the command line prefixes the panel's options with it.
struct PagePanel {
    PanelKind kind = PanelKind::Ellipsoid;
    std::string side{};
    std::string title{};
    geodesy::EllipsoidPanel* ellipsoid = nullptr;
};

// What the page tells the window showing it.
class PageView {
public:
    virtual ~PageView() = default;
    // A field's text, choice, enabled or visible state changed.
    virtual void FieldChanged(const PageField& field) = 0;
    // The page's status line changed (what the last command did).
    virtual void StatusChanged(const std::string&) {}
};

// Where a page keeps what the zone check reads (the zone number before the eastings against
// the panel's central meridian): its meridian field (packed DDDMMSS), the source table's y
// column and the add constant field beside the meridian.
struct ZoneCheckTarget {
    std::string meridianField;
    int yColumn = 2;
    std::string yAddField{};
};

class ProjExportSource;
class GraticuleSource;
class ParameterReceiver;
class ConversionPage;
class CommonPointPage;
class BatchFilePage;
class TaskPage;
class CustomEllipsoidPage;

class ToolPage {
public:
    explicit ToolPage(PageContext context) : m_context(context) {}
    virtual ~ToolPage() = default;
    ToolPage(const ToolPage&) = delete;
    ToolPage& operator=(const ToolPage&) = delete;

    // Window title, such as "高斯坐标正算".
    virtual std::string Title() const = 0;
    virtual PageFrame Frame() const = 0;

    // Optional capabilities, null on pages without them: the PROJ export text (导出PROJ and
    // the command line's --proj-pipeline); the graticule a map-frame page hands the globe,
    // which the command line can write as a file; the ellipsoid editor, whose window saves
    // through the profile shared with other programs.
    virtual ProjExportSource* ProjExport() { return nullptr; }
    virtual GraticuleSource* Graticule() { return nullptr; }
    virtual CustomEllipsoidPage* EllipsoidEditor() { return nullptr; }
    // The parameters a computation page hands over with 用于转换, taken by a transformation
    // page.
    virtual ParameterReceiver* ParameterInput() { return nullptr; }
    // The zone check of pages whose source holds plane coordinates of one zone.
    virtual std::optional<ZoneCheckTarget> ZoneCheck() const { return std::nullopt; }

    // The page as the class of its frame, for the window or verb that drives it: the page
    // itself on pages of that frame, null on the others.
    virtual ConversionPage* AsConversion() { return nullptr; }
    virtual CommonPointPage* AsCommonPoint() { return nullptr; }
    virtual BatchFilePage* AsBatchFile() { return nullptr; }
    virtual TaskPage* AsTask() { return nullptr; }

    // Fields in exchange order.
    std::vector<PageField>& Fields() { return m_fields; }
    const std::vector<PageField>& Fields() const { return m_fields; }
    PageField& Field(const std::string& id);
    const PageField* FindField(const std::string& id) const;
    const std::vector<PagePanel>& Panels() const { return m_panels; }
    const std::vector<PageCommand>& Commands() const { return m_commands; }
    const std::vector<PageMenu>& Menus() const { return m_menus; }
    // What the last command did, for the window's status line; empty when it said nothing.
    const std::string& StatusText() const { return m_status; }
    // The ellipsoid panel of a side ("" for the only one), or nullptr.
    geodesy::EllipsoidPanel* EllipsoidPanelOf(const std::string& side) const;

    // From the view: the text of an Integer or Text field, the choice of a Choice, Radio,
    // Check or Spin field. The page may change other fields in turn (OnFieldEdited).
    void EditText(const std::string& id, std::string text);
    void Choose(const std::string& id, int index);
    // Runs one of Commands() or a menu entry; false for an unknown id or when the command did
    // nothing.
    bool RunCommand(const std::string& id);

    // The view to notify; nullptr detaches it.
    void SetView(PageView* view) { m_view = view; }

    // Takes the window's field texts into the values, in exchange order; a text that is not an
    // integer shows the standard prompt and stops the exchange (false).
    bool ExchangeFields();

protected:
    PageField& AddField(PageField field);
    void AddPanel(PagePanel panel) { m_panels.push_back(std::move(panel)); }
    void AddCommand(PageCommand command) { m_commands.push_back(std::move(command)); }
    void AddMenu(PageMenu menu) { m_menus.push_back(std::move(menu)); }
    // Says in the window's status line what a command did (no message box).
    void SetStatus(std::string text);
    // Page → view: a field's state as the page decides it.
    void SetFieldText(const std::string& id, std::string text);
    void SetFieldChoice(const std::string& id, int index);
    void SetFieldEnabled(const std::string& id, bool enabled);
    void SetFieldVisible(const std::string& id, bool visible);

    // Called after the view edited a field: fields that enable or hide each other react here.
    virtual void OnFieldEdited(const PageField&) {}

    // Shows a fixed message with the application title as caption.
    void ShowMessage(const std::string& text,
                     platform::MessageIcon icon = platform::MessageIcon::Warning);

    PageContext m_context;

private:
    void Notify(const PageField& field);

    std::vector<PageField> m_fields;
    std::vector<PagePanel> m_panels;
    std::vector<PageCommand> m_commands;
    std::vector<PageMenu> m_menus;
    std::string m_status;
    PageView* m_view = nullptr;
};

// Formats a message text with one %d or %s argument.
std::string FormatMessage(const char* pattern, int number);
std::string FormatMessage(const char* pattern, const std::string& text);
std::string FormatMessage(const char* pattern, const std::string& first, const std::string& second);
std::string FormatMessage(const char* pattern, int number, const std::string& text);

// Hands a page over as one of its views (&ToolPage::AsConversion, …): empty, the page
// deleted, when it has no such view.
template <class View>
std::unique_ptr<View> TakeAs(std::unique_ptr<ToolPage> page, View* (ToolPage::*view)())
{
    View* viewed = page ? ((*page).*view)() : nullptr;
    if (!viewed)
        return nullptr;
    static_cast<void>(page.release()); // owned through `viewed` from here on
    return std::unique_ptr<View>(viewed);
}

} // namespace carvento::pages
