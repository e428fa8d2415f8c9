#include "platform/offscreen_gl.h"
#include "show/metaballs.h"
#include "show/noise.h"
#include "show/scenes/metaball_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class MetaballGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
    }
    void TearDown() override { platform::offscreen_gl_close(); }
};

// One vertex as GL_3D_COLOR_TEXTURE feedback reports it.
struct FedVertex {
    float window[3];
    float colour[4];
    float texture[4];
};

// Runs draw() in feedback mode and returns every vertex of every polygon, in order.
template <class Draw>
std::vector<std::vector<FedVertex>> feedback_polygons(Draw draw) {
    std::vector<float> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<std::vector<FedVertex>> polygons;
    for (GLint k = 0; k < used;) {
        const GLint token = static_cast<GLint>(buffer[k++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
        const GLint count = static_cast<GLint>(buffer[k++]);
        std::vector<FedVertex> polygon(count);
        for (FedVertex& v : polygon) {
            for (float& f : v.window) f = buffer[k++];
            for (float& f : v.colour) f = buffer[k++];
            for (float& f : v.texture) f = buffer[k++];
        }
        polygons.push_back(polygon);
    }
    return polygons;
}

// Window position of an object point under identity matrices and the 640 x 480 viewport.
void to_window(float x, float y, float z, float out[3]) {
    out[0] = (x + 1) * 320;
    out[1] = (y + 1) * 240;
    out[2] = (z + 1) / 2;
}

TEST_F(MetaballGl, CubeQuadsCarryTheFaceTableAndPositionsAsNormals) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Default light 0 shines along +z: a vertex lights as 0.04 + 0.8 * max(0, n.z / |n|).
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    const float h = 0.25f, cx = 0.1f, cy = -0.2f, cz = 0.3f;
    const auto polygons = feedback_polygons([&] { show::draw_cube(h, cx, cy, cz); });
    // GL may hand each quad back whole or as two triangles; either way the faces come in
    // table order, so group the vertices per face.
    std::vector<std::vector<FedVertex>> faces;
    for (size_t k = 0; k < polygons.size(); ++k) {
        if (polygons[k].size() == 4) {
            faces.push_back(polygons[k]);
        } else if (polygons[k].size() == 3 && k + 1 < polygons.size() && polygons[k + 1].size() == 3) {
            std::vector<FedVertex> face = polygons[k];
            face.insert(face.end(), polygons[k + 1].begin(), polygons[k + 1].end());
            faces.push_back(face);
            ++k;
        } else {
            ADD_FAILURE() << "polygon " << k << " has " << polygons[k].size() << " vertices";
        }
    }
    ASSERT_EQ(faces.size(), 6u);

    const float lo = -1, hi = 1;  // which end of each axis, as in the face table
    struct TableVertex {
        float s, t, x, y, z;
    };
    const TableVertex table[24] = {
        {0, 0, lo, lo, hi}, {1, 0, hi, lo, hi}, {1, 1, hi, hi, hi}, {0, 1, lo, hi, hi},
        {1, 0, lo, lo, lo}, {1, 1, lo, hi, lo}, {0, 1, hi, hi, lo}, {0, 0, hi, lo, lo},
        {0, 1, lo, hi, lo}, {0, 0, lo, hi, hi}, {1, 0, hi, hi, hi}, {1, 1, hi, hi, lo},
        {1, 1, lo, lo, lo}, {0, 1, hi, lo, lo}, {0, 0, hi, lo, hi}, {1, 0, lo, lo, hi},
        {1, 0, hi, lo, lo}, {1, 1, hi, hi, lo}, {0, 1, hi, hi, hi}, {0, 0, hi, lo, hi},
        {0, 0, lo, lo, lo}, {1, 0, lo, lo, hi}, {1, 1, lo, hi, hi}, {0, 1, lo, hi, lo},
    };
    for (int32_t f = 0; f < 6; ++f) {
        std::vector<bool> matched(faces[f].size(), false);
        for (int32_t k = 4 * f; k < 4 * f + 4; ++k) {
            const TableVertex& row = table[k];
            const float x = cx + row.x * h, y = cy + row.y * h, z = cz + row.z * h;
            float window[3];
            to_window(x, y, z, window);
            const float lit = 0.04f + 0.8f * std::fmax(0.0f, z / std::sqrt(x * x + y * y + z * z));
            bool found = false;
            for (size_t m = 0; m < faces[f].size(); ++m) {
                const FedVertex& v = faces[f][m];
                const bool same_place = std::fabs(v.window[0] - window[0]) < 1e-3f &&
                                        std::fabs(v.window[1] - window[1]) < 1e-3f &&
                                        std::fabs(v.window[2] - window[2]) < 1e-4f;
                if (same_place && v.texture[0] == row.s && v.texture[1] == row.t) {
                    found = matched[m] = true;
                    EXPECT_NEAR(v.colour[0], lit, 0.01f) << "table vertex " << k;
                }
            }
            EXPECT_TRUE(found) << "table vertex " << k << " is not on face " << f;
        }
        for (size_t m = 0; m < matched.size(); ++m) {
            EXPECT_TRUE(matched[m]) << "face " << f << " has a vertex from elsewhere";
        }
    }
}

TEST_F(MetaballGl, CellTrianglesAreWhiteWithPointXyAsTextureCoordinates) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4ub(10, 20, 30, 40);
    // Corner 0 inside: one triangle on edges 0, 8, 3, a quarter of the way along each.
    show::FieldPoint points[8] = {};
    show::FieldPoint* corners[8];
    for (int32_t k = 0; k < 8; ++k) {
        for (int32_t d = 0; d < 3; ++d) points[k].position[d] = 0.8f * static_cast<float>(show::CORNER_OFFSETS[k][d]);
        points[k].value = k == 0 ? 0.0f : 4.0f;
        corners[k] = &points[k];
    }
    const auto polygons = feedback_polygons([&] {
        glBegin(GL_TRIANGLES);
        show::polygonise_cube(corners);
        glEnd();
    });
    ASSERT_EQ(polygons.size(), 1u);
    ASSERT_EQ(polygons[0].size(), 3u);
    const float expected[3][3] = {{0.2f, 0, 0}, {0, 0.2f, 0}, {0, 0, 0.2f}};  // edges 0, 8, 3
    for (int32_t v = 0; v < 3; ++v) {
        const FedVertex& fed = polygons[0][v];
        float window[3];
        to_window(expected[v][0], expected[v][1], expected[v][2], window);
        for (int32_t d = 0; d < 3; ++d) EXPECT_NEAR(fed.window[d], window[d], 1e-3f) << v;
        for (int32_t c = 0; c < 4; ++c) EXPECT_EQ(fed.colour[c], 1.0f) << v;
        EXPECT_FLOAT_EQ(fed.texture[0], expected[v][0]) << v;
        EXPECT_FLOAT_EQ(fed.texture[1], expected[v][1]) << v;
    }
}

