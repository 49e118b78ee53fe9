#include <gtest/gtest.h>

#include "core/ErrorText.h"
#include "core/SystemReport.h"

namespace rdv {
namespace {

TEST(ErrorText, ProgramNumbers) {
    EXPECT_EQ(ErrorText(1001), "No 3D Device or rasterizer was installed");
    EXPECT_EQ(ErrorText(1002), "A package/file access error occured");
    EXPECT_EQ(ErrorText(1005), "File Format Violation");
    EXPECT_EQ(ErrorText(1008), "Invalid Command Line");
    EXPECT_EQ(ErrorText(1009), "Requested DLL is missing, corrupt, or not properly installed");
    EXPECT_EQ(ErrorText(1006), "");
    EXPECT_EQ(ErrorText(1007), "");
    EXPECT_EQ(ErrorText(1010), "");
    EXPECT_EQ(ErrorText(1011), "Unknown error");
    EXPECT_EQ(ErrorText(0), "Unknown error");
    EXPECT_EQ(ErrorText(424242), "Unknown error");
}

TEST(ErrorText, PlatformNumbersShareTheirComTexts) {
    EXPECT_EQ(ErrorText(5), ErrorText(static_cast<int32_t>(0x80070057u)));   // E_INVALIDARG
    EXPECT_EQ(ErrorText(7), ErrorText(static_cast<int32_t>(0x8007000Eu)));   // E_OUTOFMEMORY
    EXPECT_EQ(ErrorText(430), ErrorText(static_cast<int32_t>(0x80004002u))); // E_NOINTERFACE
    EXPECT_EQ(ErrorText(445), ErrorText(static_cast<int32_t>(0x80004001u))); // E_NOTIMPL
    EXPECT_NE(ErrorText(5), "Unknown error");
}

TEST(ErrorText, DirectXResults) {
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x88760868u)),  // D3DERR_DEVICELOST
              "The device is lost and cannot be restored at the current time, so rendering is not possible.");
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x8876017Cu)),  // D3DERR_OUTOFVIDEOMEMORY
              "Direct3D does not have enough display memory to perform the operation.");
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x88760B55u)), "The mesh is invalid.");  // D3DXERR_INVALIDMESH
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x88780078u)), "No sound driver is available for use.");  // DSERR_NODRIVER
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x88780096u)),  // DSERR_BUFFERLOST
              "The buffer memory has been lost and must be restored.");
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x8007001Eu)),  // DIERR_INPUTLOST
              "Access to the input device has been lost. It must be reacquired.");
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0x8007000Cu)),  // DIERR_NOTACQUIRED
              "The operation cannot be performed unless the device is acquired.");
}

OSVersionInfo Windows(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build, std::string sp) {
    OSVersionInfo v;
    v.platformId = platform;
    v.majorVersion = major;
    v.minorVersion = minor;
    v.buildNumber = build;
    v.csdVersion = std::move(sp);
    return v;
}

TEST(GetOSName, WindowsTable) {
    EXPECT_EQ(GetOSName(Windows(1, 4, 0, 950, "")), "Windows 95 v1.4.0.950 ()");
    EXPECT_EQ(GetOSName(Windows(1, 4, 10, 2222, " A ")), "Windows 98 v1.4.10.2222 ( A )");
    EXPECT_EQ(GetOSName(Windows(1, 4, 90, 3000, "")), "Windows ME v1.4.90.3000 ()");
    EXPECT_EQ(GetOSName(Windows(1, 4, 3, 1, "")), " v1.4.3.1 ()");
    EXPECT_EQ(GetOSName(Windows(2, 3, 51, 1057, "")), "Windows NT 3.51 v2.3.51.1057 ()");
    EXPECT_EQ(GetOSName(Windows(2, 4, 0, 1381, "Service Pack 6")), "Windows NT 4.0 v2.4.0.1381 (Service Pack 6)");
    EXPECT_EQ(GetOSName(Windows(2, 5, 0, 2195, "")), "Windows 2000 v2.5.0.2195 ()");
    EXPECT_EQ(GetOSName(Windows(2, 5, 1, 2600, "Service Pack 2")), "Windows XP v2.5.1.2600 (Service Pack 2)");
    EXPECT_EQ(GetOSName(Windows(2, 5, 2, 3790, "")), "Windows XP v2.5.2.3790 ()");
    // Newer NT versions have no name: the text begins with " v".
    EXPECT_EQ(GetOSName(Windows(2, 6, 1, 7601, "")), " v2.6.1.7601 ()");
    EXPECT_EQ(GetOSName(Windows(0, 3, 11, 0, "")), "Unknown v0.3.11.0 ()");
    // The service-pack text ends at its first NUL.
    EXPECT_EQ(GetOSName(Windows(2, 5, 1, 2600, std::string("SP1\0garbage", 11))), "Windows XP v2.5.1.2600 (SP1)");
}

TEST(GetOSName, OtherSystemsCarryTheirName) {
    OSVersionInfo v;
    v.systemName = "Linux";
    v.release = "6.1.0-18-amd64";
    v.csdVersion = "#1 SMP Debian";
    EXPECT_EQ(GetOSName(v), "Linux 6.1.0-18-amd64 (#1 SMP Debian)");
}

}  // namespace
}  // namespace rdv
