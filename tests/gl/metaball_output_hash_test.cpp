// The metaball surface must not change by a bit when the field and cell passes are made
// faster: a fingerprint of every triangle drawn over 300 frames of the scene's blob paths,
// taken from the straightforward code with the standard triangle table.
#include <gtest/gtest.h>

#include "platform/offscreen_gl.h"
#include "show/metaballs.h"
#include "show/scenes/metaball_scene.h"
#include "tests/support/fingerprint.h"

namespace {

struct FingerprintSink {
    test_support::Fingerprint triangles;
    void triangle() { triangles.add("T", 1); }
    void vertex(const float* normal, const float* point) {
        triangles.add(normal, 3 * sizeof(float));
        triangles.add(point, 3 * sizeof(float));
    }
};

TEST(MetaballFingerprint, TheSurfaceOfThreeHundredFramesIsUnchanged) {
    ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
    show::init_metaballs();  // also makes the grain texture, hence the context
    FingerprintSink sink;
    for (int32_t frame = 1; frame <= 300; ++frame) {
        show::place_blobs(frame / 60.0f);
        show::update_field();
        show::polygonise_field_to(sink);
    }
    test_support::Fingerprint field;
    field.add(show::field_grid, sizeof show::field_grid);
    platform::offscreen_gl_close();
    EXPECT_EQ(sink.triangles.value, 0x985392a96bd05a71ull) << std::hex << sink.triangles.value;
    EXPECT_EQ(field.value, 0xdf684604b996b098ull) << std::hex << field.value;
}

}  // namespace