TEST_F(MetaballGl, InitSetsTheBlobStrengthsAndBuildsTheGrid) {
    for (show::Blob& b : show::blobs) b = {1, 2, 3, 4};
    show::cube_corners[123][4] = nullptr;
    show::init_metaballs();
    const float strengths[4] = {0.0081f, 0.0075f, 0.0055f, 0.0064f};
    for (int32_t b = 0; b < 4; ++b) {
        EXPECT_EQ(show::blobs[b].strength, strengths[b]) << b;
        EXPECT_EQ(show::blobs[b].x, 0.0f) << b;
        EXPECT_EQ(show::blobs[b].y, 0.0f) << b;
        EXPECT_EQ(show::blobs[b].z, 0.0f) << b;
    }
    EXPECT_NE(show::cube_corners[123][4], nullptr);
    EXPECT_EQ(show::field_grid[show::FIELD_POINTS - 1].position[2], -1.0f);
    // The grain image and texture are made afresh, replacing any earlier ones.
    const uint32_t first_texture = show::noise_texture;
    EXPECT_NE(show::noise_pixels, nullptr);
    EXPECT_TRUE(glIsTexture(first_texture));
    show::init_metaballs();
    EXPECT_NE(show::noise_texture, first_texture);
    EXPECT_TRUE(glIsTexture(show::noise_texture));
}

TEST_F(MetaballGl, BlobSurfaceFacesTheViewerAndIsLit) {
    // The scene's view, with back faces culled as the scene draws the surface.
    show::begin_metaball_view();
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    show::init_metaballs();
    glDisable(GL_TEXTURE_2D);  // making the grain texture turned it on; the scene draws untextured
    for (show::Blob& b : show::blobs) b.x = b.y = b.z = 0.013f;  // one round blob in the middle
    for (int32_t frame = 0; frame < 20; ++frame) show::update_field();
    glBegin(GL_TRIANGLES);
    show::polygonise_field();
    glEnd();

    unsigned char centre[4] = {};
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
    EXPECT_GT(centre[0], 200) << "the side facing the light is bright";
    // The visible side is the near one: its depth lies in front of the blob's centre.
    float depth = 1, centre_depth = 1;
    glReadPixels(320, 240, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    GLdouble model[16], projection[16], wx, wy, wz;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(0.013, 0.013, 0.013, model, projection, viewport, &wx, &wy, &wz);
    centre_depth = static_cast<float>(wz);
    EXPECT_LT(depth, centre_depth);
    unsigned char corner[4] = {};
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    EXPECT_EQ(corner[0], 0) << "the surface stays inside the cube";
}

}  // namespace
