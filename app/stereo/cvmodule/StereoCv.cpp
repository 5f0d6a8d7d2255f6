#include "stereo/cvmodule/StereoCv.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/features2d.hpp>

extern "C" {

__attribute__((visibility("default"))) void plastoraSemiGlobal(const cv::Mat& ref, const cv::Mat& other,
                                                               int minDisparity, int disparities, int block,
                                                               cv::Mat& disparity) {
    const int cn = ref.channels();
    cv::Ptr<cv::StereoSGBM> sgbm =
        cv::StereoSGBM::create(minDisparity, disparities, block, 8 * cn * block * block, 32 * cn * block * block, -1,
                               63, 5, 100, 2, cv::StereoSGBM::MODE_SGBM_3WAY);
    sgbm->compute(ref, other, disparity);
}

__attribute__((visibility("default"))) bool plastoraOrbMatch(const cv::Mat& left, const cv::Mat& right, int features,
                                                             std::vector<cv::KeyPoint>& leftPoints,
                                                             std::vector<cv::KeyPoint>& rightPoints,
                                                             std::vector<std::vector<cv::DMatch>>& nearest) {
    cv::Mat dl, dr;
    cv::Ptr<cv::ORB> orb = cv::ORB::create(features);
    orb->detectAndCompute(left, cv::noArray(), leftPoints, dl);
    orb->detectAndCompute(right, cv::noArray(), rightPoints, dr);
    if (dl.empty() || dr.empty() || leftPoints.size() < 3 || rightPoints.size() < 3) return false;
    cv::BFMatcher(cv::NORM_HAMMING).knnMatch(dl, dr, nearest, 2);
    return true;
}
}
