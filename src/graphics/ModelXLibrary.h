#pragma once
// Assimp's C interface, opened with dlopen when the first ".x" model is
// read: the game does not map Assimp (and the libraries it pulls in) until
// a level asks for such a model.
#include <assimp/cimport.h>
#include <assimp/material.h>

#include <string>

namespace rdv {

struct AssimpApi {
    decltype(&::aiImportFileFromMemory) importFileFromMemory = nullptr;
    decltype(&::aiReleaseImport) releaseImport = nullptr;
    decltype(&::aiGetErrorString) getErrorString = nullptr;
    decltype(&::aiGetMaterialColor) getMaterialColor = nullptr;
    decltype(&::aiGetMaterialFloatArray) getMaterialFloatArray = nullptr;
    decltype(&::aiGetMaterialTexture) getMaterialTexture = nullptr;
};

// The interface, the library opened on the first call; nullptr when the
// library or one of its functions cannot be found, with the reason in
// `why`. A library that failed is tried again on the next call.
const AssimpApi* OpenAssimp(std::string& why);

// The file name dlopen is given: the one the build found (its SONAME)
// unless set otherwise. Setting it makes the next OpenAssimp open that
// name; a library opened before stays loaded.
std::string AssimpLibraryName();
void SetAssimpLibraryName(const std::string& name);

} // namespace rdv
