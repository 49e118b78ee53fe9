// The desktop icon, build/icons/rondovar.png (256 x 256): the player's ball
// as the game draws it, from the generated ball model ball_y.tcm and its
// in-play texture, resting on a grass tile block, lit from the upper left.
// It is drawn from the files the generators before it wrote, so a change to
// the ball shows in the icon. The icon is no game data: it goes beside the
// program folder, and make install puts it under share/icons.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

constexpr int kSize = 256;
constexpr int kSuper = 4;  // samples a pixel in each direction

struct Vec {
    float x = 0, y = 0, z = 0;
    Vec operator+(Vec o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator-(Vec o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator*(float k) const { return {x * k, y * k, z * k}; }
};
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec Unit(Vec a) { return a * (1.0f / std::sqrt(Dot(a, a))); }

struct Texture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    // Bilinear, wrapping; channels 0..1.
    std::array<float, 4> Sample(float u, float v) const {
        const float fx = u * float(w) - 0.5f, fy = v * float(h) - 0.5f;
        const float x0 = std::floor(fx), y0 = std::floor(fy);
        const float ax = fx - x0, ay = fy - y0;
        std::array<float, 4> out{};
        for (int k = 0; k < 4; ++k) {
            const int dx = k & 1, dy = k >> 1;
            const float weight = (dx ? ax : 1 - ax) * (dy ? ay : 1 - ay);
            int x = (int(x0) + dx) % w, y = (int(y0) + dy) % h;
            if (x < 0) x += w;
            if (y < 0) y += h;
            const uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
            for (int c = 0; c < 4; ++c) out[c] += weight * p[c] / 255.0f;
        }
        return out;
    }
};

Texture LoadTexture(const std::filesystem::path& path) {
    Texture t;
    int channels = 0;
    stbi_uc* data = stbi_load(path.string().c_str(), &t.w, &t.h, &channels, 4);
    if (!data) throw std::runtime_error("icon: cannot read " + path.string());
    t.rgba.assign(data, data + size_t(t.w) * t.h * 4);
    stbi_image_free(data);
    return t;
}

struct Vertex {
    Vec p;
    float u, v;
};

// The triangles of the sequences of a mode-3 "tcm" model that draw
// `texture` (the generated ball writes a version 4 file without flags).
std::vector<Vertex> ModelTriangles(const std::filesystem::path& path, const std::string& texture) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("icon: cannot read " + path.string());
    auto line = [&]() {
        std::string s;
        std::getline(in, s);
        if (!s.empty() && s.back() == '\r') s.pop_back();
        return s;
    };
    if (line() != "4" || line() != "-" || line() != "3") throw std::runtime_error("icon: unexpected ball model header");
    const int sequences = std::stoi(line());
    const int vertices = std::stoi(line());
    struct Seq {
        int start, count;
        std::string texture;
    };
    std::vector<Seq> seqs;
    for (int i = 0; i < sequences; ++i) {
        Seq s;
        s.start = std::stoi(line());
        s.count = std::stoi(line());
        line();  // kind
        s.texture = line();
        line();  // group
        seqs.push_back(s);
    }
    std::vector<Vertex> all;
    for (int i = 0; i < vertices; ++i) {
        Vertex v;
        v.p.x = std::stof(line());
        v.p.y = std::stof(line());
        v.p.z = std::stof(line());
        line();  // colour
        v.u = std::stof(line());
        v.v = std::stof(line());
        line();
        all.push_back(v);
    }
    std::vector<Vertex> out;
    for (const Seq& s : seqs)
        if (s.texture == texture)
            for (int i = s.start; i < s.start + s.count * 3 && i < vertices; ++i) out.push_back(all[size_t(i)]);
    if (out.empty()) throw std::runtime_error("icon: the ball model has no " + texture + " sequence");
    return out;
}

struct Triangle {
    Vertex a, b, c;
    const Texture* texture;
    bool sphere;  // shaded with the normal of a sphere about the model's origin
    Vec centre;
};

struct Canvas {
    int n = kSize * kSuper;
    std::vector<float> depth = std::vector<float>(size_t(n) * n, 1e30f);
    std::vector<std::array<float, 4>> colour = std::vector<std::array<float, 4>>(size_t(n) * n, {0, 0, 0, 0});
};

}  // namespace

