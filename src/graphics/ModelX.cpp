#include "graphics/ModelX.h"

#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/Error.h"
#include "graphics/ModelXCheck.h"
#include "graphics/ModelXLibrary.h"

namespace rdv {

namespace {

uint32_t Byte(float v) {
    float c = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint32_t>(std::lround(c * 255.0f));
}

D3DCOLORVALUE Colour(const AssimpApi& ai, const aiMaterial* m, const char* key, unsigned type, unsigned index,
                     D3DCOLORVALUE fallback) {
    aiColor4D c;
    if (ai.getMaterialColor(m, key, type, index, &c) != AI_SUCCESS) return fallback;
    return {c.r, c.g, c.b, c.a};
}

} // namespace

void LoadXMesh(ModelData& model, const std::filesystem::path& path, ModelHost& host) {
    const std::vector<unsigned char> bytes = ImportableX(path);
    if (bytes.empty() || bytes.size() > UINT_MAX) RaiseError(ErrFileAccess, "LoadObject", "Error loading Mesh");
    std::string why;
    const AssimpApi* api = OpenAssimp(why);
    if (!api) {
        host.Log("WARNING: .x models are read by Assimp, which could not be loaded: " + why, 5);
        RaiseError(ErrFileAccess, "LoadObject", "Error loading Mesh");
    }
    const AssimpApi& ai = *api;
    // The importer's validation of what it built runs first of the steps.
    // The file's own left-handed coordinates, winding and texture origin are
    // kept, as the device expects them; frames are baked into the vertices.
    const aiScene* read = nullptr;
    try {
        read = ai.importFileFromMemory(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<unsigned>(bytes.size()),
                                       aiProcess_ValidateDataStructure | aiProcess_Triangulate |
                                           aiProcess_PreTransformVertices | aiProcess_ConvertToLeftHanded |
                                           aiProcess_SortByPType,
                                       "x");
    } catch (const std::exception&) {
        read = nullptr;
    }
    const std::unique_ptr<const aiScene, decltype(ai.releaseImport)> scene(read, ai.releaseImport);
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
        mat.Diffuse = Colour(ai, m, AI_MATKEY_COLOR_DIFFUSE, {1, 1, 1, 1});
        float opacity = 1.0f;
        if (ai.getMaterialFloatArray(m, AI_MATKEY_OPACITY, &opacity, nullptr) == AI_SUCCESS) mat.Diffuse.a = opacity;
        mat.Ambient = mat.Diffuse;
        mat.Specular = Colour(ai, m, AI_MATKEY_COLOR_SPECULAR, {0, 0, 0, 0});
        mat.Emissive = Colour(ai, m, AI_MATKEY_COLOR_EMISSIVE, {0, 0, 0, 0});
        float power = 0.0f;
        if (ai.getMaterialFloatArray(m, AI_MATKEY_SHININESS, &power, nullptr) == AI_SUCCESS) mat.Power = power;
        model.xMaterials.push_back(mat);

        aiString file;
        std::string texture = "none";
        // The importer files a texture under another kind by words in its
        // name ("bump", "spec", "env", ...); the mesh's material has one.
        for (aiTextureType kind : {aiTextureType_DIFFUSE, aiTextureType_AMBIENT, aiTextureType_SPECULAR,
                                   aiTextureType_EMISSIVE, aiTextureType_HEIGHT, aiTextureType_NORMALS}) {
            if (ai.getMaterialTexture(m, kind, 0, &file, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) ==
                    AI_SUCCESS &&
                file.length > 0) {
                texture = file.C_Str();
                break;
            }
        }

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
