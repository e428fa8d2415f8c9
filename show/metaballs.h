#pragma once
// The metaball surface: a fixed 41 x 41 x 41 grid over the cube [-1, 1]^3 holding a running,
// decaying sum of four blob terms with central-difference normals, a marching-cubes pass that
// turns each of the 64000 cells into lit triangles, and the cube drawn around it.

#include <array>
#include <cstdint>

namespace show {

struct FieldPoint {
    float position[3];  // fixed at start-up
    float normal[3];    // central differences of value; stays (0, 0, 0) on the grid boundary
    float value;        // kept from frame to frame
};

constexpr int32_t FIELD_SIDE = 41;  // grid points per axis
constexpr int32_t CELL_SIDE = 40;   // cells per axis
constexpr int32_t FIELD_POINTS = FIELD_SIDE * FIELD_SIDE * FIELD_SIDE;
constexpr int32_t FIELD_CELLS = CELL_SIDE * CELL_SIDE * CELL_SIDE;
constexpr float ISO_LEVEL = 1.0f;  // a corner below it is "inside"
constexpr float FIELD_DECAY = 0.6666667f;
// Floor of a blob term's denominator: a blob centre on (or within about 1e-6 of) a grid point
// would otherwise give an infinite value that never decays and poisons the normals.
constexpr double MIN_BLOB_DENOMINATOR = 1e-36;

// Grid point (a, i, j) is field_grid[(a * 41 + i) * 41 + j]: j fastest, then i, then a.
extern FieldPoint field_grid[FIELD_POINTS];
// Cell (a, i, j) is cube_corners[(a * 40 + i) * 40 + j]; corner k as in CORNER_OFFSETS.
extern FieldPoint* cube_corners[FIELD_CELLS][8];

// Grid offsets (a, i, j) of the eight corners of a cell, and the two corners of each edge
// in the order the crossing is interpolated (edge 3 runs from corner 3 to corner 0).
inline constexpr int32_t CORNER_OFFSETS[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
inline constexpr int32_t EDGE_CORNERS[12][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

struct Blob {
    float strength;
    float x, y, z;
};
extern Blob blobs[4];

// edge_table[c]: bit e set when the corners of edge e lie on different sides in case c (bit k
// of c set: corner k inside). triangle_table[c]: up to five triangles of edge numbers, closed
// by -1: the standard marching-cubes table for the numbering above. The edge table is worked
// out at compile time from the same numbering.
extern const std::array<int32_t, 256> edge_table;
extern const std::array<std::array<int32_t, 16>, 256> triangle_table;

struct EdgePoint {
    float point[3];
    float normal[3];
};

// Sets the blob strengths and zero positions, builds the grid and makes a new noise image and
// texture. Needs a current rendering context; called once at start-up.
void init_metaballs();
// Writes every grid point's position and fills cube_corners.
void build_field_grid();
// One frame of the field for the current blob positions: decay, blob sum, normals.
void update_field();
// The crossing of the iso level on the edge from a to b, with its normal.
EdgePoint interpolate_edge(const float* pa, const float* pb, const float* na, const float* nb,
                           float va, float vb);
// Case number of a cell: bit k set when corner k's value is below the iso level.
inline int32_t cube_case(FieldPoint* const* corners) {
    // Written out so the eight loads and compares issue together.
    return static_cast<int32_t>(corners[0]->value < ISO_LEVEL) |
           static_cast<int32_t>(corners[1]->value < ISO_LEVEL) << 1 |
           static_cast<int32_t>(corners[2]->value < ISO_LEVEL) << 2 |
           static_cast<int32_t>(corners[3]->value < ISO_LEVEL) << 3 |
           static_cast<int32_t>(corners[4]->value < ISO_LEVEL) << 4 |
           static_cast<int32_t>(corners[5]->value < ISO_LEVEL) << 5 |
           static_cast<int32_t>(corners[6]->value < ISO_LEVEL) << 6 |
           static_cast<int32_t>(corners[7]->value < ISO_LEVEL) << 7;
}

// Emits the triangles of one cell into the open glBegin(GL_TRIANGLES).
void polygonise_cube(FieldPoint* const* corners);
// polygonise_cube for every cell in cube_corners order.
void polygonise_field();
// Six textured quads of an axis-aligned cube of half-size h centred on (x, y, z).
void draw_cube(float h, float x, float y, float z);

// The cell pass with its output routed through a sink: sink.triangle() before each triangle,
// then sink.vertex(normal, point) for its three vertices. The GL path uses it as well, so
// tests and benchmarks see exactly what is drawn.
template <class Sink>
void polygonise_cube_to(FieldPoint* const* corners, Sink& sink) {
    const int32_t c = cube_case(corners);
    const int32_t edges = edge_table[c];
    if (edges == 0) return;
    EdgePoint crossing[12];
    for (int32_t e = 0; e < 12; ++e) {
        if (!((edges >> e) & 1)) continue;
        const FieldPoint* p = corners[EDGE_CORNERS[e][0]];
        const FieldPoint* q = corners[EDGE_CORNERS[e][1]];
        crossing[e] = interpolate_edge(p->position, q->position, p->normal, q->normal, p->value,
                                       q->value);
    }
    const std::array<int32_t, 16>& row = triangle_table[c];
    for (int32_t k = 0; row[k] != -1; k += 3) {
        sink.triangle();
        for (int32_t m = 0; m < 3; ++m) {
            const EdgePoint& v = crossing[row[k + m]];
            sink.vertex(v.normal, v.point);
        }
    }
}

template <class Sink>
void polygonise_field_to(Sink& sink) {
    for (int32_t cell = 0; cell < FIELD_CELLS; ++cell) polygonise_cube_to(cube_corners[cell], sink);
}

}  // namespace show
