#include "core/ErrorText.h"

#include <unordered_map>

namespace rdv {

namespace {

constexpr int32_t H(uint32_t v) { return static_cast<int32_t>(v); }
// Direct3D 8 and D3DX 8 results: facility 0x876.
constexpr int32_t D3D(uint32_t code) { return H(0x88760000u + code); }
// DirectSound results: facility 0x878.
constexpr int32_t DS(uint32_t code) { return H(0x88780000u + code); }
// DirectInput results built on Win32 error numbers.
constexpr int32_t WIN32(uint32_t code) { return H(0x80070000u + code); }

const std::unordered_map<int32_t, const char*>& Table() {
    static const std::unordered_map<int32_t, const char*> table = {
        // The program's own numbers.
        {1001, "No 3D Device or rasterizer was installed"},
        {1002, "A package/file access error occured"},
        {1003, "Invalid Colour Depth"},
        {1004, "Unexpected File Type"},
        {1005, "File Format Violation"},
        {1006, ""},
        {1007, ""},
        {1008, "Invalid Command Line"},
        {1009, "Requested DLL is missing, corrupt, or not properly installed"},
        {1010, ""},
        // The runtime's numbers for the COM results E_INVALIDARG,
        // E_OUTOFMEMORY, E_NOINTERFACE and E_NOTIMPL.
        {5, "An invalid parameter was passed to the returning function."},
        {7, "Direct3D could not allocate sufficient memory to complete the call."},
        {430, "No object interface is available."},
        {445, "Not implemented."},

        // General COM results.
        {H(0x80004005u), "An undetermined error occurred inside the Direct3D subsystem."},  // E_FAIL
        {H(0x80070057u), "An invalid parameter was passed to the returning function."},     // E_INVALIDARG
        {H(0x8007000Eu), "Direct3D could not allocate sufficient memory to complete the call."},  // E_OUTOFMEMORY
        {H(0x80004002u), "No object interface is available."},                               // E_NOINTERFACE
        {H(0x80004001u), "Not implemented."},                                                // E_NOTIMPL
        {H(0x80004003u), "An invalid pointer, usually NULL, was passed as a parameter."},  // E_POINTER
        {H(0x8000FFFFu), "Catastrophic failure."},                                           // E_UNEXPECTED
        {H(0x80004004u), "Operation aborted."},                                              // E_ABORT
        {H(0x80070006u), "Invalid handle."},                                                 // E_HANDLE
        {H(0x8000000Au), "Data is not yet available."},                                      // E_PENDING
        {H(0x80070005u),
         "Access was denied: another application has a higher priority level, the object is read-only or the "
         "handle is already in use."},  // E_ACCESSDENIED = DIERR_OTHERAPPHASPRIO / READONLY / HANDLEEXISTS
        {H(0x80040110u), "This object does not support aggregation."},  // CLASS_E_NOAGGREGATION
        {H(0x80040154u),
         "The device or device instance or effect is not registered with DirectInput."},  // REGDB_E_CLASSNOTREG
        {H(0x800401F0u), "CoInitialize has not been called."},                              // CO_E_NOTINITIALIZED

        // Direct3D 8.
        {D3D(2072), "The pixel format of the texture surface is not valid."},
        {D3D(2073), "The device does not support a specified texture-blending operation for color values."},
        {D3D(2074), "The device does not support a specified texture-blending argument for color values."},
        {D3D(2075), "The device does not support a specified texture-blending operation for the alpha channel."},
        {D3D(2076), "The device does not support a specified texture-blending argument for the alpha channel."},
        {D3D(2077), "The application is requesting more texture-filtering operations than the device supports."},
        {D3D(2078), "The current texture filters cannot be used together."},
        {D3D(2079), "The device does not support the specified texture factor value."},
        {D3D(2081), "The currently set render states cannot be used together."},
        {D3D(2082), "The device does not support the specified texture filter."},
        {D3D(2086), "The current textures cannot be used simultaneously. This generally occurs when a multitexture "
                    "device requires that all palletized textures simultaneously enabled also share the same "
                    "palette."},
        {D3D(2087), "Internal driver error."},
        {D3D(2150), "The requested item was not found."},
        {D3D(2151), "There is more data available than the specified buffer size can hold."},
        {D3D(2152), "The device is lost and cannot be restored at the current time, so rendering is not possible."},
        {D3D(2153), "The device cannot be reset."},
        {D3D(2154), "This device does not support the queried technique."},
        {D3D(2155), "The requested device type is not valid."},
        {D3D(2156), "The method call is invalid. For example, a method's parameter may have an invalid value."},
        {D3D(2157), "Not used."},
        {D3D(380), "Direct3D does not have enough display memory to perform the operation."},

        // D3DX 8.
        {D3D(2900), "The index buffer cannot be modified."},
        {D3D(2901), "The mesh is invalid."},
        {D3D(2902), "Attribute sort (D3DXMESHOPT_ATTRSORT) is not supported as an optimization technique."},
        {D3D(2903), "Skinning is not supported."},
        {D3D(2904), "Too many influences specified."},
        {D3D(2905), "The data is invalid."},
        {D3D(2906), "The mesh has no data."},

        // DirectInput 8.
        {WIN32(0x047E), "The application requires a newer version of DirectInput."},
        {WIN32(0x0481), "The application was written for an unsupported prerelease version of DirectInput."},
        {WIN32(0x0077), "The object could not be created due to an incompatible driver version or mismatched or "
                        "incomplete driver components."},
        {WIN32(0x0002), "The requested object does not exist."},
        {WIN32(0x0015), "This object has not been initialized."},
        {WIN32(0x04DF), "This object is already initialized."},
        {WIN32(0x001E), "Access to the input device has been lost. It must be reacquired."},
        {WIN32(0x00AA), "The operation cannot be performed while the device is acquired."},
        {WIN32(0x000C), "The operation cannot be performed unless the device is acquired."},
        {H(0x80040200u), "Unable to perform the operation because the application has insufficient privileges."},
        {H(0x80040201u), "The device is full."},
        {H(0x80040202u), "Not all the requested information fit into the buffer."},
        {H(0x80040203u), "The effect is not downloaded."},
        {H(0x80040204u), "The device cannot be reinitialized because there are still effects attached to it."},
        {H(0x80040205u), "The operation cannot be performed unless the device is acquired in DISCL_EXCLUSIVE "
                         "mode."},
        {H(0x80040206u), "The effect could not be downloaded because essential information is missing. For "
                         "example, no axes have been associated with the effect, or no type-specific information "
                         "has been supplied."},
        {H(0x80040207u), "The device is not buffered. Set the DIPROP_BUFFERSIZE property to enable buffering."},
        {H(0x80040208u), "The parameters were updated in memory but were not downloaded to the device because "
                         "the device does not support updating an effect while it is still playing."},
        {H(0x80040209u), "The operation could not be completed because the device is not plugged in."},
        {H(0x8004020Au), "More information was requested to be sent than can be sent to the device."},
        {H(0x8004020Bu), "An error has occurred either reading the vendor-supplied action-mapping file for the "
                         "device or reading or writing the user configuration files."},

        // DirectSound 8.
        {DS(10), "The request failed because resources, such as a priority level, were already in use by another "
                 "caller."},
        {DS(30), "The buffer control (volume, pan, and so on) requested by the caller is not available."},
        {DS(50), "This function is not valid for the current state of this object."},
        {DS(70), "The caller does not have the priority level required for the function to succeed."},
        {DS(100), "The specified wave format is not supported."},
        {DS(120), "No sound driver is available for use."},
        {DS(130), "The object is already initialized."},
        {DS(150), "The buffer memory has been lost and must be restored."},
        {DS(160), "Another application has a higher priority level, preventing this call from succeeding."},
        {DS(170), "The IDirectSound8::Initialize method has not been called or has not been called successfully "
                  "before other methods were called."},
        {DS(180), "The buffer size is not great enough to enable effects processing."},
        {DS(190), "A DirectSound object of class CLSID_DirectSound8 or later is required for the requested "
                  "functionality."},
        {DS(200), "A circular loop of send effects was detected."},
        {DS(210), "The GUID specified in an audiopath file does not match a valid mix-in buffer."},
        {DS(220), "The effects requested could not be found on the system, or they are in the wrong order or in "
                  "the wrong location; for example, an effect expected in hardware was found in software."},
        {DS(4449), "The requested object was not found."},
    };
    return table;
}

}  // namespace

std::string ErrorText(int32_t code) {
    const auto& table = Table();
    auto it = table.find(code);
    return it == table.end() ? std::string("Unknown error") : std::string(it->second);
}

} // namespace rdv
