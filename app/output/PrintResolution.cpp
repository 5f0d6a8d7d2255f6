#include "output/PrintResolution.h"

#include "core/StereoWorkspace.h"

#include <algorithm>

namespace plastora {

double CompositePrintDpi(int views, double lpi, int pitch) {
    const double s = static_cast<double>(views) * lpi * 2.0 / std::max(1, pitch);
    return s > 0.0 ? s : 0.0;
}

double WorkingImagePrintDpi(int workingWidth, int views, double lpi, int pitch) {
    const double s = CompositePrintDpi(views, lpi, pitch);
    // The composite's width in dots, in the integer arithmetic of printing.
    const long long cw = static_cast<long long>(workingWidth) * views / std::max(1, pitch);
    if (!(s > 0.0) || cw <= 0 || workingWidth <= 0) return 0.0;
    return static_cast<double>(workingWidth) * s / static_cast<double>(cw);
}

double CompositePrintDpi(const CStereoWorkspace& ws) {
    return CompositePrintDpi(ws.viewCount(), ws.lpi(), ws.settings().pitch);
}

double WorkingImagePrintDpi(const CStereoWorkspace& ws) {
    return WorkingImagePrintDpi(ws.width(), ws.viewCount(), ws.lpi(), ws.settings().pitch);
}

}  // namespace plastora
