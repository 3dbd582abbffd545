// The number rules of move, setpos and pinx: signs, 16-bit reduction,
// clamping at the room's edges and the pin spot.
#include "commands/operator.h"

#include <gtest/gtest.h>

using namespace kestrom;

namespace {

struct MotionCase {
    const char *argument;
    Motion::Result result;
    int32_t dh;
    int32_t dv;
};

TEST(OpcmdsPositions, ParseMotion) {
    const MotionCase cases[] = {
        {"-10 5", Motion::OK, -10, 5},
        {"10 -5", Motion::OK, 10, -5},
        {"0 0", Motion::OK, 0, 0},
        {"20 -10 extra", Motion::OK, 20, -10},
        {"32767 0", Motion::OK, 32767, 0},
        {"65536 1", Motion::OK, 0, 1},             // low 16 bits of 0x10000
        {"10,5", Motion::USAGE, 0, 0},
        {"10", Motion::USAGE, 0, 0},
        {"-", Motion::USAGE, 0, 0},
        {"10 x", Motion::BAD_NUMBER, 0, 0},
        {"x 10", Motion::BAD_NUMBER, 0, 0},
        {"--10 5", Motion::BAD_NUMBER, 0, 0},
        {"32768 0", Motion::BAD_NUMBER, 0, 0},     // negative as 16 bits
        {"10 99999999999", Motion::BAD_NUMBER, 0, 0},
    };
    for (const auto &c : cases) {
        const Motion m = parseMotion(c.argument);
        EXPECT_EQ(m.result, c.result) << c.argument;
        if (c.result != Motion::OK) continue;
        EXPECT_EQ(m.dh, c.dh) << c.argument;
        EXPECT_EQ(m.dv, c.dv) << c.argument;
    }
}

struct ClampCase {
    int16_t h, v;
    int32_t dh, dv;
    int16_t wantH, wantV;
};

TEST(OpcmdsPositions, MovedWithinStopsAtEdges) {
    const ClampCase cases[] = {
        {100, 100, -10, 5, 90, 105},
        {505, 100, 20, 0, 511, 100},
        {100, 3, 0, -10, 100, 0},
        {500, 100, 32767, 0, 511, 100},
        {5, 380, -32767, 32767, 0, 383},
    };
    for (const auto &c : cases) {
        Point from;
        from.h = c.h;
        from.v = c.v;
        const Point to = movedWithin(from, c.dh, c.dv);
        EXPECT_EQ(to.h, c.wantH) << c.h << "+" << c.dh;
        EXPECT_EQ(to.v, c.wantV) << c.v << "+" << c.dv;
    }
}

struct PlacementCase {
    const char *argument;
    Placement::Result result;
    int16_t h, v;
};

TEST(OpcmdsPositions, ParsePlacement) {
    const PlacementCase cases[] = {
        {"511 383", Placement::OK, 511, 383},
        {"0 0", Placement::OK, 0, 0},
        {"512 0", Placement::OUT_OF_RANGE, 0, 0},
        {"0 384", Placement::OUT_OF_RANGE, 0, 0},
        {"-1 0", Placement::OUT_OF_RANGE, 0, 0},
        {"0 x", Placement::OUT_OF_RANGE, 0, 0},
        {"x 0", Placement::OUT_OF_RANGE, 0, 0},
        {"10", Placement::USAGE, 0, 0},
        {"10,20", Placement::USAGE, 0, 0},
    };
    for (const auto &c : cases) {
        const Placement p = parsePlacement(c.argument);
        EXPECT_EQ(p.result, c.result) << c.argument;
        if (c.result != Placement::OK) continue;
        EXPECT_EQ(p.pos.h, c.h) << c.argument;
        EXPECT_EQ(p.pos.v, c.v) << c.argument;
    }
}

TEST(OpcmdsPositions, PinSpot) {
    const Point fallback = pinSpot(nullptr);
    EXPECT_EQ(fallback.h, 490);
    EXPECT_EQ(fallback.v, 362);

    LimitValue rule{};
    rule.maximum = 100;
    rule.decay = 50.7;
    Point spot = pinSpot(&rule);
    EXPECT_EQ(spot.h, 100);
    EXPECT_EQ(spot.v, 50);

    rule.maximum = 0x10000u + 7; // only the low 16 bits count
    rule.decay = -3.9;           // toward zero
    spot = pinSpot(&rule);
    EXPECT_EQ(spot.h, 7);
    EXPECT_EQ(spot.v, -3);

    rule.decay = 1e300; // far out of range: no undefined conversion
    spot = pinSpot(&rule);
    EXPECT_EQ(spot.v, -1);
}

}  // namespace
