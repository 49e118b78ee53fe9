// The test set: one small model per render mode and file kind, drawn by the
// image tests and by rondovar-snapshot. Every model lies in the plane x = 0,
// facing +x (the snapshot's default eye at (4, 0, 0) sees its front; +y is
// to the viewer's left, +z up), within y, z in [-1, 1].
#include <cstring>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

using V = TcmWriter::Vertex;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kGrey = 0x808080;

// A flat rectangle from (left y, top z) to (right y, bottom z), at depth x,
// facing +x, one colour, texture coordinates 0..1 over it.
void Rect(TcmWriter& w, float yl, float zt, float yr, float zb, uint32_t rgb, const std::string& kind = "T",
          const std::string& texture = "", int group = 0, float x = 0) {
    w.Quad(V{x, yl, zt, rgb, 0, 0}, V{x, yr, zt, rgb, 1, 0}, V{x, yr, zb, rgb, 1, 1}, V{x, yl, zb, rgb, 0, 1}, kind,
           texture, group);
}

std::string TextX() {
    return "xof 0302txt 0032\n"
           "Mesh Quad {\n"
           " 4;\n"
           " 0.0;1.0;1.0;,\n"
           " 0.0;-1.0;1.0;,\n"
           " 0.0;-1.0;-1.0;,\n"
           " 0.0;1.0;-1.0;;\n"
           " 2;\n"
           " 3;0,1,2;,\n"
           " 3;0,2,3;;\n"
           " MeshMaterialList {\n"
           "  2;\n"
           "  2;\n"
           "  0,\n"
           "  1;;\n"
           "  Material Red {\n"
           "   1.0;0.0;0.0;1.0;;\n"
           "   0.0;\n"
           "   0.0;0.0;0.0;;\n"
           "   0.0;0.0;0.0;;\n"
           "  }\n"
           "  Material Checker {\n"
           "   1.0;1.0;1.0;1.0;;\n"
           "   0.0;\n"
           "   0.0;0.0;0.0;;\n"
           "   0.0;0.0;0.0;;\n"
           "   TextureFilename {\n"
           "    \"test_checker\";\n"
           "   }\n"
           "  }\n"
           " }\n"
           " MeshTextureCoords {\n"
           "  4;\n"
           "  0.0;0.0;,\n"
           "  1.0;0.0;,\n"
           "  1.0;1.0;,\n"
           "  0.0;1.0;;\n"
           " }\n"
           "}\n";
}

// The same mesh in the binary token form of the format.
class BinaryX {
public:
    BinaryX() { Raw("xof 0302bin 0032"); }
    void Name(const std::string& s) { Word(1); Dword(static_cast<uint32_t>(s.size())); Raw(s); }
    void String(const std::string& s) { Word(2); Dword(static_cast<uint32_t>(s.size())); Raw(s); Word(20); }
    void Ints(std::initializer_list<uint32_t> v) { Word(6); Dword(static_cast<uint32_t>(v.size())); for (auto i : v) Dword(i); }
    void Floats(std::initializer_list<float> v) {
        Word(7);
        Dword(static_cast<uint32_t>(v.size()));
        for (float f : v) { uint32_t d; std::memcpy(&d, &f, 4); Dword(d); }
    }
    void Open() { Word(10); }
    void Close() { Word(11); }
    std::vector<uint8_t> bytes;

private:
    void Raw(const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); }
    void Word(uint16_t w) { bytes.push_back(w & 255); bytes.push_back(w >> 8); }
    void Dword(uint32_t d) { for (int i = 0; i < 4; ++i) bytes.push_back((d >> (8 * i)) & 255); }
};

