#pragma once
// The text form of system_profiler's SPDisplaysDataType report ("video"), one
// entry per graphics adapter.

#include <istream>
#include <vector>

#include "inventory/KX_WMIStruct.h"

namespace macos {

// Reads lines of "key: value" (any other line is skipped):
//
//   Chipset Model: AMD Radeon Pro 450       starts an adapter (all values 0)
//   VRAM (Total): 2 GB                      "2 GB" 2097152 KB, "1536 MB" and "1536" 1572864 KB
//   Resolution: 2880 x 1800 Retina          width, height
//   Pixel Depth: 32-Bit Color (ARGB8888)    depth; records the adapter (once)
//   Framebuffer Depth: 24-Bit Color         depth (macOS 10.14 and later)
//   Depth: 32-bit Color                     depth (PowerPC era)
//
// An adapter that reaches the next "Chipset Model" line or the end of the
// report without a "Pixel Depth" line (newer reports, Apple Silicon) is
// recorded there.
std::vector<tagMONITORSTRUCT> readDisplayReport(std::istream& in);

} // namespace macos
