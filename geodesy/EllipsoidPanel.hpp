// The ellipsoid panel that every computation page shows: the "坐标系" drop-down (four presets,
// the user-defined ellipsoids, "自定义") and the a= and b= fields, kept in step with the page's
// GaussProjector. Headless: a window binds its controls to this object.
#pragma once

#include "geodesy/GaussProjector.hpp"
#include "platform/Profile.hpp"

#include <string>
#include <vector>

namespace carvento::geodesy {

inline constexpr const char* kEllipsoidLabel = "坐标系";
inline constexpr const char* kAxisALabel = "a=";
inline constexpr const char* kAxisBLabel = "b=";
inline constexpr const char* kCustomEntry = "自定义";

// Drop-down texts of the presets, in index order (the index is the EllipsoidKind).
inline constexpr const char* kPresetNames[] = {
    "北京54--克拉索夫斯基椭球",
    "西安80--1975年国际椭球",
    "2000国家大地坐标系",
    "世界坐标系--WGS84椭球",
};

class EllipsoidPanel {
public:
    // Fills the entries (presets, the names stored in `profile`, "自定义"), selects index 0 and
    // sets `projector` to Krasovsky. Both must outlive the panel. Names saved to the profile
    // later are not seen by this panel.
    EllipsoidPanel(GaussProjector& projector, const platform::Profile& profile);

    // Drop-down texts: the four presets, the stored names, "自定义" last.
    const std::vector<std::string>& Entries() const { return m_entries; }
    // Index of the entry last picked.
    int Selection() const { return m_selection; }

    // The user picks entry `index`: a preset or stored ellipsoid sets the projector, shows its
    // axes ("%.10lf") and disables the fields; "自定义" sets the projector from the texts now in
    // the fields (atof semantics, so non-numbers read as 0) and enables them. An index outside
    // the entries changes nothing.
    void Select(int index);

    // The a= and b= field texts (metres). Typing changes only the texts: the projector takes
    // them when "自定义" is picked again.
    const std::string& AText() const { return m_aText; }
    const std::string& BText() const { return m_bText; }
    void SetAText(std::string text) { m_aText = std::move(text); }
    void SetBText(std::string text) { m_bText = std::move(text); }
    bool AxesEditable() const { return m_axesEditable; }
    // The axes the computation uses now (typed axes count only once "自定义" is chosen).
    const Ellipsoid& AppliedEllipsoid() const { return m_projector.GetEllipsoid(); }

private:
    void ShowAxes(double a, double b);

    GaussProjector& m_projector;
    const platform::Profile& m_profile;
    std::vector<std::string> m_entries;
    int m_selection = 0;
    std::string m_aText;
    std::string m_bText;
    bool m_axesEditable = false;
};

} // namespace carvento::geodesy
