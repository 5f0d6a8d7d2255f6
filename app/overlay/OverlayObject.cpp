#include "overlay/OverlayObject.h"

namespace plastora {

void OverlayObject::copyRecord(const OverlayObject& o, bool withOutlines) {
    depth = o.depth;
    shadow = o.shadow;
    x = o.x;
    y = o.y;
    width = o.width;
    height = o.height;
    naturalWidth = o.naturalWidth;
    naturalHeight = o.naturalHeight;
    colour = o.colour;
    flags = o.flags;
    count = o.count;
    lineWidth = o.lineWidth;
    lineColour = o.lineColour;
    cornerSize = o.cornerSize;
    text = o.text;
    face = o.face;
    if (withOutlines) outlines = o.outlines;
}

OverlayObject& OverlayObject::operator=(const OverlayObject& o) {
    if (this != &o) {
        copyRecord(o);
        // A failed copy of the picture leaves it empty; callers that need the
        // picture check for that.
        if (!picture.createCopy(o.picture)) picture.reset();
    }
    return *this;
}

}  // namespace plastora
