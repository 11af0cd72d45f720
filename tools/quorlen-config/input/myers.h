// The longest common subsequence of two sequences by Myers' algorithm in
// linear space (the divide and conquer of "An O(ND) Difference Algorithm and
// Its Variations", as GNU diff's compareseq does it): time O((N + M) D),
// where D is the number of elements not in common, and memory linear in
// N + M.  As GNU diff does, a search that has taken EXPENSIVE edits without
// meeting its other half splits where it has got furthest: the result may
// then be longer than the shortest, but two wholly different files cost
// O((N + M) EXPENSIVE) rather than O((N + M)^2).
#ifndef QUORLEN_MYERS_H
#define QUORLEN_MYERS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorlen_tool {

// same(i, j) tells whether a[i] equals b[j]; match(i, j, length) is told of
// each run a[i, i + length) = b[j, j + length) of the subsequence, in order.
template <class Same, class Match>
class common_runs {
 public:
  static constexpr std::int64_t EXPENSIVE = 4096;

  common_runs(std::size_t n, std::size_t m, Same same, Match match)
      : same_(same),
        match_(match),
        forward_(n + m + 3),
        backward_(n + m + 3),
        offset_(static_cast<std::int64_t>(m) + 1) {
    compare(0, static_cast<std::int64_t>(n), 0, static_cast<std::int64_t>(m));
  }

 private:
  using index = std::int64_t;

  bool equal(index x, index y) {
    return same_(static_cast<std::size_t>(x), static_cast<std::size_t>(y));
  }
  void run(index x, index y, index length) {
    if (length > 0) {
      match_(static_cast<std::size_t>(x), static_cast<std::size_t>(y),
             static_cast<std::size_t>(length));
    }
  }
  index& fd(index diagonal) {
    return forward_[static_cast<std::size_t>(diagonal + offset_)];
  }
  index& bd(index diagonal) {
    return backward_[static_cast<std::size_t>(diagonal + offset_)];
  }

  // a[x0, x1) against b[y0, y1): the common ends are matched at once, and
  // what lies between is split at a point of a shortest edit path.  Each
  // half holds about half the edits, so the recursion is log D deep.
  void compare(index x0, index x1, index y0, index y1) {
    index head = 0;
    while (x0 + head < x1 && y0 + head < y1 && equal(x0 + head, y0 + head)) {
      ++head;
    }
    run(x0, y0, head);
    x0 += head;
    y0 += head;
    index tail = 0;
    while (x1 - tail > x0 && y1 - tail > y0 &&
           equal(x1 - tail - 1, y1 - tail - 1)) {
      ++tail;
    }
    x1 -= tail;
    y1 -= tail;
    if (x0 < x1 && y0 < y1) {
      index xmid, ymid;
      split(x0, x1, y0, y1, xmid, ymid);
      compare(x0, xmid, y0, ymid);
      compare(xmid, x1, ymid, y1);
    }
    run(x1, y1, tail);
  }

  // Searches from both corners at once, one edit more each round, until
  // the two searches meet on a diagonal (k = x - y): that is the middle of
  // a shortest edit path.
  void split(index x0, index x1, index y0, index y1, index& xmid, index& ymid) {
    const index dmin = x0 - y1, dmax = x1 - y0;
    const index fmid = x0 - y0, bmid = x1 - y1;
    index fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
    const bool odd = ((fmid - bmid) & 1) != 0;
    fd(fmid) = x0;
    bd(bmid) = x1;
    for (index cost = 1;; ++cost) {
      if (fmin > dmin)
        fd(--fmin - 1) = -1;
      else
        ++fmin;
      if (fmax < dmax)
        fd(++fmax + 1) = -1;
      else
        --fmax;
      for (index d = fmax; d >= fmin; d -= 2) {
        const index low = fd(d - 1), high = fd(d + 1);
        index x = low < high ? high : low + 1;
        index y = x - d;
        while (x < x1 && y < y1 && equal(x, y)) ++x, ++y;
        fd(d) = x;
        if (odd && bmin <= d && d <= bmax && bd(d) <= x) {
          xmid = x, ymid = y;
          return;
        }
      }
      if (bmin > dmin)
        bd(--bmin - 1) = INT64_MAX;
      else
        ++bmin;
      if (bmax < dmax)
        bd(++bmax + 1) = INT64_MAX;
      else
        --bmax;
      for (index d = bmax; d >= bmin; d -= 2) {
        const index low = bd(d - 1), high = bd(d + 1);
        index x = low < high ? low : high - 1;
        index y = x - d;
        while (x > x0 && y > y0 && equal(x - 1, y - 1)) --x, --y;
        bd(d) = x;
        if (!odd && fmin <= d && d <= fmax && x <= fd(d)) {
          xmid = x, ymid = y;
          return;
        }
      }
      if (cost >= EXPENSIVE) {
        return furthest(x0, x1, y0, y1, fmin, fmax, bmin, bmax, xmid, ymid);
      }
    }
  }

  // The point that either search has got furthest to, in x + y from where
  // it started.
  void furthest(index x0, index x1, index y0, index y1, index fmin, index fmax,
                index bmin, index bmax, index& xmid, index& ymid) {
    index fbest = -1, fx = x0;
    for (index d = fmax; d >= fmin; d -= 2) {
      index x = fd(d) < x1 ? fd(d) : x1;
      index y = x - d;
      if (y > y1) x = y1 + d, y = y1;
      if (x + y > fbest) fbest = x + y, fx = x;
    }
    index bbest = INT64_MAX, bx = x1;
    for (index d = bmax; d >= bmin; d -= 2) {
      index x = bd(d) > x0 ? bd(d) : x0;
      index y = x - d;
      if (y < y0) x = y0 + d, y = y0;
      if (x + y < bbest) bbest = x + y, bx = x;
    }
    if ((x1 + y1) - bbest < fbest - (x0 + y0)) {
      xmid = fx, ymid = fbest - fx;
    } else {
      xmid = bx, ymid = bbest - bx;
    }
  }

  Same same_;
  Match match_;
  std::vector<index> forward_;   // furthest x reached on each diagonal
  std::vector<index> backward_;  // from the far corner
  index offset_;                 // diagonal -m - 1 is element 0
};

// Runs the comparison.
template <class Same, class Match>
void find_common_runs(std::size_t n, std::size_t m, Same same, Match match) {
  common_runs<Same, Match>(n, m, same, match);
}

}  // namespace quorlen_tool

#endif
