#pragma once
// ".x" meshes through Assimp: text, binary and compressed files.
#include <filesystem>

#include "graphics/ModelData.h"

namespace rdv {

// Reads the mesh into one triangle-list sequence per material (a subset),
// with the material colours (ambient = diffuse) and textures loaded through
// the host under their names as the file writes them ("none" when a
// material names no texture). Raises 1002
// "LoadObject" "Error loading Mesh" when the file cannot be read.
void LoadXMesh(ModelData& model, const std::filesystem::path& path, ModelHost& host);

} // namespace rdv