std::vector<uint8_t> BinX() {
    BinaryX x;
    x.Name("Mesh"); x.Name("Quad"); x.Open();
    x.Ints({4});
    x.Floats({0, 1, 1, 0, -1, 1, 0, -1, -1, 0, 1, -1});
    x.Ints({2, 3, 0, 1, 2, 3, 0, 2, 3});
    x.Name("MeshMaterialList"); x.Open();
    x.Ints({2, 2, 0, 1});
    x.Name("Material"); x.Name("Red"); x.Open();
    x.Floats({1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    x.Close();
    x.Name("Material"); x.Name("Checker"); x.Open();
    x.Floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    x.Name("TextureFilename"); x.Open(); x.String("test_checker"); x.Close();
    x.Close();
    x.Close();
    x.Name("MeshTextureCoords"); x.Open();
    x.Ints({4});
    x.Floats({0, 0, 1, 0, 1, 1, 0, 1});
    x.Close();
    x.Close();
    return x.bytes;
}

} // namespace

void GenTestModels(Output& out) {
    // Mode 1, version 1: vertex colours in the corners (red top left, green
    // top right, blue bottom right, white bottom left), lit by the light map.
    {
        TcmWriter w = TcmWriter::Classic(1);
        w.Quad(V{0, 1, 1, kRed}, V{0, -1, 1, kGreen}, V{0, -1, -1, kBlue}, V{0, 1, -1, kWhite});
        out.WriteText("models", "test_simple.tcm", w.Text());
    }
    // Mode 1 lit: one white square facing the eye, lit by the default light.
    {
        TcmWriter w(1, "");
        Rect(w, 1, 1, -1, -1, kWhite);
        out.WriteText("models", "test_lit.tcm", w.Text());
    }
    // Mode 2: textured with the quadrant pattern; U and L make it show the
    // texture's own colours (emissive white, no lights).
    {
        TcmWriter w(2, "UL");
        Rect(w, 1, 1, -1, -1, kWhite, "T", "test_checker");
        out.WriteText("models", "test_textured.tcm", w.Text());
    }
    // Mode 3: group 0 red (left) and green (bottom middle), group 1 blue
    // (right); the groups interleave.
    {
        TcmWriter w(3, "PL");
        Rect(w, 1, 1, 0.2f, -0.2f, kRed, "T", "none", 0);
        Rect(w, -0.2f, 1, -1, -0.2f, kBlue, "T", "none", 1);
        Rect(w, 0.4f, -0.5f, -0.4f, -1, kGreen, "T", "none", 0);
        out.WriteText("models", "test_groups.tcm", w.Text());
    }
    // Alpha: a blue square, in front of it a grey square blended (A, left)
    // and one blended with reverse subtraction (AR, right). P and L show the
    // vertex colours exactly.
    {
        TcmWriter w(1, "PL");
        Rect(w, 1, 1, -1, -1, kBlue);
        Rect(w, 0.8f, 0.8f, 0.2f, 0.2f, kGrey, "TA", "", 0, 0.1f);
        Rect(w, -0.2f, 0.8f, -0.8f, 0.2f, kGrey, "TAR", "", 0, 0.1f);
        out.WriteText("models", "test_alpha.tcm", w.Text());
    }
    // Parts of the composite.
    {
        TcmWriter w(1, "PL");
        Rect(w, 0.8f, 0.3f, 0.2f, -0.3f, kRed);
        out.WriteText("models", "test_part_red.tcm", w.Text());
    }
    {
        TcmWriter w(1, "PL");
        Rect(w, -0.2f, 0.3f, -0.8f, -0.3f, kBlue);
        out.WriteText("models", "test_part_blue.tcm", w.Text());
    }
    {
        TcmWriter w(1, "PL");
        Rect(w, 0.3f, 1, -0.3f, 0.5f, kGreen);
        out.WriteText("models", "test_part_green.tcm", w.Text());
    }
    // Composite: red and blue in state 0 (blue bobs with the phase, kind 23),
    // green only in state 1.
    out.WriteText("models", "test_composite.tco",
                  "3\r\ntest_part_red\r\n0\r\n0\r\ntest_part_blue\r\n0\r\n23\r\ntest_part_green\r\n1\r\n0\r\n");
    // Brush: one textured square, moved up by its actor's Location.
    out.WriteText("models", "test_brush.t3d",
                  "Begin Map\r\n"
                  "Begin Actor Class=Brush Name=Brush0\r\n"
                  "   CsgOper=CSG_Add\r\n"
                  "   Begin Brush Name=Brush0\r\n"
                  "      Begin PolyList\r\n"
                  "         Begin Polygon Texture=test_checker Flags=0\r\n"
                  "            Origin   +00000.000000,+00001.000000,+00001.000000\r\n"
                  "            Normal   +00001.000000,+00000.000000,+00000.000000\r\n"
                  "            TextureU +00000.000000,-00032.000000,+00000.000000\r\n"
                  "            TextureV +00000.000000,+00000.000000,-00032.000000\r\n"
                  "            Pan      U=0 V=0\r\n"
                  "            Vertex   +00000.000000,+00001.000000,+00001.000000\r\n"
                  "            Vertex   +00000.000000,-00001.000000,+00001.000000\r\n"
                  "            Vertex   +00000.000000,-00001.000000,-00001.000000\r\n"
                  "            Vertex   +00000.000000,+00001.000000,-00001.000000\r\n"
                  "         End Polygon\r\n"
                  "      End PolyList\r\n"
                  "   End Brush\r\n"
                  "   Location=(X=0.000000,Y=0.000000,Z=0.500000)\r\n"
                  "End Actor\r\n"
                  "End Map\r\n");
    // ".x": upper-right triangle red, lower-left textured; text and binary.
    out.WriteText("models", "test_mesh.x", TextX());
    out.WriteBytes("models", "test_meshbin.x", BinX());
}

} // namespace rdv::contentgen
