#pragma once
// The installer's art, compiled into the program as raw pixels: 8-bit R, G, B, A per pixel,
// no header, rows stored bottom row first (the first stored row is texture row t = 0).
#include <cstddef>

extern "C" {
extern const unsigned char t_interface_dat[];   // interface atlas: fonts, widget art, swatches
extern const unsigned char t_installer_dat[];   // installer background
extern const unsigned char t_ins_back_1_dat[];  // first alternative background
extern const unsigned char t_ins_back_2_dat[];  // second alternative background
}

constexpr int kInterfaceDx = 512, kInterfaceDy = 512;
constexpr int kInstallerDx = 1010, kInstallerDy = 764;
constexpr int kInsBackDx = 1024, kInsBackDy = 768;

constexpr std::size_t kInterfaceBytes = std::size_t(kInterfaceDx) * kInterfaceDy * 4;  // 1048576
constexpr std::size_t kInstallerBytes = std::size_t(kInstallerDx) * kInstallerDy * 4;  // 3086560
constexpr std::size_t kInsBack1Bytes = std::size_t(kInsBackDx) * kInsBackDy * 4;       // 3145728
constexpr std::size_t kInsBack2Bytes = std::size_t(kInsBackDx) * kInsBackDy * 4;       // 3145728

static_assert(kInterfaceBytes == 1048576 && kInstallerBytes == 3086560 && kInsBack1Bytes == 3145728);
