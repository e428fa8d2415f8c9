#include "show/metaballs.h"

#include "show/noise.h"

#include <GL/gl.h>

#include <cmath>

namespace show {

FieldPoint field_grid[FIELD_POINTS];
FieldPoint* cube_corners[FIELD_CELLS][8];
Blob blobs[4];

namespace {

using TriangleRows = std::array<std::array<int32_t, 16>, 256>;

// The faces of a cell as corner cycles, counter-clockwise seen from outside in (a, i, j) space.
constexpr int32_t FACE_CORNERS[6][4] = {{0, 3, 7, 4}, {1, 5, 6, 2}, {0, 1, 2, 3},
                                        {4, 7, 6, 5}, {0, 4, 5, 1}, {3, 2, 6, 7}};

constexpr bool inside(int32_t c, int32_t corner) { return ((c >> corner) & 1) != 0; }

constexpr int32_t edge_between(int32_t p, int32_t q) {
    for (int32_t e = 0; e < 12; ++e) {
        if ((EDGE_CORNERS[e][0] == p && EDGE_CORNERS[e][1] == q) ||
            (EDGE_CORNERS[e][0] == q && EDGE_CORNERS[e][1] == p)) {
            return e;
        }
    }
    throw "corners share no edge";  // only reachable while generating: a compile error
}

constexpr std::array<int32_t, 256> make_edge_table() {
    std::array<int32_t, 256> table{};
    for (int32_t c = 0; c < 256; ++c) {
        for (int32_t e = 0; e < 12; ++e) {
            if (inside(c, EDGE_CORNERS[e][0]) != inside(c, EDGE_CORNERS[e][1])) table[c] |= 1 << e;
        }
    }
    return table;
}

// The surface of case c as directed segments on the cell's faces: next[e] is the crossing edge
// the surface boundary runs to from crossing edge e. On each face every run of inside corners
// is cut off by one segment, so two diagonal inside corners on a face stay apart. The choice
// depends only on the face's own four corners, so neighbouring cells always agree on it and
// the surface is closed.
constexpr std::array<int32_t, 12> face_segments(int32_t c) {
    std::array<int32_t, 12> next{};
    for (int32_t& e : next) e = -1;
    for (const auto& face : FACE_CORNERS) {
        for (int32_t k = 0; k < 4; ++k) {
            const int32_t p = face[k];
            const int32_t q = face[(k + 1) % 4];
            if (!inside(c, p) || inside(c, q)) continue;
            int32_t m = k;  // back to the first corner of this run of inside corners
            while (inside(c, face[(m + 3) % 4])) m = (m + 3) % 4;
            next[edge_between(face[(m + 3) % 4], face[m])] = edge_between(p, q);
        }
    }
    return next;
}

// Net count of each directed edge between crossings: interior diagonals of a triangulated
// polygon cancel, what remains is its boundary.
constexpr std::array<std::array<int32_t, 12>, 12> boundary_of(const std::array<int32_t, 16>& row) {
    std::array<std::array<int32_t, 12>, 12> net{};
    for (int32_t k = 0; row[k] != -1; k += 3) {
        for (int32_t m = 0; m < 3; ++m) {
            const int32_t from = row[k + m];
            const int32_t to = row[k + (m + 1) % 3];
            ++net[from][to];
            --net[to][from];
        }
    }
    return net;
}

// Rows whose vertex order is fixed by hand; the generator checks they are the same surface.
constexpr int32_t KEPT_ROWS[][17] = {
    {3, 1, 8, 3, 9, 8, 1, -1},
    {128, 7, 6, 11, -1},
};

constexpr TriangleRows make_triangle_table() {
    TriangleRows table{};
    for (int32_t c = 0; c < 256; ++c) {
        std::array<int32_t, 16>& row = table[c];
        for (int32_t& v : row) v = -1;
        const std::array<int32_t, 12> next = face_segments(c);
        // Each closed loop of segments becomes a fan from its lowest edge; loops in order of
        // their lowest edge.
        bool used[12] = {};
        int32_t out = 0;
        for (int32_t start = 0; start < 12; ++start) {
            if (next[start] == -1 || used[start]) continue;
            int32_t loop[12] = {};
            int32_t n = 0;
            int32_t e = start;
            do {
                if (n == 12 || next[e] == -1) throw "open surface boundary";
                used[e] = true;
                loop[n++] = e;
                e = next[e];
            } while (e != start);
            for (int32_t k = 1; k + 1 < n; ++k) {
                if (out + 3 > 15) throw "more than five triangles";
                row[out++] = loop[0];
                row[out++] = loop[k];
                row[out++] = loop[k + 1];
            }
        }
        for (const auto& kept : KEPT_ROWS) {
            if (kept[0] != c) continue;
            std::array<int32_t, 16> replacement{};
            for (int32_t k = 0; k < 16; ++k) replacement[k] = kept[k + 1];
            if (boundary_of(replacement) != boundary_of(row)) throw "kept row is another surface";
            row = replacement;
        }
    }
    return table;
}

}  // namespace

constinit const std::array<int32_t, 256> edge_table = make_edge_table();
constinit const TriangleRows triangle_table = make_triangle_table();

void init_metaballs() {
    blobs[0] = {0.0081f, 0.0f, 0.0f, 0.0f};
    blobs[1] = {0.0075f, 0.0f, 0.0f, 0.0f};
    blobs[2] = {0.0055f, 0.0f, 0.0f, 0.0f};
    blobs[3] = {0.0064f, 0.0f, 0.0f, 0.0f};
    build_field_grid();
    // A fresh grain image and texture; they replace the ones graphics start-up made.
    create_noise_texture();
}

void build_field_grid() {
    const float step = 0.05f;
    for (int32_t a = 0; a < FIELD_SIDE; ++a) {
        for (int32_t i = 0; i < FIELD_SIDE; ++i) {
            for (int32_t j = 0; j < FIELD_SIDE; ++j) {
                FieldPoint& p = field_grid[(a * FIELD_SIDE + i) * FIELD_SIDE + j];
                p.position[0] = static_cast<float>(a * static_cast<double>(step) - 1.0);
                p.position[1] = static_cast<float>(i * static_cast<double>(step) - 1.0);
                p.position[2] = static_cast<float>(1.0 - j * static_cast<double>(step));
            }
        }
    }
    for (int32_t a = 0; a < CELL_SIDE; ++a) {
        for (int32_t i = 0; i < CELL_SIDE; ++i) {
            for (int32_t j = 0; j < CELL_SIDE; ++j) {
                FieldPoint** cell = cube_corners[(a * CELL_SIDE + i) * CELL_SIDE + j];
                for (int32_t k = 0; k < 8; ++k) {
                    const int32_t* o = CORNER_OFFSETS[k];
                    cell[k] = &field_grid[((a + o[0]) * FIELD_SIDE + i + o[1]) * FIELD_SIDE + j + o[2]];
                }
            }
        }
    }
}

namespace {

typedef double Double2 __attribute__((vector_size(16)));
typedef float Float2 __attribute__((vector_size(8)));

double sixth_power(double d) {
    const double d2 = d * d;
    return d2 * d2 * d2;
}

}  // namespace

void update_field() {
    // A grid point's coordinates depend on one index each, so every blob's sixth powers are
    // taken once per index; the sum keeps the order x + y + z and so every bit of the value.
    double x6[4][FIELD_SIDE], y6[4][FIELD_SIDE], z6[4][FIELD_SIDE], s2[4];
    for (int32_t b = 0; b < 4; ++b) {
        const Blob& blob = blobs[b];
        for (int32_t n = 0; n < FIELD_SIDE; ++n) {
            x6[b][n] = sixth_power(static_cast<double>(field_grid[n * FIELD_SIDE * FIELD_SIDE].position[0]) - blob.x);
            y6[b][n] = sixth_power(static_cast<double>(field_grid[n * FIELD_SIDE].position[1]) - blob.y);
            z6[b][n] = sixth_power(static_cast<double>(field_grid[n].position[2]) - blob.z);
        }
        s2[b] = static_cast<double>(blob.strength) * blob.strength;
    }
    const Double2 floor2 = {MIN_BLOB_DENOMINATOR, MIN_BLOB_DENOMINATOR};
    FieldPoint* p = field_grid;
    for (int32_t a = 0; a < FIELD_SIDE; ++a) {
        for (int32_t i = 0; i < FIELD_SIDE; ++i) {
            double xy[4];
            for (int32_t b = 0; b < 4; ++b) xy[b] = x6[b][a] + y6[b][i];
            // Two points at a time: the same operations per lane, only issued together.
            int32_t j = 0;
            for (; j + 1 < FIELD_SIDE; j += 2, p += 2) {
                Float2 value = {p[0].value * FIELD_DECAY, p[1].value * FIELD_DECAY};
                for (int32_t b = 0; b < 4; ++b) {
                    Double2 denominator = xy[b] + Double2{z6[b][j], z6[b][j + 1]};
                    denominator = denominator < floor2 ? floor2 : denominator;
                    const Double2 sum = __builtin_convertvector(value, Double2) + s2[b] / denominator;
                    value = __builtin_convertvector(sum, Float2);
                }
                p[0].value = value[0];
                p[1].value = value[1];
            }
            for (; j < FIELD_SIDE; ++j, ++p) {
                float value = p->value * FIELD_DECAY;
                for (int32_t b = 0; b < 4; ++b) {
                    double denominator = xy[b] + z6[b][j];
                    if (denominator < MIN_BLOB_DENOMINATOR) denominator = MIN_BLOB_DENOMINATOR;
                    value = static_cast<float>(value + s2[b] / denominator);
                }
                p->value = value;
            }
        }
    }
    constexpr int32_t A = FIELD_SIDE * FIELD_SIDE;  // index step along a
    constexpr int32_t I = FIELD_SIDE;               // along i; j steps by 1
    for (int32_t a = 1; a < FIELD_SIDE - 1; ++a) {
        for (int32_t i = 1; i < FIELD_SIDE - 1; ++i) {
            for (int32_t j = 1; j < FIELD_SIDE - 1; ++j) {
                FieldPoint* p = &field_grid[a * A + i * I + j];
                p->normal[0] = p[A].value - p[-A].value;
                p->normal[1] = p[I].value - p[-I].value;
                p->normal[2] = p[1].value - p[-1].value;
            }
        }
    }
}

EdgePoint interpolate_edge(const float* pa, const float* pb, const float* na, const float* nb,
                           float va, float vb) {
    const float* point = pa;
    const float* normal = na;
    EdgePoint r{};
    if (std::fabs(va) == 1.0f) {
        // the crossing is a itself
    } else if (std::fabs(vb) == 1.0f) {
        point = pb;
        normal = nb;
    } else if (va != vb) {
        const double mu = (1.0 - va) / (static_cast<double>(vb) - va);
        for (int32_t k = 0; k < 3; ++k) {
            r.point[k] = static_cast<float>(pa[k] + mu * (static_cast<double>(pb[k]) - pa[k]));
            r.normal[k] = static_cast<float>(na[k] + mu * (static_cast<double>(nb[k]) - na[k]));
        }
        return r;
    }
    for (int32_t k = 0; k < 3; ++k) {
        r.point[k] = point[k];
        r.normal[k] = normal[k];
    }
    return r;
}

namespace {

struct GlSink {
    void triangle() { glColor4ub(255, 255, 255, 255); }
    void vertex(const float* normal, const float* point) {
        glNormal3fv(normal);
        glTexCoord2fv(point);  // x and y of the point
        glVertex3fv(point);
    }
};

}  // namespace

void polygonise_cube(FieldPoint* const* corners) {
    GlSink sink;
    polygonise_cube_to(corners, sink);
}

void polygonise_field() {
    GlSink sink;
    polygonise_field_to(sink);
}

void draw_cube(float h, float x, float y, float z) {
    const float x0 = x - h, x1 = x + h, y0 = y - h, y1 = y + h, z0 = z - h, z1 = z + h;
    struct CubeVertex {
        float s, t, x, y, z;
    };
    const CubeVertex vertices[24] = {
        {0, 0, x0, y0, z1}, {1, 0, x1, y0, z1}, {1, 1, x1, y1, z1}, {0, 1, x0, y1, z1},
        {1, 0, x0, y0, z0}, {1, 1, x0, y1, z0}, {0, 1, x1, y1, z0}, {0, 0, x1, y0, z0},
        {0, 1, x0, y1, z0}, {0, 0, x0, y1, z1}, {1, 0, x1, y1, z1}, {1, 1, x1, y1, z0},
        {1, 1, x0, y0, z0}, {0, 1, x1, y0, z0}, {0, 0, x1, y0, z1}, {1, 0, x0, y0, z1},
        {1, 0, x1, y0, z0}, {1, 1, x1, y1, z0}, {0, 1, x1, y1, z1}, {0, 0, x1, y0, z1},
        {0, 0, x0, y0, z0}, {1, 0, x0, y0, z1}, {1, 1, x0, y1, z1}, {0, 1, x0, y1, z0},
    };
    glBegin(GL_QUADS);
    for (const CubeVertex& v : vertices) {
        glTexCoord2f(v.s, v.t);
        glNormal3f(v.x, v.y, v.z);  // the position vector, not the face normal
        glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
}

}  // namespace show
