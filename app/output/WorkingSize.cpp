// Bringing an opened photo to the working size.
#include "core/StereoWorkspace.h"

namespace plastora {

bool CStereoWorkspace::takeOpenedPhoto(Surface&& photo, const std::string& /*path*/) {
    // The photo becomes the working image at its own size.
    m_width = photo.width();
    m_height = photo.height();
    m_source = std::move(photo);
    return true;
}

}  // namespace plastora
