// The page description and its change notices.
#include "pages/frames/ToolPage.hpp"

#include "pages/frames/Messages.hpp"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace carvento::pages {
namespace {

// An integer field's text as the dialog exchange reads it: blanks, an optional sign, digits,
// blanks, within the int range. Anything else (an emptied field included) is refused.
bool ParseIntegerField(const std::string& text, int& value)
{
    std::size_t i = 0;
    auto blank = [&](std::size_t k) {
        return k < text.size() && (text[k] == ' ' || text[k] == '\t');
    };
    while (blank(i))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::size_t digitsStart = i;
    long long number = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        number = number * 10 + (text[i++] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (i == digitsStart)
        return false;
    while (blank(i))
        ++i;
    if (i != text.size())
        return false;
    number = negative ? -number : number;
    if (number > INT_MAX || number < INT_MIN)
        return false;
    value = static_cast<int>(number);
    return true;
}

std::string ReplaceFirst(std::string text, const std::string& marker, const std::string& with)
{
    std::size_t at = text.find(marker);
    if (at != std::string::npos)
        text.replace(at, marker.size(), with);
    return text;
}

bool HoldsText(FieldKind kind)
{
    return kind == FieldKind::Integer || kind == FieldKind::Text || kind == FieldKind::ReadOnlyText;
}

} // namespace

std::string FormatMessage(const char* pattern, int number)
{
    return ReplaceFirst(pattern, "%d", std::to_string(number));
}

std::string FormatMessage(const char* pattern, const std::string& text)
{
    return ReplaceFirst(pattern, "%s", text);
}

std::string FormatMessage(const char* pattern, const std::string& first, const std::string& second)
{
    // The second text goes after the first, whatever the first holds.
    std::string text = pattern;
    const std::size_t at = text.find("%s");
    if (at == std::string::npos)
        return text;
    text.replace(at, 2, first);
    const std::size_t next = text.find("%s", at + first.size());
    if (next != std::string::npos)
        text.replace(next, 2, second);
    return text;
}

std::string FormatMessage(const char* pattern, int number, const std::string& text)
{
    return ReplaceFirst(FormatMessage(pattern, number), "%s", text);
}

PageField& ToolPage::AddField(PageField field)
{
    if (field.kind == FieldKind::Integer)
        field.text = std::to_string(field.value);
    else if (!HoldsText(field.kind))
        field.pendingIndex = field.value;
    m_fields.push_back(std::move(field));
    return m_fields.back();
}

PageField& ToolPage::Field(const std::string& id)
{
    for (PageField& field : m_fields)
        if (field.id == id)
            return field;
    throw std::out_of_range("no page field " + id);
}

const PageField* ToolPage::FindField(const std::string& id) const
{
    for (const PageField& field : m_fields)
        if (field.id == id)
            return &field;
    return nullptr;
}

geodesy::EllipsoidPanel* ToolPage::EllipsoidPanelOf(const std::string& side) const
{
    for (const PagePanel& panel : m_panels)
        if (panel.kind == PanelKind::Ellipsoid && panel.side == side)
            return panel.ellipsoid;
    return nullptr;
}

void ToolPage::EditText(const std::string& id, std::string text)
{
    PageField& field = Field(id);
    if (field.kind == FieldKind::ReadOnlyText || !HoldsText(field.kind))
        return;
    field.text = std::move(text);
    OnFieldEdited(field);
}

void ToolPage::Choose(const std::string& id, int index)
{
    PageField& field = Field(id);
    if (HoldsText(field.kind))
        return;
    if (field.kind == FieldKind::Spin)
        index = std::clamp(index, field.minimum, field.maximum);
    field.pendingIndex = index;
    OnFieldEdited(field);
}

bool ToolPage::RunCommand(const std::string& id)
{
    // The action is copied out: it may change the page's commands while it runs.
    std::function<bool()> action;
    const auto take = [&](const std::vector<PageCommand>& commands) {
        for (const PageCommand& command : commands)
            if (!action && command.id == id && command.action)
                action = command.action;
    };
    take(m_commands);
    for (const PageMenu& menu : m_menus)
        take(menu.entries);
    return action && action();
}

bool ToolPage::ExchangeFields()
{
    for (PageField& field : m_fields) {
        switch (field.kind) {
        case FieldKind::Text:
        case FieldKind::ReadOnlyText:
            break;
        case FieldKind::Spin:
            field.value = std::clamp(field.pendingIndex, field.minimum, field.maximum);
            break;
        case FieldKind::Choice:
        case FieldKind::Radio:
        case FieldKind::Check:
            field.value = field.pendingIndex;
            break;
        case FieldKind::Integer: {
            int value = 0;
            if (!ParseIntegerField(field.text, value)) {
                ShowMessage(messages::kEnterInteger, platform::MessageIcon::Warning);
                return false;
            }
            field.value = value;
            break;
        }
        }
    }
    return true;
}

void ToolPage::SetFieldText(const std::string& id, std::string text)
{
    PageField& field = Field(id);
    field.text = std::move(text);
    Notify(field);
}

void ToolPage::SetFieldChoice(const std::string& id, int index)
{
    PageField& field = Field(id);
    field.pendingIndex = index;
    Notify(field);
}

void ToolPage::SetFieldEnabled(const std::string& id, bool enabled)
{
    PageField& field = Field(id);
    if (field.enabled == enabled)
        return;
    field.enabled = enabled;
    Notify(field);
}

void ToolPage::SetFieldVisible(const std::string& id, bool visible)
{
    PageField& field = Field(id);
    if (field.visible == visible)
        return;
    field.visible = visible;
    Notify(field);
}

void ToolPage::Notify(const PageField& field)
{
    if (m_view)
        m_view->FieldChanged(field);
}

void ToolPage::SetStatus(std::string text)
{
    m_status = std::move(text);
    if (m_view)
        m_view->StatusChanged(m_status);
}

void ToolPage::ShowMessage(const std::string& text, platform::MessageIcon icon)
{
    m_context.prompter.ShowMessage({text, messages::kApplicationTitle, icon,
                                    platform::MessageButtons::Ok});
}

} // namespace carvento::pages
