// Which sampled positions the window must draw. It keeps a picture of the samples drawn so far
// and adds only those taken since, so a long sampling run costs each redraw what is new rather
// than everything sampled: all the kept samples are drawn again only when the view or the
// picture's size changed (or on the first drawing).
#pragma once

#include "earth/simulator/ScreenMapping.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace carvento::earth::simulator {

class SampleLayer {
public:
    struct Plan {
        bool clear = false;    // start the picture afresh
        std::size_t first = 0; // draw the kept samples from this one on
    };

    // `taken`: samples taken since the start; `kept`: how many of the latest are still kept.
    Plan Next(const ViewGeometry& view, int width, int height, std::uint64_t taken,
              std::size_t kept)
    {
        Plan plan;
        if (!m_view || !(*m_view == view) || width != m_width || height != m_height ||
            taken < m_drawn) {
            plan.clear = true;
            m_view = view;
            m_width = width;
            m_height = height;
        } else {
            const std::uint64_t fresh = std::min<std::uint64_t>(taken - m_drawn, kept);
            plan.first = kept - static_cast<std::size_t>(fresh);
        }
        m_drawn = taken;
        return plan;
    }

private:
    std::optional<ViewGeometry> m_view;
    int m_width = 0;
    int m_height = 0;
    std::uint64_t m_drawn = 0;
};

} // namespace carvento::earth::simulator
