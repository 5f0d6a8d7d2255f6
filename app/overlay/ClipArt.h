// Clip art: a picture loaded from a metafile or a raster file, fitted into
// the working image, and the outline table of its opaque area.
#pragma once

#include "overlay/OverlayObject.h"

#include <string>
#include <vector>

namespace plastora {

class Host;

// The background a metafile is rendered on (0x00BBGGRR): it becomes the
// transparent colour of the clip art.
constexpr ColorRef kClipArtBackground = 0x808000u;

// Reads a clip-art file (".wmf" through the metafile renderer, anything else
// through the raster reader) into `picture`, shrunk to fit w x h keeping its
// proportions. False when the file cannot be read.
bool loadClipArt(Host& host, const std::string& path, int w, int h, Surface& picture);

// The size that fits (pw, ph) into (w, h): the width first, then the
// height, keeping the proportions; never below 1.
Size fitClipArt(int pw, int ph, int w, int h);

// The transparent-key outline table: the colour of pixel (0, 0) is
// transparent; every inner pixel of that colour becomes black in the picture;
// the opaque area (the border row and column count as transparent) is
// cleaned of single specks and pinholes and its boundaries are traced, each
// one an outer boundary or a hole.
std::vector<OutlinePolygon> traceClipArt(Surface& picture);

}  // namespace plastora
