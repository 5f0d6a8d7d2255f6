// The resolution at which each printed picture comes out at its lens-matched
// size, so that a saved file can carry it (JFIF density, PNG pHYs, BMP pixels
// per metre) and any other program prints it at that size too.
#pragma once

namespace plastora {

class CStereoWorkspace;

// The high-resolution picture (R x W by R x H) is printed at this many
// pixels per inch whatever R is.
constexpr double kHighResPrintDpi = 340.0;

// The lenticular composite's resolution: N x LPI x 2 / P dots per inch
// (N views, P pitch; a pitch below 1 counts as 1). 0 when there is no lens.
double CompositePrintDpi(int views, double lpi, int pitch);

// A picture of the working width W (edit image, anaglyph) printed at the
// composite's physical size: W dots over the composite's trunc(W x N / P)
// dots at CompositePrintDpi. 0 when either is nothing.
double WorkingImagePrintDpi(int workingWidth, int views, double lpi, int pitch);

// The same read from a workspace: its view count, lens and pitch.
double CompositePrintDpi(const CStereoWorkspace& ws);
double WorkingImagePrintDpi(const CStereoWorkspace& ws);

}  // namespace plastora
