#include "autocut/FaceMerge.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace plastora {

namespace {

std::int64_t area(const FaceBox& b) {
    return std::max<std::int64_t>(0, std::int64_t{b.right} - b.left + 1) *
           std::max<std::int64_t>(0, std::int64_t{b.bottom} - b.top + 1);
}

}  // namespace

bool sameFace(const FaceBox& a, const FaceBox& b) {
    const std::int64_t w = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left) + 1;
    const std::int64_t h = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top) + 1;
    if (w <= 0 || h <= 0) return false;
    return 2 * w * h >= std::min(area(a), area(b));
}

std::vector<std::size_t> loneFaceBoxes(const std::vector<FaceBox>& boxes) {
    std::vector<std::size_t> lone;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        bool agreed = false;
        for (std::size_t j = 0; j < boxes.size() && !agreed; ++j) agreed = j != i && sameFace(boxes[i], boxes[j]);
        if (!agreed) lone.push_back(i);
    }
    return lone;
}

std::vector<FaceBox> mergeFaceBoxes(const std::vector<FaceBox>& boxes) {
    const std::size_t n = boxes.size();
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    const auto root = [&](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (sameFace(boxes[i], boxes[j])) parent[root(i)] = root(j);

    struct Group {
        std::int64_t l = 0, t = 0, r = 0, b = 0;
        std::int64_t count = 0;
    };
    std::vector<Group> groups(n);
    for (std::size_t i = 0; i < n; ++i) {
        Group& g = groups[root(i)];
        g.l += boxes[i].left, g.t += boxes[i].top, g.r += boxes[i].right, g.b += boxes[i].bottom;
        ++g.count;
    }
    const auto mean = [](std::int64_t sum, std::int64_t count) {
        // Rounded half away from zero, for negative sums too.
        return static_cast<std::int32_t>(sum >= 0 ? (2 * sum + count) / (2 * count) : -((-2 * sum + count) / (2 * count)));
    };
    std::vector<FaceBox> out;
    for (const Group& g : groups) {
        // A box no other classifier agrees with is left to the caller
        // (loneFaceBoxes): taken as it is, such boxes made a cat's eye or a
        // patch of texture into a person in 4 of 9 photos without one.
        if (g.count < 2) continue;
        out.push_back(FaceBox{mean(g.l, g.count), mean(g.t, g.count), mean(g.r, g.count), mean(g.b, g.count)});
    }
    std::sort(out.begin(), out.end(), [](const FaceBox& a, const FaceBox& b) {
        return a.left != b.left ? a.left < b.left : a.top < b.top;
    });
    return out;
}

}  // namespace plastora
