#include "graphics/ModelX.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/Error.h"

namespace rdv {

namespace {

uint32_t Byte(float v) {
    float c = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint32_t>(std::lround(c * 255.0f));
}

D3DCOLORVALUE Colour(const aiMaterial* m, const char* key, unsigned type, unsigned index, D3DCOLORVALUE fallback) {
    aiColor4D c;
    if (aiGetMaterialColor(m, key, type, index, &c) != AI_SUCCESS) return fallback;
    return {c.r, c.g, c.b, c.a};
}

// A texture file name as the texture table knows it: no folder, no extension.
std::string TextureStem(const std::string& file) {
    std::string s = file;
    auto slash = s.find_last_of("/\\");
    if (slash != std::string::npos) s = s.substr(slash + 1);
    auto dot = s.find_last_of('.');
    if (dot != std::string::npos && dot > 0) s = s.substr(0, dot);
    return s;
}

// A binary ".x" file's tokens walked before the importer sees them: every
// number list and text must fit in what is left of the file, and no whole
// number (counts and indexes among them) may exceed the file's size, since
// a count of N needs at least N bytes to follow. The importer sizes its
// arrays from these numbers, so a damaged one would otherwise make it
// allocate gigabytes and grind through them before it fails. Text and
// compressed files are left to the importer.
bool PlausibleBinaryX(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 16 || std::memcmp(b.data(), "xof ", 4) != 0 || std::memcmp(b.data() + 8, "bin ", 4) != 0)
        return true;
    const size_t floatSize = std::memcmp(b.data() + 12, "0064", 4) == 0 ? 8 : 4;
    const uint64_t size = b.size();
    size_t p = 16;
    auto dword = [&](uint64_t& v) {
        if (p + 4 > b.size()) return false;
        v = uint64_t(b[p]) | uint64_t(b[p + 1]) << 8 | uint64_t(b[p + 2]) << 16 | uint64_t(b[p + 3]) << 24;
        p += 4;
        return true;
    };
    while (p + 2 <= b.size()) {
        const unsigned token = b[p] | unsigned(b[p + 1]) << 8;
        p += 2;
        uint64_t n = 0;
        switch (token) {
        case 1:   // name
        case 2:   // string (its terminator follows as a token of its own)
            if (!dword(n) || n > b.size() - p) return false;
            p += size_t(n);
            break;
        case 3:   // integer
            if (!dword(n) || n > size) return false;
            break;
        case 5:   // GUID
            if (b.size() - p < 16) return false;
            p += 16;
            break;
        case 6:   // integer list
            if (!dword(n) || n > (b.size() - p) / 4) return false;
            for (uint64_t i = 0; i < n; ++i) {
                uint64_t v = 0;
                dword(v);
                if (v > size) return false;
            }
            break;
        case 7:   // float list
            if (!dword(n) || n > (b.size() - p) / floatSize) return false;
            p += size_t(n * floatSize);
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace

void LoadXMesh(ModelData& model, const std::filesystem::path& path, ModelHost& host) {
    if (!PlausibleBinaryX(path)) RaiseError(ErrFileAccess, "LoadObject", "Error loading Mesh");
    Assimp::Importer importer;
    // The file's own left-handed coordinates, winding and texture origin,
    // as the device expects them; frames are baked into the vertices.
    const aiScene* scene = importer.ReadFile(
        path.string(), aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_ConvertToLeftHanded |
                           aiProcess_SortByPType);
    if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
        RaiseError(ErrFileAccess, "LoadObject", "Error loading Mesh");

    model.vertices.clear();
    model.sequences.clear();
    model.xMaterials.clear();
    model.renderMode = kModeX;
    model.textureIndex = 0;
    model.lightMapped = true;
    // The mesh's colours are its materials'; its vertices carry none.
    model.ambientDiffuseSource = D3DMCS_MATERIAL;
    model.emissiveSource = D3DMCS_MATERIAL;
    model.material = MeshMaterial{};
    model.material.Diffuse = {1, 1, 1, 1};
    model.material.Ambient = {1, 1, 1, 1};

    bool missingNormals = false;
    for (unsigned mi = 0; mi < scene->mNumMaterials; ++mi) {
        const aiMaterial* m = scene->mMaterials[mi];
        MeshMaterial mat{};
        mat.Diffuse = Colour(m, AI_MATKEY_COLOR_DIFFUSE, {1, 1, 1, 1});
        float opacity = 1.0f;
        if (aiGetMaterialFloat(m, AI_MATKEY_OPACITY, &opacity) == AI_SUCCESS) mat.Diffuse.a = opacity;
        mat.Ambient = mat.Diffuse;
        mat.Specular = Colour(m, AI_MATKEY_COLOR_SPECULAR, {0, 0, 0, 0});
        mat.Emissive = Colour(m, AI_MATKEY_COLOR_EMISSIVE, {0, 0, 0, 0});
        float power = 0.0f;
        if (aiGetMaterialFloat(m, AI_MATKEY_SHININESS, &power) == AI_SUCCESS) mat.Power = power;
        model.xMaterials.push_back(mat);

        aiString file;
        std::string texture = "none";
        if (m->GetTexture(aiTextureType_DIFFUSE, 0, &file) == AI_SUCCESS && file.length > 0)
            texture = TextureStem(file.C_Str());
        if (texture.empty()) texture = "none";

        MeshSequence subset;
        subset.primitiveType = kTriangleList;
        subset.material = static_cast<int32_t>(mi);
        subset.texture = host.LoadTexture(texture);
        subset.start = static_cast<int32_t>(model.vertices.size());
        for (unsigned k = 0; k < scene->mNumMeshes; ++k) {
            const aiMesh* mesh = scene->mMeshes[k];
            if (mesh->mMaterialIndex != mi) continue;
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const aiFace& face = mesh->mFaces[f];
                if (face.mNumIndices != 3) continue;
                for (unsigned c = 0; c < 3; ++c) {
                    unsigned i = face.mIndices[c];
                    MeshVertex v;
                    v.x = mesh->mVertices[i].x;
                    v.y = mesh->mVertices[i].y;
                    v.z = mesh->mVertices[i].z;
                    missingNormals = missingNormals || !mesh->mNormals;
                    if (mesh->mNormals) {
                        v.nx = mesh->mNormals[i].x;
                        v.ny = mesh->mNormals[i].y;
                        v.nz = mesh->mNormals[i].z;
                    }
                    v.color = 0xFFFFFFFFu;
                    if (mesh->mColors[0]) {
                        const aiColor4D& col = mesh->mColors[0][i];
                        v.color = (Byte(col.a) << 24) | (Byte(col.r) << 16) | (Byte(col.g) << 8) | Byte(col.b);
                    }
                    if (mesh->mTextureCoords[0]) {
                        v.u = mesh->mTextureCoords[0][i].x;
                        v.v = mesh->mTextureCoords[0][i].y;
                    }
                    model.vertices.push_back(v);
                }
            }
        }
        subset.count = (static_cast<int32_t>(model.vertices.size()) - subset.start) / 3;
        model.sequences.push_back(subset);
    }
    // Meshes without normals get face normals, worked out on the file's own
    // winding (front faces clockwise, as the device culls).
    if (missingNormals) CalcNormals(model);
}

} // namespace rdv
