#include "gif/MedianCut.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <unordered_set>

namespace {

struct TItem {
  std::array<int, 3> C; // red, green, blue
  std::uint32_t Count;
  int Source; // position among the colours given
};

// What a box's squared error is made of. Doubles hold these sums exactly:
// even 2^25 pixels of white stay far below 2^53.
struct TStats {
  double N = 0, SumSq = 0;
  std::array<double, 3> Sum{};

  void Add(const TItem& Item, double Sign = 1) {
    const double n = Sign * Item.Count;
    N += n;
    for (int c = 0; c < 3; ++c) {
      Sum[std::size_t(c)] += n * Item.C[std::size_t(c)];
      SumSq += n * Item.C[std::size_t(c)] * Item.C[std::size_t(c)];
    }
  }
  void Add(const TStats& Other, double Sign = 1) {
    N += Sign * Other.N;
    SumSq += Sign * Other.SumSq;
    for (std::size_t c = 0; c < 3; ++c)
      Sum[c] += Sign * Other.Sum[c];
  }
  // What the error falls short of SumSq by: the larger, the tighter the box.
  double Gain() const {
    return N > 0 ? (Sum[0] * Sum[0] + Sum[1] * Sum[1] + Sum[2] * Sum[2]) / N : 0;
  }
  double Error() const { return SumSq - Gain(); }
  TColor Mean() const {
    const auto mean = [this](int c) { return std::uint8_t(std::lround(Sum[std::size_t(c)] / N)); };
    return RGB(mean(0), mean(1), mean(2));
  }
};

struct TBox {
  std::size_t Begin, End;
  TStats Stats;
  bool Whole = false; // one colour: nothing to cut
};

TStats StatsOf(const std::vector<TItem>& Items, std::size_t Begin, std::size_t End) {
  TStats s;
  for (std::size_t i = Begin; i < End; ++i)
    s.Add(Items[i]);
  return s;
}

// Cuts Box along the axis and at the value that leave the least error; equal
// values stay on one side, so equal colours stay together. Each axis is
// binned by value rather than sorted. Returns where the second half starts,
// or 0 when the box has one colour.
// Bins: empty on entry, and left so.
using TBins = std::array<TStats, 256>;

std::size_t Cut(std::vector<TItem>& Items, const TBox& Box, TBins& Bins) {
  int bestAxis = -1, bestValue = 0;
  double bestGain = -1;
  for (int axis = 0; axis < 3; ++axis) {
    int low = 255, high = 0;
    for (std::size_t i = Box.Begin; i < Box.End; ++i) {
      const int v = Items[i].C[std::size_t(axis)];
      Bins[std::size_t(v)].Add(Items[i]);
      low = std::min(low, v);
      high = std::max(high, v);
    }
    TStats left;
    for (int v = low; v < high; ++v) {
      if (Bins[std::size_t(v)].N == 0) continue;
      left.Add(Bins[std::size_t(v)]);
      TStats right = Box.Stats;
      right.Add(left, -1);
      const double gain = left.Gain() + right.Gain();
      if (gain > bestGain) {
        bestGain = gain;
        bestAxis = axis;
        bestValue = v;
      }
    }
    std::fill(Bins.begin() + low, Bins.begin() + high + 1, TStats{});
  }
  if (bestAxis < 0) return 0;
  const auto second = std::partition(
      Items.begin() + std::ptrdiff_t(Box.Begin), Items.begin() + std::ptrdiff_t(Box.End),
      [=](const TItem& Item) { return Item.C[std::size_t(bestAxis)] <= bestValue; });
  return std::size_t(second - Items.begin());
}

std::array<int, 3> Channels(TColor C) {
  return {GetRValue(C), GetGValue(C), GetBValue(C)};
}

// Whether C lies between A and B, as an anti-aliased edge of one over the
// other does: on the line from A to B, each channel within 1 for rounding.
bool Between(TColor C, TColor A, TColor B) {
  const std::array<int, 3> c = Channels(C), a = Channels(A), b = Channels(B);
  std::size_t k = 0;
  for (std::size_t i = 1; i < 3; ++i)
    if (std::abs(b[i] - a[i]) > std::abs(b[k] - a[k])) k = i;
  if (b[k] == a[k]) return false;
  const double t = double(c[k] - a[k]) / double(b[k] - a[k]);
  if (t <= 0 || t >= 1) return false;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::abs(c[i] - (a[i] + t * (b[i] - a[i]))) > 1.0) return false;
  return true;
}

// C, or the nearest colour not in Used: entries stay distinct, so a kept
// colour is found by its value alone. The low three bits of each channel
// give 512 choices, more than a table has entries.
TColor Unused(TColor C, const std::unordered_set<TColor>& Used) {
  TColor c = C;
  for (TColor n = 1; Used.count(c) && n < 512; ++n)
    c = C ^ ((n & 7) | (n >> 3 & 7) << 8 | (n >> 6 & 7) << 16);
  return c;
}

// Whether C lies inside the triangle of A, B and D, as the edge of one
// colour over the edge of another does (text over a shadow's edge): within
// 1.5 of its plane in each channel, for two roundings.
bool Within(TColor C, TColor A, TColor B, TColor D) {
  const std::array<int, 3> a = Channels(A), b = Channels(B), c = Channels(C), d = Channels(D);
  std::array<double, 3> u{}, v{}, w{};
  for (std::size_t i = 0; i < 3; ++i) {
    u[i] = b[i] - a[i];
    v[i] = d[i] - a[i];
    w[i] = c[i] - a[i];
  }
  const auto dot = [](const std::array<double, 3>& x, const std::array<double, 3>& y) {
    return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
  };
  const double uu = dot(u, u), uv = dot(u, v), vv = dot(v, v), wu = dot(w, u), wv = dot(w, v);
  const double det = uu * vv - uv * uv;
  if (det <= 0) return false; // on a line: Between covers it
  const double s = (wu * vv - wv * uv) / det, t = (wv * uu - wu * uv) / det;
  if (s < 0 || t < 0 || s + t > 1) return false;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::abs(w[i] - s * u[i] - t * v[i]) > 1.5) return false;
  return true;
}

