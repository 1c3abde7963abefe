#pragma once
// The machine-readable description of a written sample: one tab-separated row per surface.
//
// Lines starting with '#' are comments. The first other line names the columns:
//   surface      the surface id, 0x and eight upper-case hex digits
//   expect       decode | fail | absent (absent: only on the neighbouring landblock)
//   category     the category it is built for ("-" for surfaces that fail)
//   rule         the classifier rule it is built to reach, "-" when not singled out
//   kind         solid | textured
//   format       pixel format of the drawn texture, "solid", or "-" when there is none
//   width height size of the measured image (1 × 1 for solid colours), "-" when none
//   surface_type the surface's flag word, 0x and hex digits
//   compressed   yes | no: whether its texture (or solid record) is stored LRS-compressed
//   failure      why it must fail to decode, "-" for the others
//   texture      id of the texture that is drawn (the last of its list), "-" when none
//   palette      id of the palette that texture names, "-" when none
//   list         number of entries in its texture list, "-" for solid colours
//   description  what it shows

#include <filesystem>

#include "verify.hpp"
#include "world.hpp"

namespace sample {

inline constexpr const char* kManifestName = "sample-manifest.tsv";

std::string manifest_text(const SampleWorld& world);

}  // namespace sample
