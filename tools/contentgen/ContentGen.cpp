// rondovar-contentgen GAME_DIR: makes the content the game ships that is
// produced rather than written by hand (textures, models with many vertices,
// light maps ...) into GAME_DIR/textures, GAME_DIR/models and the other data
// folders. The build runs it after every change; its output depends on
// nothing but this code, so every build makes the same bytes.
//
// Adding a generator:
//   1. write tools/contentgen/GenSomething.cpp defining
//        namespace rdv::contentgen { void GenSomething(Output& out) { ... } }
//      and use out.WritePng / out.WriteText / out.WriteBytes (TcmWriter
//      builds "tcm" model text; Image is an RGBA picture);
//   2. add the line RDV_GENERATOR(GenSomething) to Generators.inc.
// Generators run in the order of Generators.inc. Randomness, if any, must
// come from a generator's own fixed-seed std::mt19937, never from the clock.
#include "ContentGen.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace rdv::contentgen {

namespace fs = std::filesystem;

Image::Image(int w, int h, uint32_t argb) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4) {
    Fill(0, 0, w, h, argb);
}

void Image::Set(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    p[0] = static_cast<uint8_t>(argb >> 16);
    p[1] = static_cast<uint8_t>(argb >> 8);
    p[2] = static_cast<uint8_t>(argb);
    p[3] = static_cast<uint8_t>(argb >> 24);
}

void Image::Fill(int x0, int y0, int x1, int y1, uint32_t argb) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Set(x, y, argb);
}

void Output::WriteBytes(const std::string& folder, const std::string& fileName, const std::vector<uint8_t>& bytes) {
    fs::path dir = gameDir_ / folder;
    fs::create_directories(dir);
    fs::path target = dir / fileName;
    {
        std::ifstream old(target, std::ios::binary);
        if (old) {
            std::vector<uint8_t> have((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
            if (have == bytes) return;
        }
    }
    fs::path temp = target;
    temp += ".tmp";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        f.close();
        if (!f) throw std::runtime_error("cannot write " + temp.string());
    }
    fs::rename(temp, target);
    ++written_;
}

void Output::WriteText(const std::string& folder, const std::string& fileName, const std::string& text) {
    WriteBytes(folder, fileName, std::vector<uint8_t>(text.begin(), text.end()));
}

void Output::WritePng(const std::string& folder, const std::string& fileName, const Image& image) {
    std::vector<uint8_t> png;
    auto sink = [](void* ctx, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(ctx);
        auto* b = static_cast<uint8_t*>(data);
        out->insert(out->end(), b, b + size);
    };
    if (!stbi_write_png_to_func(sink, &png, image.width, image.height, 4, image.rgba.data(), image.width * 4))
        throw std::runtime_error("cannot encode " + fileName);
    WriteBytes(folder, fileName, png);
}

std::string Num(double v) {
    if (std::fabs(v) < 1e-9) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

TcmWriter::TcmWriter(int renderMode, const std::string& flags, const std::vector<std::string>& extraLines)
    : renderMode_(renderMode), flags_(flags), extra_(extraLines) {}

TcmWriter TcmWriter::Classic(int renderMode) {
    TcmWriter w;
    w.renderMode_ = renderMode;
    w.classic_ = true;
    return w;
}

void TcmWriter::Sequence(int start, int count, const std::string& kind, const std::string& texture, int group) {
    std::ostringstream s;
    s << start << "\r\n" << count << "\r\n" << kind << "\r\n";
    if (renderMode_ == 2) s << texture << "\r\n";
    if (renderMode_ == 3) s << texture << "\r\n" << group << "\r\n";
    sequences_.push_back(s.str());
    ++sequenceCount_;
}

void TcmWriter::Add(const Vertex& v) { vertices_.push_back(v); }

void TcmWriter::Quad(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d, const std::string& kind,
                     const std::string& texture, int group) {
    int start = static_cast<int>(vertices_.size());
    for (const Vertex* v : {&a, &b, &c, &a, &c, &d}) Add(*v);
    Sequence(start, 2, kind, texture, group);
}

std::string TcmWriter::Text() const {
    std::ostringstream s;
    if (classic_) {
        s << renderMode_ << "\r\n";
    } else {
        s << "4\r\n" << (flags_.empty() ? "-" : flags_) << "\r\n";
        for (const auto& e : extra_) s << e << "\r\n";
        s << renderMode_ << "\r\n";
    }
    s << sequenceCount_ << "\r\n" << vertices_.size() << "\r\n";
    for (const auto& q : sequences_) s << q;
    for (const auto& v : vertices_) {
        char colour[32];
        std::snprintf(colour, sizeof colour, "%03u %03u %03u RGB", (v.rgb >> 16) & 255u, (v.rgb >> 8) & 255u,
                      v.rgb & 255u);
        s << Num(v.x) << "\r\n" << Num(v.y) << "\r\n" << Num(v.z) << "\r\n" << colour << "\r\n"
          << Num(v.u) << "\r\n" << Num(v.v) << "\r\n" << "-" << "\r\n";
    }
    return s.str();
}

} // namespace rdv::contentgen

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: rondovar-contentgen GAME_DIR\n";
        return 2;
    }
    rdv::contentgen::Output out{std::filesystem::path(argv[1])};
    try {
#define RDV_GENERATOR(fn) rdv::contentgen::fn(out);
#include "Generators.inc"
#undef RDV_GENERATOR
    } catch (const std::exception& e) {
        std::cerr << "rondovar-contentgen: " << e.what() << "\n";
        return 1;
    }
    std::cout << "rondovar-contentgen: " << out.written() << " file(s) updated\n";
    return 0;
}
