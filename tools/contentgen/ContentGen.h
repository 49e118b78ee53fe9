#pragma once
// Helpers for the content generators (see ContentGen.cpp for how to add one).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rdv::contentgen {

// An RGBA8 image, row 0 at the top.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    Image(int w, int h, uint32_t argb = 0xFFFFFFFFu);
    void Set(int x, int y, uint32_t argb);
    // Fills the rectangle [x0, x1) x [y0, y1).
    void Fill(int x0, int y0, int x1, int y1, uint32_t argb);
};

// Where generated files go: the program folder (build/game). Every write
// goes to a temporary file first and replaces the target only when complete
// and different, so an interrupted build never leaves a half file and an
// unchanged file keeps its time stamp.
class Output {
public:
    explicit Output(std::filesystem::path gameDir) : gameDir_(std::move(gameDir)) {}

    // folder is one of the data folders ("textures", "models" ...).
    void WriteText(const std::string& folder, const std::string& fileName, const std::string& text);
    void WriteBytes(const std::string& folder, const std::string& fileName, const std::vector<uint8_t>& bytes);
    void WritePng(const std::string& folder, const std::string& fileName, const Image& image);

    const std::filesystem::path& gameDir() const { return gameDir_; }
    int written() const { return written_; }

private:
    std::filesystem::path gameDir_;
    int written_ = 0;
};

// Builds the text of a "tcm" model line by line.
class TcmWriter {
public:
    // Version 4 header: flags (letters P T L U S M), the extra lines the
    // flags ask for (shader name, "colour:power"), then the render mode.
    TcmWriter(int renderMode, const std::string& flags = "", const std::vector<std::string>& extraLines = {});
    // Version 1-3 file: the version line is the render mode.
    static TcmWriter Classic(int renderMode);

    struct Vertex {
        float x, y, z;
        uint32_t rgb;      // written as "RRR GGG BBB RGB"
        float u = 0, v = 0;
    };
    // kind: "T", "TA", "SC" ... ; texture and group only for modes 2 and 3.
    void Sequence(int start, int count, const std::string& kind, const std::string& texture = "", int group = 0);
    void Add(const Vertex& v);
    // Two triangles (a, b, c) (a, c, d) of a quad, clockwise as seen from
    // its front, as one "T" sequence with its own vertices.
    void Quad(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d, const std::string& kind = "T",
              const std::string& texture = "", int group = 0);
    std::string Text() const;
    int VertexCount() const { return static_cast<int>(vertices_.size()); }

private:
    TcmWriter() = default;
    int renderMode_ = 1;
    bool classic_ = false;
    std::string flags_;
    std::vector<std::string> extra_;
    std::vector<std::string> sequences_;
    int sequenceCount_ = 0;
    std::vector<Vertex> vertices_;
};

// A number as the model files write it ("1", "0.5", "-2.25").
std::string Num(double v);

} // namespace rdv::contentgen

// Declarations of every generator.
#define RDV_GENERATOR(fn) namespace rdv::contentgen { void fn(Output& out); }
#include "Generators.inc"
#undef RDV_GENERATOR
