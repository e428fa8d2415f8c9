#include "show/metaballs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/paths.h"

namespace {

using show::FieldPoint;

int32_t grid_index(int32_t a, int32_t i, int32_t j) { return (a * 41 + i) * 41 + j; }

// A fresh field: positions built, values and normals back to zero, blobs parked.
void reset_field() {
    show::build_field_grid();
    for (FieldPoint& p : show::field_grid) {
        for (float& n : p.normal) n = 0.0f;
        p.value = 0.0f;
    }
    const float strengths[4] = {0.0081f, 0.0075f, 0.0055f, 0.0064f};
    for (int32_t b = 0; b < 4; ++b) show::blobs[b] = {strengths[b], 0.0f, 0.0f, 0.0f};
}

void place_blobs(const float (&where)[4][3]) {
    for (int32_t b = 0; b < 4; ++b) {
        show::blobs[b].x = where[b][0];
        show::blobs[b].y = where[b][1];
        show::blobs[b].z = where[b][2];
    }
}

// Records what a cell pass emits.
struct RecordingSink {
    struct Vertex {
        float normal[3];
        float point[3];
    };
    int32_t triangles = 0;
    std::vector<Vertex> vertices;
    void triangle() { ++triangles; }
    void vertex(const float* normal, const float* point) {
        Vertex v;
        std::memcpy(v.normal, normal, sizeof v.normal);
        std::memcpy(v.point, point, sizeof v.point);
        vertices.push_back(v);
    }
};

// --- The grid -------------------------------------------------------------------------------

TEST(MetaballGrid, PositionsFollowTheIndicesWithZFallingAsJGrows) {
    reset_field();
    // Coordinate of index n along x and y (z is its negative): n * 0.05f - 1 in double, stored
    // as float; n = 20 is not exactly 0 because 0.05f is slightly above 0.05.
    struct Axis {
        int32_t n;
        float coordinate;
    };
    const Axis axis[] = {{0, -1.0f}, {1, -0.95f}, {20, 0x1p-26f}, {39, 0.950000048f}, {40, 1.0f}};
    for (const Axis& a : axis) {
        for (const Axis& i : axis) {
            for (const Axis& j : axis) {
                const FieldPoint& p = show::field_grid[grid_index(a.n, i.n, j.n)];
                EXPECT_EQ(p.position[0], a.coordinate) << a.n << "," << i.n << "," << j.n;
                EXPECT_EQ(p.position[1], i.coordinate) << a.n << "," << i.n << "," << j.n;
                EXPECT_EQ(p.position[2], -j.coordinate) << a.n << "," << i.n << "," << j.n;
            }
        }
    }
    EXPECT_EQ(show::field_grid[1].position[2], 0.95f);  // j is the fastest index
    EXPECT_EQ(show::field_grid[41].position[1], -0.95f);
    EXPECT_EQ(show::field_grid[41 * 41].position[0], -0.95f);
}

TEST(MetaballGrid, CellCornersSitOnTheCellsEightGridPoints) {
    reset_field();
    // Corner k's step from corner 0 in position space: a+1 is +x, i+1 is +y, j+1 is -z.
    const float step[8][3] = {{0, 0, 0},    {1, 0, 0}, {1, 0, -1}, {0, 0, -1},
                              {0, 1, 0},    {1, 1, 0}, {1, 1, -1}, {0, 1, -1}};
    for (int32_t a = 0; a < 40; ++a) {
        for (int32_t i = 0; i < 40; ++i) {
            for (int32_t j = 0; j < 40; ++j) {
                FieldPoint* const* cell = show::cube_corners[(a * 40 + i) * 40 + j];
                ASSERT_EQ(cell[0], &show::field_grid[grid_index(a, i, j)]);
                for (int32_t k = 1; k < 8; ++k) {
                    for (int32_t d = 0; d < 3; ++d) {
                        ASSERT_NEAR(cell[k]->position[d] - cell[0]->position[d], step[k][d] * 0.05f,
                                    1e-6f)
                            << "cell " << a << "," << i << "," << j << " corner " << k;
                    }
                }
            }
        }
    }
}

// --- The tables -----------------------------------------------------------------------------

std::vector<int32_t> row_of(int32_t c) {
    std::vector<int32_t> row;
    for (int32_t k = 0; k < 16 && show::triangle_table[c][k] != -1; ++k) {
        row.push_back(show::triangle_table[c][k]);
    }
    return row;
}

bool corner_inside(int32_t c, int32_t k) { return ((c >> k) & 1) != 0; }

TEST(MetaballTables, EdgeBitsMarkExactlyTheEdgesWhoseCornersDiffer) {
    const int32_t tabled_edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                         {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (int32_t e = 0; e < 12; ++e) {
        EXPECT_EQ(show::EDGE_CORNERS[e][0], tabled_edges[e][0]) << e;
        EXPECT_EQ(show::EDGE_CORNERS[e][1], tabled_edges[e][1]) << e;
    }
    for (int32_t c = 0; c < 256; ++c) {
        for (int32_t e = 0; e < 12; ++e) {
            const bool differ =
                corner_inside(c, tabled_edges[e][0]) != corner_inside(c, tabled_edges[e][1]);
            EXPECT_EQ(((show::edge_table[c] >> e) & 1) != 0, differ) << "case " << c << " edge " << e;
        }
        EXPECT_EQ(show::edge_table[c] >> 12, 0) << c;
    }
    EXPECT_EQ(show::edge_table[1], 0x109);
    EXPECT_EQ(show::edge_table[2], 0x203);
    EXPECT_EQ(show::edge_table[0], 0);
    EXPECT_EQ(show::edge_table[255], 0);
}

TEST(MetaballTables, KnownRowsAreExact) {
    const std::pair<int32_t, std::vector<int32_t>> rows[] = {
        {0, {}},
        {1, {0, 8, 3}},
        {2, {0, 1, 9}},
        {3, {1, 8, 3, 9, 8, 1}},
        {4, {1, 2, 10}},
        {5, {0, 8, 3, 1, 2, 10}},
        {6, {9, 2, 10, 0, 2, 9}},  // the standard split, not (0, 2, 10), (0, 10, 9)
        {128, {7, 6, 11}},
        {254, {0, 3, 8}},
        {255, {}},
    };
    for (const auto& [c, expected] : rows) EXPECT_EQ(row_of(c), expected) << "case " << c;
}

// The reference table as text: one row per case, triples of edge numbers, "-1" alone for an
// empty row, '#' lines are comments.
std::vector<std::vector<int32_t>> parse_reference_table(const std::string& text) {
    std::vector<std::vector<int32_t>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream numbers(line);
        std::vector<int32_t> row;
        int32_t e;
        while (numbers >> e) {
            if (e != -1) row.push_back(e);
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(MetaballTables, TriangleTableIsTheStandardOneRowForRow) {
    const std::string text = test_support::read_file(test_support::source_path("tests/data/marching-cubes-triangles.txt"));
    ASSERT_FALSE(text.empty()) << "tests/data/marching-cubes-triangles.txt is missing";
    const std::vector<std::vector<int32_t>> reference = parse_reference_table(text);
    ASSERT_EQ(reference.size(), 256u);
    for (int32_t c = 0; c < 256; ++c) {
        EXPECT_EQ(row_of(c), reference[c]) << "case " << c;
        // Everything after the closing -1 is -1 as well.
        for (size_t k = reference[c].size(); k < 16; ++k) EXPECT_EQ(show::triangle_table[c][k], -1) << "case " << c;
    }
}

// The committed copy is the shared reference file, where that sits beside the source tree.
TEST(MetaballTables, CommittedTableIsTheSharedReference) {
    const std::string shared =
        test_support::read_file(test_support::source_path("../shared/data/marching-cubes-triangles.txt"));
    if (shared.empty()) GTEST_SKIP() << "no shared/data beside the source tree";
    EXPECT_EQ(parse_reference_table(test_support::read_file(test_support::source_path("tests/data/marching-cubes-triangles.txt"))),
              parse_reference_table(shared));
}

// Net directed edges of a row: the diagonals inside a polygon cancel, its boundary remains.
std::map<std::pair<int32_t, int32_t>, int32_t> boundary_of(const std::vector<int32_t>& row) {
    std::map<std::pair<int32_t, int32_t>, int32_t> net;
    for (size_t k = 0; k + 2 < row.size(); k += 3) {
        for (int32_t m = 0; m < 3; ++m) {
            const int32_t from = row[k + m], to = row[k + (m + 1) % 3];
            if (from < to) {
                ++net[{from, to}];
            } else {
                --net[{to, from}];
            }
        }
    }
    std::map<std::pair<int32_t, int32_t>, int32_t> boundary;
    for (const auto& [edge, count] : net) {
        if (count > 0) boundary[edge] = count;
        if (count < 0) boundary[{edge.second, edge.first}] = -count;
    }
    return boundary;
}

// Corner positions in (a, i, j) grid steps; the sign conventions below are all taken in this
// one space, so the mirror of z does not matter.
void corner_at(int32_t k, double out[3]) {
    for (int32_t d = 0; d < 3; ++d) out[d] = show::CORNER_OFFSETS[k][d];
}

void edge_middle(int32_t e, double out[3]) {
    double p[3], q[3];
    corner_at(show::EDGE_CORNERS[e][0], p);
    corner_at(show::EDGE_CORNERS[e][1], q);
    for (int32_t d = 0; d < 3; ++d) out[d] = (p[d] + q[d]) / 2;
}

// The face (axis, side) two edges share, or axis -1 when they share none.
std::pair<int32_t, int32_t> shared_face(int32_t e1, int32_t e2) {
    double m1[3], m2[3];
    edge_middle(e1, m1);
    edge_middle(e2, m2);
    for (int32_t d = 0; d < 3; ++d) {
        if (m1[d] == m2[d] && (m1[d] == 0.0 || m1[d] == 1.0)) return {d, static_cast<int32_t>(m1[d])};
    }
    return {-1, 0};
}

// Which side of the segment e1 -> e2 (seen from outside its face) the inside corner of e1 lies.
int32_t segment_side(int32_t c, int32_t e1, int32_t e2) {
    const auto [axis, side] = shared_face(e1, e2);
    double m1[3], m2[3], corner[3], outward[3] = {0, 0, 0};
    edge_middle(e1, m1);
    edge_middle(e2, m2);
    const int32_t k = corner_inside(c, show::EDGE_CORNERS[e1][0]) ? show::EDGE_CORNERS[e1][0]
                                                                  : show::EDGE_CORNERS[e1][1];
    corner_at(k, corner);
    outward[axis] = side == 1 ? 1.0 : -1.0;
    const double s[3] = {m2[0] - m1[0], m2[1] - m1[1], m2[2] - m1[2]};
    const double cross[3] = {s[1] * outward[2] - s[2] * outward[1],
                             s[2] * outward[0] - s[0] * outward[2],
                             s[0] * outward[1] - s[1] * outward[0]};
    const double dot = cross[0] * (corner[0] - m1[0]) + cross[1] * (corner[1] - m1[1]) +
                       cross[2] * (corner[2] - m1[2]);
    return dot > 0 ? 1 : (dot < 0 ? -1 : 0);
}

TEST(MetaballTables, EveryCaseIsClosedOrientedLikeRowOneAndUsesOnlyCrossings) {
    // Row 1 fixes the orientation every boundary segment must share.
    const int32_t reference = segment_side(1, 0, 8);
    ASSERT_NE(reference, 0);
    for (int32_t c = 0; c < 256; ++c) {
        const std::vector<int32_t> row = row_of(c);
        ASSERT_EQ(row.size() % 3, 0u) << "case " << c;
        ASSERT_LE(row.size(), 15u) << "case " << c;
        std::vector<bool> used(12, false);
        for (size_t k = 0; k < row.size(); k += 3) {
            EXPECT_TRUE(row[k] != row[k + 1] && row[k + 1] != row[k + 2] && row[k] != row[k + 2])
                << "case " << c << " has a degenerate triangle";
        }
        for (int32_t e : row) {
            ASSERT_TRUE(e >= 0 && e < 12) << "case " << c;
            EXPECT_TRUE((show::edge_table[c] >> e) & 1) << "case " << c << " uses edge " << e;
            used[e] = true;
        }
        // The surface crosses every crossing edge, and its boundary runs along the faces,
        // entering and leaving each crossing once.
        std::vector<int32_t> out_count(12, 0), in_count(12, 0);
        for (const auto& [segment, count] : boundary_of(row)) {
            const auto [e1, e2] = segment;
            EXPECT_EQ(count, 1) << "case " << c;
            ASSERT_NE(shared_face(e1, e2).first, -1)
                << "case " << c << ": segment " << e1 << "-" << e2 << " cuts through the cell";
            EXPECT_EQ(segment_side(c, e1, e2), reference)
                << "case " << c << ": segment " << e1 << "-" << e2 << " faces the wrong way";
            ++out_count[e1];
            ++in_count[e2];
        }
        for (int32_t e = 0; e < 12; ++e) {
            const int32_t expected = (show::edge_table[c] >> e) & 1;
            EXPECT_EQ(used[e] ? 1 : 0, expected) << "case " << c << " edge " << e;
            EXPECT_EQ(out_count[e], expected) << "case " << c << " edge " << e;
            EXPECT_EQ(in_count[e], expected) << "case " << c << " edge " << e;
        }
    }
}

// The segments a case draws on one face, as directed pairs of edges.
std::vector<std::pair<int32_t, int32_t>> face_segments(int32_t c, int32_t axis, int32_t side) {
    std::vector<std::pair<int32_t, int32_t>> segments;
    for (const auto& [segment, count] : boundary_of(row_of(c))) {
        const auto face = shared_face(segment.first, segment.second);
        if (face.first == axis && face.second == side) segments.push_back(segment);
    }
    return segments;
}

TEST(MetaballTables, NeighbouringCellsDrawTheSharedFaceAsOneSeam) {
    // For every pair of cases that agree on the corners of a shared face, the cell below draws
    // the same segments on it as the cell above, run the other way: no cracks, no flipped seams.
    for (int32_t axis = 0; axis < 3; ++axis) {
        // Corner k of the lower cell on the shared face is corner above[k] of the upper cell.
        int32_t above[8];
        for (int32_t k = 0; k < 8; ++k) {
            above[k] = -1;
            if (show::CORNER_OFFSETS[k][axis] != 1) continue;
            for (int32_t m = 0; m < 8; ++m) {
                bool same = true;
                for (int32_t d = 0; d < 3; ++d) {
                    const int32_t want = show::CORNER_OFFSETS[k][d] - (d == axis ? 1 : 0);
                    same = same && show::CORNER_OFFSETS[m][d] == want;
                }
                if (same) above[k] = m;
            }
        }
        auto edge_above = [&](int32_t e) {
            const int32_t p = above[show::EDGE_CORNERS[e][0]], q = above[show::EDGE_CORNERS[e][1]];
            for (int32_t f = 0; f < 12; ++f) {
                if ((show::EDGE_CORNERS[f][0] == p && show::EDGE_CORNERS[f][1] == q) ||
                    (show::EDGE_CORNERS[f][0] == q && show::EDGE_CORNERS[f][1] == p)) {
                    return f;
                }
            }
            return -1;
        };
        for (int32_t lower = 0; lower < 256; ++lower) {
            std::vector<std::pair<int32_t, int32_t>> expected;
            for (const auto& [e1, e2] : face_segments(lower, axis, 1)) {
                expected.push_back({edge_above(e2), edge_above(e1)});
            }
            std::sort(expected.begin(), expected.end());
            for (int32_t upper = 0; upper < 256; ++upper) {
                bool agree = true;
                for (int32_t k = 0; k < 8; ++k) {
                    if (above[k] >= 0) agree = agree && corner_inside(lower, k) == corner_inside(upper, above[k]);
                }
                if (!agree) continue;
                std::vector<std::pair<int32_t, int32_t>> seen = face_segments(upper, axis, 0);
                std::sort(seen.begin(), seen.end());
                ASSERT_EQ(seen, expected) << "axis " << axis << " cases " << lower << "/" << upper;
            }
        }
    }
}

TEST(MetaballTables, SurfaceOfASampledFieldIsClosedAndConsistentlyOriented) {
    reset_field();
    const float where[4][3] = {{0.12f, 0.03f, -0.21f}, {-0.31f, 0.17f, 0.05f},
                               {0.4f, -0.35f, 0.3f}, {0.02f, 0.33f, 0.27f}};
    place_blobs(where);
    for (int32_t frame = 0; frame < 4; ++frame) show::update_field();
    // A triangle corner is a grid edge: the pair of grid indices of its two points.
    using GridEdge = std::pair<int32_t, int32_t>;
    std::map<std::pair<GridEdge, GridEdge>, int32_t> directed;
    int32_t triangles = 0;
    for (int32_t cell = 0; cell < show::FIELD_CELLS; ++cell) {
        FieldPoint* const* corners = show::cube_corners[cell];
        const std::vector<int32_t> row = row_of(show::cube_case(corners));
        auto grid_edge = [&](int32_t e) {
            int32_t p = static_cast<int32_t>(corners[show::EDGE_CORNERS[e][0]] - show::field_grid);
            int32_t q = static_cast<int32_t>(corners[show::EDGE_CORNERS[e][1]] - show::field_grid);
            return p < q ? GridEdge{p, q} : GridEdge{q, p};
        };
        for (size_t k = 0; k < row.size(); k += 3, ++triangles) {
            for (int32_t m = 0; m < 3; ++m) {
                ++directed[{grid_edge(row[k + m]), grid_edge(row[k + (m + 1) % 3])}];
            }
        }
    }
    ASSERT_GT(triangles, 100);  // the blobs did make a surface
    for (const auto& [edge, count] : directed) {
        EXPECT_EQ(count, 1) << "a triangle edge runs the same way twice";
        const auto reverse = directed.find({edge.second, edge.first});
        EXPECT_TRUE(reverse != directed.end() && reverse->second == 1)
            << "a triangle edge is not shared by exactly one opposing triangle";
    }
}

// --- The field ------------------------------------------------------------------------------

TEST(MetaballField, BlobsAtRestApproachThreeTimesOneFramesSum) {
    reset_field();
    const float where[4][3] = {{0.11f, 0.23f, -0.27f}, {5, 5, 5}, {5, 5, 5}, {5, 5, 5}};
    place_blobs(where);
    show::update_field();
    const int32_t probes[] = {grid_index(20, 20, 20), grid_index(22, 24, 26), grid_index(0, 0, 0)};
    std::vector<float> first;
    for (int32_t p : probes) first.push_back(show::field_grid[p].value);
    // One frame from zero is the plain sum of the four terms.
    const FieldPoint& centre = show::field_grid[grid_index(22, 24, 26)];
    double sum = 0;
    for (const show::Blob& b : show::blobs) {
        const double dx = centre.position[0] - static_cast<double>(b.x);
        const double dy = centre.position[1] - static_cast<double>(b.y);
        const double dz = centre.position[2] - static_cast<double>(b.z);
        sum += static_cast<double>(b.strength) * b.strength /
               (std::pow(dx, 6) + std::pow(dy, 6) + std::pow(dz, 6));
    }
    EXPECT_NEAR(first[1], sum, sum * 1e-6);
    // The second frame keeps two thirds of the first.
    show::update_field();
    EXPECT_NEAR(show::field_grid[probes[1]].value, first[1] * (1 + 2.0 / 3), first[1] * 1e-6);
    for (int32_t frame = 0; frame < 80; ++frame) show::update_field();
    for (size_t k = 0; k < first.size(); ++k) {
        EXPECT_NEAR(show::field_grid[probes[k]].value, 3 * first[k], 3 * first[k] * 1e-5) << k;
    }
}

TEST(MetaballField, NormalsAreIndexDifferencesInsideAndZeroOnTheBoundary) {
    reset_field();
    // Close to the x = 1 face so the boundary values are far from zero.
    const float where[4][3] = {{0.8f, 0.13f, 0.21f}, {-0.9f, -0.9f, 0.9f}, {5, 5, 5}, {5, 5, 5}};
    place_blobs(where);
    for (int32_t frame = 0; frame < 3; ++frame) show::update_field();
    for (int32_t a = 0; a < 41; ++a) {
        for (int32_t i = 0; i < 41; ++i) {
            for (int32_t j = 0; j < 41; ++j) {
                if (a > 0 && a < 40 && i > 0 && i < 40 && j > 0 && j < 40) continue;
                const FieldPoint& p = show::field_grid[grid_index(a, i, j)];
                ASSERT_TRUE(p.normal[0] == 0 && p.normal[1] == 0 && p.normal[2] == 0)
                    << a << "," << i << "," << j << " value " << p.value;
            }
        }
    }
    EXPECT_GT(show::field_grid[grid_index(40, 23, 16)].value, 0.1f);
    // Below the blob in x and y and above it in z: the value grows with a, with i and, since
    // z falls as j grows, with j. The differences are not halved.
    const int32_t a = 34, i = 20, j = 12;
    const FieldPoint& p = show::field_grid[grid_index(a, i, j)];
    auto v = [](int32_t a2, int32_t i2, int32_t j2) { return show::field_grid[grid_index(a2, i2, j2)].value; };
    EXPECT_GT(p.normal[0], 0.0f);
    EXPECT_GT(p.normal[1], 0.0f);
    EXPECT_GT(p.normal[2], 0.0f);
    EXPECT_EQ(p.normal[0], v(a + 1, i, j) - v(a - 1, i, j));
    EXPECT_EQ(p.normal[1], v(a, i + 1, j) - v(a, i - 1, j));
    EXPECT_EQ(p.normal[2], v(a, i, j + 1) - v(a, i, j - 1));
}

TEST(MetaballField, ABlobCentreOnAGridPointKeepsTheFieldFinite) {
    for (double offset : {0.0, 1e-9, 1e-7}) {
        reset_field();
        const FieldPoint& hit = show::field_grid[grid_index(17, 23, 29)];
        const float where[4][3] = {
            {static_cast<float>(hit.position[0] + offset), hit.position[1], hit.position[2]},
            {hit.position[0], hit.position[1], hit.position[2]},
            {0.3f, 0.3f, 0.3f},
            {-0.4f, 0.1f, 0.2f}};
        place_blobs(where);
        for (int32_t frame = 0; frame < 30; ++frame) show::update_field();
        for (const FieldPoint& p : show::field_grid) {
            ASSERT_TRUE(std::isfinite(p.value)) << "offset " << offset;
            for (float n : p.normal) ASSERT_TRUE(std::isfinite(n)) << "offset " << offset;
        }
        EXPECT_GT(hit.value, 1e20f) << "offset " << offset;  // still a peak, just a finite one
        // The peak decays like any other value once the blobs leave.
        const float parked[4][3] = {{5, 5, 5}, {5, 5, 5}, {5, 5, 5}, {5, 5, 5}};
        place_blobs(parked);
        const float before = hit.value;
        show::update_field();
        EXPECT_LT(hit.value, before * 0.7f);
    }
}

// --- Edges and cells ------------------------------------------------------------------------

TEST(MetaballCells, InterpolateEdgeSpecialCasesComeFirst) {
    const float pa[3] = {0, 0, 0}, pb[3] = {2, 4, -6}, na[3] = {1, 1, 1}, nb[3] = {3, -1, 5};
    struct Case {
        float va, vb;
        float point[3];
        float normal[3];
    };
    const Case cases[] = {
        {1.0f, 0.5f, {0, 0, 0}, {1, 1, 1}},     // |va| = 1: a itself
        {-1.0f, 3.0f, {0, 0, 0}, {1, 1, 1}},
        {1.0f, 1.0f, {0, 0, 0}, {1, 1, 1}},     // a wins over b
        {0.5f, 1.0f, {2, 4, -6}, {3, -1, 5}},   // |vb| = 1: b itself
        {3.0f, -1.0f, {2, 4, -6}, {3, -1, 5}},
        {0.25f, 0.25f, {0, 0, 0}, {1, 1, 1}},   // equal values: no division
        {0.5f, 1.5f, {1, 2, -3}, {2, 0, 3}},    // the crossing half way
        {0.0f, 4.0f, {0.5f, 1, -1.5f}, {1.5f, 0.5f, 2}},  // a quarter of the way
        {2.0f, 0.0f, {1, 2, -3}, {2, 0, 3}},    // falling values cross as well
    };
    for (const Case& c : cases) {
        const show::EdgePoint r = show::interpolate_edge(pa, pb, na, nb, c.va, c.vb);
        for (int32_t k = 0; k < 3; ++k) {
            EXPECT_EQ(r.point[k], c.point[k]) << c.va << " " << c.vb << " [" << k << "]";
            EXPECT_EQ(r.normal[k], c.normal[k]) << c.va << " " << c.vb << " [" << k << "]";
        }
    }
}

// A lone cell with unit steps: corner k at its CORNER_OFFSETS, normal (k, 0, 0).
struct LoneCell {
    FieldPoint points[8] = {};
    FieldPoint* corners[8] = {};
    explicit LoneCell(const float (&values)[8]) {
        for (int32_t k = 0; k < 8; ++k) {
            for (int32_t d = 0; d < 3; ++d) points[k].position[d] = static_cast<float>(show::CORNER_OFFSETS[k][d]);
            points[k].normal[0] = static_cast<float>(k);
            points[k].value = values[k];
            corners[k] = &points[k];
        }
    }
};

TEST(MetaballCells, AllInsideOrAllOutsideEmitsNothing) {
    const float all_below[8] = {0.5f, 0, 0.99f, 0.2f, 0.5f, 0.5f, 0.9999999f, 0.1f};
    const float at_level[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    const float all_above[8] = {2, 1.5f, 1, 7, 1e30f, 1.0000001f, 3, 4};
    struct Case {
        const float (&values)[8];
        int32_t expected_case;
    };
    for (const Case& c : {Case{all_below, 255}, Case{at_level, 0}, Case{all_above, 0}}) {
        LoneCell cell(c.values);
        EXPECT_EQ(show::cube_case(cell.corners), c.expected_case);
        RecordingSink sink;
        show::polygonise_cube_to(cell.corners, sink);
        EXPECT_EQ(sink.triangles, 0);
        EXPECT_TRUE(sink.vertices.empty());
    }
}

TEST(MetaballCells, OneCornerBelowTheLevelEmitsOneTriangleInTableOrder) {
    // Corner 0 inside at 0.5, the rest at 1.5: crossings half way along edges 0, 8 and 3.
    const float values[8] = {0.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f};
    LoneCell cell(values);
    RecordingSink sink;
    show::polygonise_cube_to(cell.corners, sink);
    ASSERT_EQ(sink.triangles, 1);
    ASSERT_EQ(sink.vertices.size(), 3u);
    // Edge 0 runs 0 -> 1, edge 8 runs 0 -> 4, edge 3 runs 3 -> 0 (so its normal is 3 -> 0).
    const float points[3][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f}};
    const float normal_x[3] = {0.5f, 2.0f, 1.5f};
    for (int32_t v = 0; v < 3; ++v) {
        for (int32_t d = 0; d < 3; ++d) EXPECT_EQ(sink.vertices[v].point[d], points[v][d]) << v;
        EXPECT_EQ(sink.vertices[v].normal[0], normal_x[v]) << v;
    }
}

// --- Bit-exactness of the whole frame -------------------------------------------------------

uint64_t fnv1a(uint64_t hash, const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t k = 0; k < size; ++k) hash = (hash ^ p[k]) * 0x100000001B3ull;
    return hash;
}

struct HashingSink {
    uint64_t hash = 0xCBF29CE484222325ull;
    int32_t triangles = 0;
    void triangle() { ++triangles; }
    void vertex(const float* normal, const float* point) {
        hash = fnv1a(hash, normal, 3 * sizeof(float));
        hash = fnv1a(hash, point, 3 * sizeof(float));
    }
};

// The field step written out plainly, as the reference any faster update must match bit for bit.
void reference_update(std::vector<float>& values, std::vector<float>& normals) {
    for (int32_t p = 0; p < show::FIELD_POINTS; ++p) {
        const float* position = show::field_grid[p].position;
        float v = values[p] * 0.6666667f;
        for (const show::Blob& b : show::blobs) {
            const double dx = static_cast<double>(position[0]) - b.x;
            const double dy = static_cast<double>(position[1]) - b.y;
            const double dz = static_cast<double>(position[2]) - b.z;
            const double dx2 = dx * dx, dy2 = dy * dy, dz2 = dz * dz;
            double d = dx2 * dx2 * dx2 + dy2 * dy2 * dy2 + dz2 * dz2 * dz2;
            if (d < 1e-36) d = 1e-36;
            v = static_cast<float>(v + static_cast<double>(b.strength) * b.strength / d);
        }
        values[p] = v;
    }
    for (int32_t a = 1; a < 40; ++a) {
        for (int32_t i = 1; i < 40; ++i) {
            for (int32_t j = 1; j < 40; ++j) {
                const int32_t p = grid_index(a, i, j);
                normals[3 * p + 0] = values[grid_index(a + 1, i, j)] - values[grid_index(a - 1, i, j)];
                normals[3 * p + 1] = values[grid_index(a, i + 1, j)] - values[grid_index(a, i - 1, j)];
                normals[3 * p + 2] = values[grid_index(a, i, j + 1)] - values[grid_index(a, i, j - 1)];
            }
        }
    }
}

TEST(MetaballFrame, FieldAndSurfaceAreBitExactOverSeveralFrames) {
    reset_field();
    std::vector<float> values(show::FIELD_POINTS, 0.0f), normals(3 * show::FIELD_POINTS, 0.0f);
    // Moving blobs, one sitting exactly on a grid point and one thrown far away.
    const FieldPoint& on_grid = show::field_grid[grid_index(21, 18, 25)];
    const float frames[4][4][3] = {
        {{0.1f, 0.2f, -0.3f}, {-0.25f, 0.1f, 0.05f}, {0.3f, -0.2f, 0.1f}, {0.0f, 0.0f, 0.0f}},
        {{0.12f, 0.18f, -0.27f}, {-0.2f, 0.12f, 0.1f}, {0.28f, -0.15f, 0.12f}, {0.02f, 13.5f, 0.1f}},
        {{0.15f, 0.15f, -0.22f}, {-0.15f, 0.15f, 0.14f}, {0.25f, -0.1f, 0.15f}, {0.05f, -4e6f, 0.2f}},
        {{on_grid.position[0], on_grid.position[1], on_grid.position[2]},
         {-0.1f, 0.19f, 0.2f}, {0.2f, -0.05f, 0.18f}, {0.1f, 0.4f, 0.3f}},
    };
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const auto& where : frames) {
        place_blobs(where);
        show::update_field();
        reference_update(values, normals);
        for (int32_t p = 0; p < show::FIELD_POINTS; ++p) {
            const FieldPoint& point = show::field_grid[p];
            ASSERT_EQ(std::memcmp(&point.value, &values[p], sizeof(float)), 0) << "value " << p;
            ASSERT_EQ(std::memcmp(point.normal, &normals[3 * p], 3 * sizeof(float)), 0) << "normal " << p;
        }
        HashingSink sink;
        show::polygonise_field_to(sink);
        EXPECT_GT(sink.triangles, 0);
        hash = fnv1a(hash, &sink.hash, sizeof sink.hash);
        hash = fnv1a(hash, &sink.triangles, sizeof sink.triangles);
        for (const FieldPoint& point : show::field_grid) hash = fnv1a(hash, &point, sizeof point);
    }
    // Recorded from the plain implementation; any speed-up must leave every bit as it was.
    EXPECT_EQ(hash, 0x60f2927f69c2e026ull) << std::hex << hash;
}

}  // namespace
