#pragma once
// The OpenGL Direct3D 8 device: public helpers beyond the Direct3D interface.
// CreateGLDirect3D8 (Factory.h) makes the adapter.
//
// Device kinds: D3DDEVTYPE_HAL renders with the default GL driver;
// D3DDEVTYPE_REF, D3DDEVTYPE_SW and D3DCREATE_SOFTWARE_VERTEXPROCESSING ask
// for Mesa's software rasterizer by setting LIBGL_ALWAYS_SOFTWARE=1 before the
// context is made. Mesa reads it when it first opens the display, so in a
// process that already holds a hardware context the request cannot take
// effect and rendering stays on the driver in use.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

// The back buffer as 8-bit RGBA, rows top first (Direct3D's row order).
// False when the device is not an OpenGL device.
bool ReadBackBuffer(IDirect3DDevice8& device, std::vector<uint8_t>& rgba, UINT& width, UINT& height);

// Draw with the one fixed-function program that reads every setting from
// uniforms (on) or with programs compiled for the settings in use (off, the
// default). Both draw the same picture; tests compare them. False when the
// device is not an OpenGL device.
bool UseGenericFixedFunction(IDirect3DDevice8& device, bool on);

// Releases the shader compiler's memory now, as Present does by itself once
// no program has been built for a while; programs built later bring the
// compiler back. False when the device is not an OpenGL device.
bool ReleaseShaderCompiler(IDirect3DDevice8& device);
// How often the device has released its compiler (-1: not an OpenGL device).
int ShaderCompilerReleases(IDirect3DDevice8& device);
// How many of the device's pixel shaders hold a linked program: those set
// at least once (-1: not an OpenGL device).
int LinkedPixelShaders(IDirect3DDevice8& device);
// True when the buffer (of an OpenGL device) holds no CPU copy of its data:
// written once, it lives in GL alone.
bool HeldInGLOnly(IDirect3DVertexBuffer8& buffer);
bool HeldInGLOnly(IDirect3DIndexBuffer8& buffer);

// True when the device draws straight into its window's buffers (they match
// the back buffer), false when it draws apart and copies on Present, or is
// not an OpenGL device.
bool DrawsIntoWindow(IDirect3DDevice8& device);

// Writes the back buffer to a PNG file (through a temporary file and a
// rename, so a failed write never leaves a half-written image behind).
bool CaptureBackBuffer(IDirect3DDevice8& device, const std::string& pngPath);

// Writes 8-bit RGBA pixels (rows top first) to a PNG file the same way.
bool WritePng(const std::string& pngPath, const std::vector<uint8_t>& rgba, UINT width, UINT height);

} // namespace rdv
