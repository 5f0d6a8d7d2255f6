// Pieces of the paper change and of opening that the workspace operations
// share: overlay objects following a new working size, text measuring, the
// lens question and the manual trimming round trip.
#pragma once

#include "output/WorkingSize.h"
#include "overlay/OverlayObject.h"

#include <string>

namespace plastora {

class Host;
class WorkspaceDialogs;

// The scales objects follow when the picture goes through `plan`, the same
// as every mask: destination width / source width across, destination
// height / source height down.
double objectScaleX(const TrimPlan& plan);
double objectScaleY(const TrimPlan& plan);
// One coordinate through the plan, as the masks' pixels go: the
// destination offset d plus the distance from the source offset s times k,
// rounded down.
int mapObjectCoordinate(int v, double k, int d, int s);
// Keeps a position of an object of `size` on an axis of `limit` pixels:
// below 0 becomes 0; at or beyond limit - size becomes limit - size - 1; an
// object too large for the picture starts at 0.
int clampObjectPosition(int v, int size, int limit);

// The size of a text object's text in its font: its point size (low 8 bits
// of the flags) as the character height, bold 700, italic widened by size / 4,
// vertical text measured character by character (widest by the sum of the
// heights).
Size measureTextObject(const OverlayObject& o);

// Moves and scales one object for a picture that went through `plan` onto
// a W x H image, following the picture's content: text gets its point size
// scaled by the vertical scale and is measured again, other objects get the
// box whose corners are the old corners mapped; the position is then kept on
// the picture.
void remapObject(OverlayObject& o, std::int32_t type, const TrimPlan& plan, int W, int H);

// "標準のレンチキューラレンズの解像度を%1lpiに変更しますか？" with the value.
std::string standardLpiQuestion(double lpi);

// The trimming dialog for `photo` on a W x H image: presets the initial
// frame, asks `dialogs` (none: the preset is taken), and returns the chosen
// rectangle (cut to the photo), the possibly turned W x H, the accumulated
// angle and, when it is not 0, the straightened copy in `rotated`. False on
// Cancel, on an empty rectangle or when memory fails (after its message).
bool runManualTrimming(WorkspaceDialogs* dialogs, Host& host, const Surface& photo, int& W, int& H, double& angle,
                       Rect& source, Surface& rotated);

}  // namespace plastora
