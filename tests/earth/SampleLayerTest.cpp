// The sample layer of carvento-earth's window: a long sampling run draws each sample once while
// the view stays, everything kept again when it changes.
#include "earth/simulator/SampleLayer.hpp"

#include <gtest/gtest.h>

#include <cstdint>

using carvento::earth::simulator::SampleLayer;
using carvento::earth::simulator::ViewGeometry;

namespace {

const ViewGeometry kView{.latitude = 30,
                         .longitude = 104,
                         .range = 10000,
                         .azimuth = 0,
                         .width = 800,
                         .height = 578};

} // namespace

TEST(SampleLayer, ARunOfSamplesIsDrawnOnceWhileTheViewStays)
{
    SampleLayer layer;
    const SampleLayer::Plan first = layer.Next(kView, 800, 578, 0, 0);
    EXPECT_TRUE(first.clear);

    // A million samples taken between redraws, the simulator keeping the latest 200 000
    // (dropping the older half when full): every sample is drawn once, by the redraw after it.
    constexpr std::size_t kKept = 200'000;
    std::uint64_t taken = 0;
    std::size_t kept = 0;
    std::uint64_t drawn = 0;
    for (int redraw = 0; redraw < 500; ++redraw) {
        for (int i = 0; i < 2000; ++i) {
            if (kept >= kKept)
                kept -= kKept / 2;
            ++kept;
            ++taken;
        }
        const SampleLayer::Plan plan = layer.Next(kView, 800, 578, taken, kept);
        ASSERT_FALSE(plan.clear) << redraw;
        ASSERT_LE(plan.first, kept);
        drawn += kept - plan.first;
    }
    EXPECT_EQ(1'000'000u, taken);
    EXPECT_EQ(taken, drawn);
    // Nothing new, nothing to draw.
    EXPECT_EQ(kept, layer.Next(kView, 800, 578, taken, kept).first);
}

TEST(SampleLayer, AnotherViewOrSizeDrawsEverySampleKept)
{
    SampleLayer layer;
    layer.Next(kView, 800, 578, 50, 50);
    ViewGeometry moved = kView;
    moved.longitude = 105;
    SampleLayer::Plan plan = layer.Next(moved, 800, 578, 60, 60);
    EXPECT_TRUE(plan.clear);
    EXPECT_EQ(0u, plan.first);
    EXPECT_FALSE(layer.Next(moved, 800, 578, 60, 60).clear);
    plan = layer.Next(moved, 640, 480, 61, 61);
    EXPECT_TRUE(plan.clear);
    EXPECT_EQ(0u, plan.first);
    // Ten new samples after the picture was started afresh: only those.
    plan = layer.Next(moved, 640, 480, 71, 71);
    EXPECT_FALSE(plan.clear);
    EXPECT_EQ(61u, plan.first);
}