// Whether C is an edge between kept colours.
bool Blend(TColor C, const std::vector<TColor>& Kept) {
  const std::size_t n = Kept.size();
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = a + 1; b < n; ++b) {
      if (Between(C, Kept[a], Kept[b])) return true;
      for (std::size_t d = b + 1; d < n; ++d)
        if (Within(C, Kept[a], Kept[b], Kept[d])) return true;
    }
  return false;
}

} // namespace

TQuantised MedianCut(std::span<const TColorCount> Colors, int MaxColors) {
  TQuantised q;
  q.EntryOf.resize(Colors.size());
  if (Colors.size() <= std::size_t(std::max(MaxColors, 1))) {
    for (std::size_t i = 0; i < Colors.size(); ++i) {
      q.Palette.push_back(Colors[i].Color & 0xFFFFFF);
      q.EntryOf[i] = int(i);
    }
    return q;
  }
  std::vector<TItem> items;
  items.reserve(Colors.size());
  for (std::size_t i = 0; i < Colors.size(); ++i) {
    const TColor c = Colors[i].Color;
    items.push_back({{GetRValue(c), GetGValue(c), GetBValue(c)}, Colors[i].Count, int(i)});
  }
  std::vector<TBox> boxes{{0, items.size(), StatsOf(items, 0, items.size())}};
  auto bins = std::make_unique<TBins>();
  while (int(boxes.size()) < MaxColors) {
    TBox* worst = nullptr;
    for (TBox& box : boxes)
      if (!box.Whole && box.End - box.Begin > 1 &&
          (!worst || box.Stats.Error() > worst->Stats.Error()))
        worst = &box;
    if (!worst) break;
    const std::size_t at = Cut(items, *worst, *bins);
    if (at == 0) {
      worst->Whole = true;
      continue;
    }
    TBox second{at, worst->End, StatsOf(items, at, worst->End)};
    worst->End = at;
    worst->Stats = StatsOf(items, worst->Begin, at);
    boxes.push_back(second);
  }
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    q.Palette.push_back(boxes[b].Stats.Mean());
    for (std::size_t i = boxes[b].Begin; i < boxes[b].End; ++i)
      q.EntryOf[std::size_t(items[i].Source)] = int(b);
  }
  return q;
}

TQuantised KeepingPalette(std::span<const TColorCount> Colors, std::span<const TColor> Keep,
                          int MaxColors) {
  MaxColors = std::max(MaxColors, 1);
  if (Colors.size() <= std::size_t(MaxColors)) return MedianCut(Colors, MaxColors);

  TQuantised q;
  q.EntryOf.assign(Colors.size(), -1);
  // The kept colours the image holds, one entry each; at least one entry is
  // left for the others. Looking for blends grows with the cube of their
  // number, so only a few count.
  std::vector<TColor> kept;
  for (TColor k : Keep.first(std::min(Keep.size(), MostKept))) {
    k &= 0xFFFFFF;
    const auto found = std::find_if(Colors.begin(), Colors.end(), [k](const TColorCount& c) {
      return (c.Color & 0xFFFFFF) == k;
    });
    const std::size_t i = std::size_t(found - Colors.begin());
    if (found == Colors.end() || q.EntryOf[i] >= 0) continue;
    if (int(kept.size()) == MaxColors - 1) break;
    q.EntryOf[i] = int(q.Palette.size());
    q.Palette.push_back(k);
    kept.push_back(k);
  }

  std::vector<std::size_t> blends, others;
  for (std::size_t i = 0; i < Colors.size(); ++i) {
    if (q.EntryOf[i] >= 0) continue;
    (Blend(Colors[i].Color & 0xFFFFFF, kept) ? blends : others).push_back(i);
  }
  // The blends most seen first; those that do not fit are quantised too. The
  // other colours keep at least half the room, or what they need.
  std::stable_sort(blends.begin(), blends.end(), [&Colors](std::size_t a, std::size_t b) {
    return Colors[a].Count > Colors[b].Count;
  });
  const std::size_t room = std::size_t(MaxColors) - kept.size();
  std::size_t exact = std::min(blends.size(), room - std::min(others.size(), room / 2));
  exact = std::min(exact, room - 1); // what is left over needs an entry
  for (std::size_t i = 0; i < exact; ++i) {
    q.EntryOf[blends[i]] = int(q.Palette.size());
    q.Palette.push_back(Colors[blends[i]].Color & 0xFFFFFF);
  }
  others.insert(others.end(), blends.begin() + std::ptrdiff_t(exact), blends.end());

  std::vector<TColorCount> rest;
  rest.reserve(others.size());
  for (std::size_t i : others)
    rest.push_back(Colors[i]);
  const TQuantised shared = MedianCut(rest, int(room - exact));
  const int offset = int(q.Palette.size());
  std::unordered_set<TColor> used(q.Palette.begin(), q.Palette.end());
  for (TColor c : shared.Palette)
    q.Palette.push_back(*used.insert(Unused(c, used)).first);
  for (std::size_t i = 0; i < others.size(); ++i)
    q.EntryOf[others[i]] = offset + shared.EntryOf[i];
  return q;
}
