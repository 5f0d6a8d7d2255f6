#include "layers/Outline.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace plastora {

namespace {

// Directions 0..7 turn counter-clockwise on the screen, starting to the right.
constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

class Tracer {
public:
    Tracer(std::vector<unsigned char>& map, int w, int h, int maxPoints, bool walkEveryStart)
        : m_map(map), m_w(w), m_h(h), m_maxPoints(maxPoints), m_walkEveryStart(walkEveryStart) {}

    std::vector<Polyline> run() {
        std::vector<Polyline> out;
        if (m_w < 3 || m_h < 3) return out;
        for (int y = 1; y < m_h - 1; ++y) {
            for (int x = 1; x < m_w - 1; ++x) {
                if (at(x, y) != 1) continue;
                int d;
                if (at(x, y + 1) == 0) {
                    d = 6;
                } else if (at(x - 1, y) != 0) {
                    const bool above = at(x, y - 1) != 0;
                    const bool right = at(x + 1, y) != 0;
                    if (above && right) continue;  // no background to start from on this side
                    d = above ? 0 : 2;
                } else {
                    d = 4;
                }
                Polyline contour;
                if (!trace(x, y, d, contour)) continue;
                if (keep(x, y, d)) out.push_back(reduce(contour));
            }
        }
        return out;
    }

private:
    unsigned char at(int x, int y) const { return m_map[static_cast<std::size_t>(y) * m_w + x]; }
    void mark(int x, int y, unsigned char v) { m_map[static_cast<std::size_t>(y) * m_w + x] = v; }

    // Follows the boundary from (x, y), whose neighbour in direction d is
    // background. False for an isolated pixel or a trace that does not close.
    bool trace(int sx, int sy, int d, Polyline& pts) {
        int first = -1;
        for (int k = 0; k < 8; ++k) {
            const int dir = (d + k) & 7;
            if (at(sx + kDx[dir], sy + kDy[dir]) != 0) {
                first = dir;
                break;
            }
        }
        if (first < 0) {
            mark(sx, sy, 2);
            return false;
        }
        // A start on a boundary already known to be too long fails as the
        // trace would, marking the same pixels, without walking it again.
        if (const auto known = m_knownStates.find(stateKey(sx, sy, first)); known != m_knownStates.end()) {
            markCycleRun(m_cycles[known->second.cycle], known->second.index);
            return false;
        }
        mark(sx, sy, 3);
        pts.push_back({sx, sy});
        int x = sx, y = sy, dir = first;
        for (;;) {
            x += kDx[dir];
            y += kDy[dir];
            mark(x, y, 3);
            pts.push_back({x, y});
            // The search starts one step past the direction back to where we came from.
            int next = dir;
            for (int k = 0; k < 8; ++k) {
                const int nd = (dir + 5 + k) & 7;
                if (at(x + kDx[nd], y + kDy[nd]) != 0) {
                    next = nd;
                    break;
                }
            }
            if (x == sx && y == sy && next == first) return true;
            if (static_cast<int>(pts.size()) >= m_maxPoints) {
                if (!m_walkEveryStart) learnCycle(sx, sy, first);
                return false;
            }
            dir = next;
        }
    }

    // Every start on a boundary longer than the limit walks the limit's
    // worth of points and gives up; a large region has such a start on
    // nearly every row, which made tracing one boundary quadratic (seconds
    // for a region a few thousand pixels across). The walk is a function of
    // the state (pixel, direction of the next step) alone, and marks do not
    // change it, so a failed trace whose walk comes back to its first state
    // is a cycle of states: every later start on it fails too, and marks the
    // limit's worth of pixels from its own state on. Those cycles are kept.
    struct Cycle {
        std::vector<std::uint32_t> pixels;  // the pixel of each state, in walking order
        std::vector<std::uint32_t> next;    // the next state whose pixel may still be unmarked
    };
    struct CycleState {
        std::uint32_t cycle, index;
    };

    std::uint64_t stateKey(int x, int y, int dir) const {
        return (static_cast<std::uint64_t>(y) * static_cast<std::uint64_t>(m_w) + static_cast<std::uint64_t>(x)) * 8u +
               static_cast<std::uint64_t>(dir);
    }

    int nextDirection(int x, int y, int dir) const {
        for (int k = 0; k < 8; ++k) {
            const int nd = (dir + 5 + k) & 7;
            if (at(x + kDx[nd], y + kDy[nd]) != 0) return nd;
        }
        return dir;
    }

    // Walks again from the failed start until the walk is back at its first
    // state, and keeps that cycle. Memory stays bounded: a cycle of more than
    // kLearnRounds times the limit's states, or one past kLearnBudget states
    // learned in all, is not kept, and learning ends for this map there (its
    // starts are traced as before, and no long walk is repeated in vain).
    static constexpr std::size_t kLearnRounds = 64;
    static constexpr std::size_t kLearnBudget = std::size_t{1} << 20;

    void learnCycle(int sx, int sy, int first) {
        if (!m_learning) return;
        const std::size_t bound = std::min(kLearnRounds * static_cast<std::size_t>(m_maxPoints), kLearnBudget - m_learned);
        Cycle c;
        std::vector<std::uint8_t> dirs;
        int x = sx, y = sy, dir = first;
        do {
            if (c.pixels.size() >= bound) {
                m_learning = false;
                return;
            }
            c.pixels.push_back(static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(m_w) +
                               static_cast<std::uint32_t>(x));
            dirs.push_back(static_cast<std::uint8_t>(dir));
            x += kDx[dir];
            y += kDy[dir];
            dir = nextDirection(x, y, dir);
        } while (x != sx || y != sy || dir != first);
        const auto n = static_cast<std::uint32_t>(c.pixels.size());
        m_learned += n;
        c.next.resize(static_cast<std::size_t>(n) + 1);
        for (std::uint32_t i = 0; i <= n; ++i) c.next[i] = i;
        const auto id = static_cast<std::uint32_t>(m_cycles.size());
        for (std::uint32_t i = 0; i < n; ++i)
            m_knownStates.emplace(std::uint64_t{c.pixels[i]} * 8u + dirs[i], CycleState{id, i});
        m_cycles.push_back(std::move(c));
        // The failed trace has marked the limit's worth of pixels from state 0.
        skipRange(m_cycles.back(), 0, std::min<std::uint32_t>(n, static_cast<std::uint32_t>(m_maxPoints)));
    }

