#include "autocut/cascade/FaceCascade.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Reads the classifier. OpenCV's file reader takes what follows a '?' in a
// name as options of its own (a program folder or a classifier chosen in a
// folder named "?" was not found), so the file is read here and parsed from
// memory; a classifier in the old format or compressed, which only reading
// by name understands, is then read by name.
bool loadCascade(cv::CascadeClassifier& cascade, const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    constexpr std::size_t kMaxCascadeBytes = std::size_t{64} << 20;
    char block[65536];
    while (in && text.size() < kMaxCascadeBytes) {
        in.read(block, sizeof block);
        text.append(block, static_cast<std::size_t>(in.gcount()));
    }
    if (!text.empty()) {
        try {
            cv::FileStorage fs(text, cv::FileStorage::READ | cv::FileStorage::MEMORY);
            if (fs.isOpened() && cascade.read(fs.getFirstTopLevelNode()) && !cascade.empty()) return true;
        } catch (const cv::Exception&) {
            // Not parsable from memory (a gzip-compressed .xml.gz): by name.
        }
    }
    return cascade.load(path) && !cascade.empty();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int plastoraDetectFaces(
    const char* cascadePath, const std::uint8_t* bgrx, int width, int height, std::size_t stride, double scaleFactor,
    int minNeighbors, int cannyPruning, int minSize, int* boxes, int maxBoxes) {
    cv::CascadeClassifier cascade;
    try {
        if (!loadCascade(cascade, cascadePath)) return -1;
    } catch (...) {
        // A damaged classifier file makes OpenCV's parser throw.
        return -1;
    }
    if (!bgrx || width < 1 || height < 1) return 0;
    std::vector<cv::Rect> found;
    try {
        // The picture needs no copy: a 4-channel image, made grey in one step.
        const cv::Mat bgra(height, width, CV_8UC4, const_cast<std::uint8_t*>(bgrx), stride);
        cv::Mat grey;
        cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
        cv::equalizeHist(grey, grey);
        const int flags = cannyPruning ? cv::CASCADE_DO_CANNY_PRUNING : 0;
        const int side = std::max(0, minSize);
        cascade.detectMultiScale(grey, found, scaleFactor, minNeighbors, flags, cv::Size(side, side));
    } catch (const cv::Exception& e) {
        // OpenCV refuses a scale factor of 1 or less by throwing: that is a
        // detection that found nothing. Running out of memory is not.
        return e.code == cv::Error::StsNoMem ? PLASTORA_FACES_NO_MEMORY : 0;
    } catch (...) {
        // No memory (or no thread) for the search: nothing can be told.
        return PLASTORA_FACES_NO_MEMORY;
    }
    const int kept = static_cast<int>(std::min<std::size_t>(found.size(), static_cast<std::size_t>(std::max(0, maxBoxes))));
    for (int i = 0; i < kept; ++i) {
        const cv::Rect& r = found[static_cast<std::size_t>(i)];
        boxes[4 * i] = r.x;
        boxes[4 * i + 1] = r.y;
        boxes[4 * i + 2] = r.width;
        boxes[4 * i + 3] = r.height;
    }
    return kept;
}
