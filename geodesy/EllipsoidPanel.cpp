// Ellipsoid panel: entries, selection handler and the a= / b= fields.
#include "geodesy/EllipsoidPanel.hpp"

#include "geodesy/CustomEllipsoids.hpp"
#include "platform/NumberText.hpp"

namespace carvento::geodesy {

namespace {
constexpr int kPresetCount = 4;
constexpr int kAxisDecimals = 10;
} // namespace

EllipsoidPanel::EllipsoidPanel(GaussProjector& projector, const platform::Profile& profile)
    : m_projector(projector), m_profile(profile)
{
    m_entries.assign(std::begin(kPresetNames), std::end(kPresetNames));
    // Empty names are not shown. The store's own writes end the list with ";", which splits
    // into one empty name at the end; as an entry it could only select a = b = 0 (nothing is
    // stored under an empty name) and give every page results that are not numbers.
    for (std::string& name : ListCustomNames(m_profile)) {
        if (!name.empty())
            m_entries.push_back(std::move(name));
    }
    m_entries.emplace_back(kCustomEntry);
    Select(0);
}

void EllipsoidPanel::Select(int index)
{
    int count = static_cast<int>(m_entries.size());
    if (index < 0 || index >= count)
        return;
    m_selection = index;
    if (index < kPresetCount) {
        double a = 0.0;
        double b = 0.0;
        PresetAxes(index, a, b);
        m_projector.SetEllipsoid(index);
        ShowAxes(a, b);
        m_axesEditable = false;
    } else if (index < count - 1) {
        const std::string& name = m_entries[static_cast<size_t>(index)];
        double a = ReadCustomAxis(m_profile, name, "a", 0.0);
        double b = ReadCustomAxis(m_profile, name, "b", 0.0);
        m_projector.SetEllipsoid(kUserDefined, a, b);
        ShowAxes(a, b);
        m_axesEditable = false;
    } else {
        m_projector.SetEllipsoid(kUserDefined, platform::ParseDouble(m_aText),
                                 platform::ParseDouble(m_bText));
        m_axesEditable = true;
    }
}

void EllipsoidPanel::ShowAxes(double a, double b)
{
    m_aText = platform::FormatFixed(a, kAxisDecimals);
    m_bText = platform::FormatFixed(b, kAxisDecimals);
}

} // namespace carvento::geodesy