    // The first state at or after i whose pixel has not been marked through this cycle.
    static std::uint32_t unmarkedFrom(Cycle& c, std::uint32_t i) {
        std::uint32_t root = i;
        while (c.next[root] != root) root = c.next[root];
        while (c.next[i] != root) {
            const std::uint32_t up = c.next[i];
            c.next[i] = root;
            i = up;
        }
        return root;
    }

    // Marks the pixels of states [from, to) of c (to at most its length), each at most once.
    void markRange(Cycle& c, std::uint32_t from, std::uint32_t to, bool paint) {
        for (std::uint32_t i = unmarkedFrom(c, from); i < to; i = unmarkedFrom(c, i + 1)) {
            if (paint) m_map[c.pixels[i]] = 3;
            c.next[i] = i + 1;
        }
    }
    void skipRange(Cycle& c, std::uint32_t from, std::uint32_t to) { markRange(c, from, to, false); }

    // The pixels a trace from state `start` of c marks before it gives up:
    // the limit's worth of states from there on, round the cycle.
    void markCycleRun(Cycle& c, std::uint32_t start) {
        const auto n = static_cast<std::uint32_t>(c.pixels.size());
        const std::uint32_t count = std::min<std::uint32_t>(n, static_cast<std::uint32_t>(m_maxPoints));
        const std::uint32_t end = start + count;
        markRange(c, start, std::min(end, n), true);
        if (end > n) markRange(c, 0, end - n, true);
    }

    bool keep(int x, int y, int d) {
        if (d == 2 || d == 4) return true;
        if (d == 6 && at(x, y - 1) == 0) return true;
        // The starts left above (d = 6) and left of (d = 0) a hole in the
        // mask are where a scan row by row first meets a hole's boundary; the
        // rules above alone would never show a hole. Their background
        // neighbour tells: a hole is background the outside cannot reach.
        return isHole(x + kDx[d], y + kDy[d]);
    }

    // Background reachable from the frame (4-connected), worked out on first use.
    bool isHole(int x, int y) {
        if (m_outside.empty()) {
            m_outside.assign(m_map.size(), 0);
            std::vector<int> stack;
            auto push = [&](int px, int py) {
                const std::size_t i = static_cast<std::size_t>(py) * m_w + px;
                if (m_map[i] == 0 && !m_outside[i]) {
                    m_outside[i] = 1;
                    stack.push_back(static_cast<int>(i));
                }
            };
            for (int px = 0; px < m_w; ++px) push(px, 0), push(px, m_h - 1);
            for (int py = 0; py < m_h; ++py) push(0, py), push(m_w - 1, py);
            while (!stack.empty()) {
                const int i = stack.back();
                stack.pop_back();
                const int px = i % m_w, py = i / m_w;
                if (px > 0) push(px - 1, py);
                if (px + 1 < m_w) push(px + 1, py);
                if (py > 0) push(px, py - 1);
                if (py + 1 < m_h) push(px, py + 1);
            }
        }
        return !m_outside[static_cast<std::size_t>(y) * m_w + x];
    }

    static Polyline reduce(const Polyline& p) {
        Polyline r;
        if (p.size() <= 2) return p;
        r.push_back(p.front());
        for (std::size_t i = 1; i + 1 < p.size(); ++i) {
            const int ax = p[i].x - p[i - 1].x, ay = p[i].y - p[i - 1].y;
            const int bx = p[i + 1].x - p[i].x, by = p[i + 1].y - p[i].y;
            if (ax != bx || ay != by) r.push_back(p[i]);
        }
        r.push_back(p.back());
        return r;
    }

    std::vector<unsigned char>& m_map;
    int m_w, m_h;
    int m_maxPoints;
    bool m_walkEveryStart;
    std::vector<unsigned char> m_outside;
    std::vector<Cycle> m_cycles;
    std::unordered_map<std::uint64_t, CycleState> m_knownStates;
    bool m_learning = true;
    std::size_t m_learned = 0;  // states in m_cycles
};

}  // namespace

std::vector<Polyline> traceOutlineMap(std::vector<unsigned char>& map, int w, int h, int maxPoints,
                                      bool walkEveryStart) {
    if (w <= 0 || h <= 0 || maxPoints < 1 || map.size() < static_cast<std::size_t>(w) * h) return {};
    return Tracer(map, w, h, maxPoints, walkEveryStart).run();
}

std::vector<Polyline> traceOutlines(const Surface& mask) {
    const int w = mask.width(), h = mask.height();
    if (w < 3 || h < 3) return {};
    std::vector<unsigned char> map(static_cast<std::size_t>(w) * h, 0);
    for (int y = 1; y < h - 1; ++y) {
        const Pixel* m = mask.row(y);
        unsigned char* b = map.data() + static_cast<std::size_t>(y) * w;
        for (int x = 1; x < w - 1; ++x) b[x] = (m[x] & 0x00FFFFFFu) ? 1 : 0;
    }
    return traceOutlineMap(map, w, h);
}

}  // namespace plastora