void GenIcon(Output& out) {
    const auto& game = out.gameDir();
    const Texture ball = LoadTexture(game / "textures" / "ball_play.png");
    const Texture grass = LoadTexture(game / "textures" / "tile_grass.png");
    const Texture wall = LoadTexture(game / "textures" / "tile_wall.png");

    // World: +z up; the ball (radius 1.4) rests on a block of 4 x 4 cells'
    // width, as in a level, its heading spot (+y) turned to the viewer.
    constexpr float kRadius = 1.4f, kHalf = 2.0f, kDepth = 1.3f;
    const Vec centre{0, 0, kRadius};
    std::vector<Triangle> tris;
    const std::vector<Vertex> model = ModelTriangles(game / "models" / "ball_y.tcm", "ball_play");
    for (size_t i = 0; i + 2 < model.size(); i += 3) {
        Triangle t{model[i], model[i + 1], model[i + 2], &ball, true, centre};
        for (Vertex* v : {&t.a, &t.b, &t.c}) v->p = v->p + centre;
        tris.push_back(t);
    }
    auto quad = [&](Vec p0, Vec p1, Vec p2, Vec p3, const Texture& tex, float repeatU, float repeatV) {
        const Vertex a{p0, 0, 0}, b{p1, repeatU, 0}, c{p2, repeatU, repeatV}, d{p3, 0, repeatV};
        tris.push_back({a, b, c, &tex, false, {}});
        tris.push_back({a, c, d, &tex, false, {}});
    };
    quad({-kHalf, kHalf, 0}, {kHalf, kHalf, 0}, {kHalf, -kHalf, 0}, {-kHalf, -kHalf, 0}, grass, 2, 2);
    quad({-kHalf, kHalf, 0}, {kHalf, kHalf, 0}, {kHalf, kHalf, -kDepth}, {-kHalf, kHalf, -kDepth}, wall, 2, 0.65f);
    quad({kHalf, kHalf, 0}, {kHalf, -kHalf, 0}, {kHalf, -kHalf, -kDepth}, {kHalf, kHalf, -kDepth}, wall, 2, 0.65f);

    // An orthographic view from the front right, above.
    const Vec forward = Unit({-0.55f, -1.0f, -0.62f});
    const Vec right = Unit(Cross(forward, {0, 0, 1}));
    const Vec up = Cross(right, forward);
    const Vec light = Unit({-0.5f, 0.7f, 1.0f});  // towards the light

    float minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f;
    for (const Triangle& t : tris)
        for (const Vertex* v : {&t.a, &t.b, &t.c}) {
            minX = std::min(minX, Dot(v->p, right));
            maxX = std::max(maxX, Dot(v->p, right));
            minY = std::min(minY, Dot(v->p, up));
            maxY = std::max(maxY, Dot(v->p, up));
        }
    Canvas canvas;
    const float scale = 0.92f * float(canvas.n) / std::max(maxX - minX, maxY - minY);
    const float midX = (minX + maxX) / 2, midY = (minY + maxY) / 2;
    struct Screen {
        float x, y, z;
    };
    auto project = [&](Vec p) {
        return Screen{(Dot(p, right) - midX) * scale + canvas.n / 2.0f, (midY - Dot(p, up)) * scale + canvas.n / 2.0f,
                      Dot(p, forward)};
    };
    // Whether the way from `p` to the light passes through the ball.
    auto shadowed = [&](Vec p) {
        const Vec oc = p - centre;
        const float b = Dot(oc, light), c = Dot(oc, oc) - kRadius * kRadius;
        return b * b - c > 0 && -b > 0;
    };

    for (const Triangle& t : tris) {
        const Screen s0 = project(t.a.p), s1 = project(t.b.p), s2 = project(t.c.p);
        const float area = (s1.x - s0.x) * (s2.y - s0.y) - (s2.x - s0.x) * (s1.y - s0.y);
        if (std::fabs(area) < 1e-6f) continue;
        const int x0 = std::max(0, int(std::floor(std::min({s0.x, s1.x, s2.x}))));
        const int x1 = std::min(canvas.n - 1, int(std::ceil(std::max({s0.x, s1.x, s2.x}))));
        const int y0 = std::max(0, int(std::floor(std::min({s0.y, s1.y, s2.y}))));
        const int y1 = std::min(canvas.n - 1, int(std::ceil(std::max({s0.y, s1.y, s2.y}))));
        const Vec faceNormal = Unit(Cross(t.b.p - t.a.p, t.c.p - t.a.p));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const float px = x + 0.5f, py = y + 0.5f;
                const float w0 = ((s1.x - px) * (s2.y - py) - (s2.x - px) * (s1.y - py)) / area;
                const float w1 = ((s2.x - px) * (s0.y - py) - (s0.x - px) * (s2.y - py)) / area;
                const float w2 = 1 - w0 - w1;
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                const float z = w0 * s0.z + w1 * s1.z + w2 * s2.z;
                float& d = canvas.depth[size_t(y) * canvas.n + x];
                if (z >= d) continue;
                d = z;
                const Vec p = t.a.p * w0 + t.b.p * w1 + t.c.p * w2;
                // A seam triangle spans u 23/24 .. 1; plain interpolation is right.
                const auto texel =
                    t.texture->Sample(w0 * t.a.u + w1 * t.b.u + w2 * t.c.u, w0 * t.a.v + w1 * t.b.v + w2 * t.c.v);
                Vec n = t.sphere ? Unit(p - t.centre) : faceNormal;
                if (Dot(n, forward) > 0 && !t.sphere) n = n * -1.0f;
                float diffuse = std::max(0.0f, Dot(n, light));
                if (!t.sphere && shadowed(p)) diffuse *= 0.25f;
                float shade = 0.35f + 0.75f * diffuse;
                float specular = 0;
                if (t.sphere) {
                    const Vec h = Unit(light - forward);
                    specular = 0.45f * std::pow(std::max(0.0f, Dot(n, h)), 40.0f);
                }
                auto& c = canvas.colour[size_t(y) * canvas.n + x];
                for (int k = 0; k < 3; ++k) c[k] = std::min(1.0f, texel[k] * shade + specular);
                c[3] = 1;
            }
    }

    Image icon(kSize, kSize, 0);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            std::array<float, 4> sum{};
            for (int sy = 0; sy < kSuper; ++sy)
                for (int sx = 0; sx < kSuper; ++sx) {
                    const auto& c = canvas.colour[size_t(y * kSuper + sy) * canvas.n + (x * kSuper + sx)];
                    for (int k = 0; k < 3; ++k) sum[k] += c[k] * c[3];
                    sum[3] += c[3];
                }
            if (sum[3] <= 0) continue;
            auto byte = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
            const float alpha = sum[3] / float(kSuper * kSuper);
            icon.Set(x, y,
                     byte(alpha) << 24 | byte(sum[0] / sum[3]) << 16 | byte(sum[1] / sum[3]) << 8 |
                         byte(sum[2] / sum[3]));
        }
    Output beside(game.parent_path());
    beside.WritePng("icons", "rondovar.png", icon);
}

} // namespace rdv::contentgen
