// OpenCV's stereo matcher (calib3d) and feature matcher (features2d), in a
// module of their own that is loaded only when a stereo pair is matched or
// aligned: the two libraries and FLANN behind them are an eighth of the
// dynamic loader's work at the start of every command, which few commands
// need. The functions are C++ (the caller links the same OpenCV core and
// standard library) and let OpenCV's exceptions pass.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

#define PLASTORA_STEREO_CV_MODULE "libplastora_stereocv.so"
#define PLASTORA_SEMI_GLOBAL_FUNCTION "plastoraSemiGlobal"
#define PLASTORA_ORB_MATCH_FUNCTION "plastoraOrbMatch"

// Semi-global block matching (three-way mode) of `ref` against `other` (8-bit,
// same size and channels) into `disparity` (16-bit, sixteenths of a pixel),
// with the penalties the program has always used for `block`.
using PlastoraSemiGlobalFn = void (*)(const cv::Mat& ref, const cv::Mat& other, int minDisparity, int disparities,
                                      int block, cv::Mat& disparity);
// ORB features (at most `features`) of two grey pictures and, for each
// feature of `left`, its two nearest of `right` by Hamming distance. False
// when either picture has fewer than three features.
using PlastoraOrbMatchFn = bool (*)(const cv::Mat& left, const cv::Mat& right, int features,
                                    std::vector<cv::KeyPoint>& leftPoints, std::vector<cv::KeyPoint>& rightPoints,
                                    std::vector<std::vector<cv::DMatch>>& nearest);

extern "C" {
void plastoraSemiGlobal(const cv::Mat& ref, const cv::Mat& other, int minDisparity, int disparities, int block,
                        cv::Mat& disparity);
bool plastoraOrbMatch(const cv::Mat& left, const cv::Mat& right, int features, std::vector<cv::KeyPoint>& leftPoints,
                      std::vector<cv::KeyPoint>& rightPoints, std::vector<std::vector<cv::DMatch>>& nearest);
}
