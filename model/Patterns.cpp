// Patterns: rasters read from and drawn on a canvas, regions trimmed to their pixels,
// and the two primitives' bytes, point tests, fills and outlines.
//   TColorMatrix, TImg, TPattern, Power, TEllipse, TRectangle
#include "model/Patterns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <limits>
#include <stdexcept>

#include "model/LargeBlocks.h"
#include "numerics/Rounding.h"

namespace ormax {

namespace {

const Real kHalfPi = Pi / 2;
const Real kTwoPi = Pi * 2;

Real Sign(Real v) {
  return v > 0 ? Real(1) : (v < 0 ? Real(-1) : Real(0));
}

int32_t RoundCoordinate(Real v) {
  return ClampToInt32(RoundHalfEven(v));
}

// Exclusive right or bottom edge of an inclusive bound, for the canvas.
int32_t PastEnd(int32_t inclusive) {
  return ClampToInt32(static_cast<int64_t>(inclusive) + 1);
}

}  // namespace

void TColorMatrix::MakeRoom(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  if (InPlace()) {
    store_.Pixels[0] = 0;  // the in-place pixels are the union's member from here on
    return;
  }
  store_.Block = static_cast<TColor*>(AllocateBlock(Size() * sizeof(TColor)));
}

TColorMatrix::TColorMatrix(int32_t width, int32_t height, TColor value) {
  MakeRoom(width, height);
  std::fill_n(Data(), Size(), value);
}

TColorMatrix::TColorMatrix(int32_t width, int32_t height, TUnfilled) { MakeRoom(width, height); }

TColorMatrix::TColorMatrix(const TColorMatrix& other) {
  MakeRoom(other.width_, other.height_);
  std::copy_n(other.Data(), Size(), Data());
}

TColorMatrix& TColorMatrix::operator=(const TColorMatrix& other) {
  if (this != &other) *this = TColorMatrix(other);
  return *this;
}

TColorMatrix::TColorMatrix(TColorMatrix&& other) noexcept
    : store_(std::exchange(other.store_, TStore{nullptr})),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

TColorMatrix& TColorMatrix::operator=(TColorMatrix&& other) noexcept {
  if (this != &other) {
    if (!InPlace()) FreeBlock(store_.Block);
    store_ = std::exchange(other.store_, TStore{nullptr});
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
  }
  return *this;
}

TColorMatrix::~TColorMatrix() {
  if (!InPlace()) FreeBlock(store_.Block);
}

bool operator==(const TColorMatrix& a, const TColorMatrix& b) {
  return a.width_ == b.width_ && a.height_ == b.height_ &&
         std::equal(a.Data(), a.Data() + a.Size(), b.Data());
}

// ---- TImg ----

namespace {

int32_t CheckedExtent(int32_t first, int32_t last) {
  int64_t n = static_cast<int64_t>(last) - first + 1;
  if (n < 0 || n > INT32_MAX) throw std::invalid_argument("Invalid image bounds");
  return static_cast<int32_t>(n);
}

// The pixels of bounds, checked for a negative size first, filled with value or left
// unfilled.
template <class TFill>
TColorMatrix MatrixOf(const TRect& bounds, TFill fill) {
  return TColorMatrix(CheckedExtent(bounds.Left, bounds.Right),
                      CheckedExtent(bounds.Top, bounds.Bottom), fill);
}

}  // namespace

TImg::TImg(int32_t left, int32_t top, int32_t right, int32_t bottom)
    : Left(left),
      Top(top),
      Right(right),
      Bottom(bottom),
      Pixels(CheckedExtent(left, right), CheckedExtent(top, bottom)) {}

TImg::TImg(const TRect& bounds) : TImg(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom) {}

TImg::TImg(const TRect& bounds, TColor value) : TImg(bounds, MatrixOf(bounds, value)) {}

TImg::TImg(const TRect& bounds, TUnfilled unfilled) : TImg(bounds, MatrixOf(bounds, unfilled)) {}

TImg::TImg(const TRect& bounds, TColorMatrix&& pixels)
    : Left(bounds.Left),
      Top(bounds.Top),
      Right(bounds.Right),
      Bottom(bounds.Bottom),
      Pixels(std::move(pixels)) {}

TImg TImg::CreateFromCanvas(const ICanvas& canvas) {
  TRect r = canvas.ClipRect();
  TImg img(r.Left, r.Top, r.Right - 1, r.Bottom - 1);
  img.ReadFromCanvas(canvas);
  return img;
}

void TImg::ReadFromCanvas(const ICanvas& canvas) {
  // Row by row: reading a pixel changes nothing, so the order is free.
  for (int32_t y = Top; y <= Bottom; ++y)
    for (int32_t x = Left; x <= Right; ++x) SetPixel(x, y, canvas.GetPixel(x, y));
}

TPoint TImg::Center() const {
  return TPoint{static_cast<int32_t>(Left + DivTrunc(Width() - 1, 2)),
                static_cast<int32_t>(Top + DivTrunc(Height() - 1, 2))};
}

void TImg::Crop(const TRect& r) {
  bool inside = r.Left >= Left && r.Top >= Top && r.Right <= Right && r.Bottom <= Bottom &&
                static_cast<int64_t>(r.Right) >= static_cast<int64_t>(r.Left) - 1 &&
                static_cast<int64_t>(r.Bottom) >= static_cast<int64_t>(r.Top) - 1;
  if (!inside) throw std::invalid_argument("Crop rectangle lies outside the image");
  TColorMatrix cropped(r.Right - r.Left + 1, r.Bottom - r.Top + 1);
  for (int32_t x = r.Left; x <= r.Right; ++x)
    for (int32_t y = r.Top; y <= r.Bottom; ++y) cropped[y - r.Top][x - r.Left] = GetPixel(x, y);
  Left = r.Left;
  Top = r.Top;
  Right = r.Right;
  Bottom = r.Bottom;
  Pixels = std::move(cropped);
}

void TImg::DrawFrame(TColor color, ICanvas& canvas) const {
  canvas.SetBrushColor(color);
  canvas.FrameRect(TRect{Left, Top, PastEnd(Right), PastEnd(Bottom)});
}

// ---- TPattern ----

TPattern::TPattern(const TRect& bounds, TColor background)
    : TImg(bounds), background_(background) {}

TPattern::TPattern(const TRect& bounds, TColor background, TColor fill)
    : TImg(bounds, fill), background_(background) {}

TPattern::TPattern(const TRect& bounds, TColor background, TUnfilled unfilled)
    : TImg(bounds, unfilled), background_(background) {}

std::unique_ptr<TPattern> TPattern::CreateEmpty(const TRect& bounds, TColor background) {
  return std::unique_ptr<TPattern>(new TPattern(bounds, background, background));
}

std::unique_ptr<TPattern> TPattern::CreateUnfilled(const TRect& bounds, TColor background) {
  return std::unique_ptr<TPattern>(new TPattern(bounds, background, TUnfilled{}));
}

TPattern TPattern::CreateFromCanvas(const ICanvas& canvas, TColor background) {
  TRect r = canvas.ClipRect();
  TPattern pattern(TRect{r.Left, r.Top, r.Right - 1, r.Bottom - 1}, background);
  pattern.ReadFromCanvas(canvas);
  return pattern;
}

TRect TPattern::GetInsideBounds() const {
  int32_t minX = Right, minY = Bottom, maxX = Left, maxY = Top;
  for (int32_t x = Left; x <= Right; ++x)
    for (int32_t y = Top; y <= Bottom; ++y)
      if (IsInside(x, y)) {
        if (x < minX) minX = x;
        if (y < minY) minY = y;
        if (x > maxX) maxX = x;
        if (y > maxY) maxY = y;
      }
  return TRect{minX, minY, maxX, maxY};
}

void TPattern::Clear() {
  for (int32_t y = 0; y < Height(); ++y) std::fill_n(Pixels[y], Width(), background_);
}

void TPattern::Trim() {
  Crop(GetInsideBounds());
}

void TPattern::FillInside(TColor color) {
  for (int32_t x = Left; x <= Right; ++x)
    for (int32_t y = Top; y <= Bottom; ++y)
      if (IsInside(x, y)) SetPixel(x, y, color);
}

int64_t TPattern::InsideCount(int64_t enough) const {
  int64_t n = 0;
  const int32_t width = Width();
  for (int32_t y = 0; y < Height() && n < enough; ++y) {
    const TColor* row = Pixels[y];
    // Four counts side by side: a scene-sized region is counted twice as fast.
    int64_t a = 0, b = 0, c = 0, d = 0;
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
      a += row[x] != background_;
      b += row[x + 1] != background_;
      c += row[x + 2] != background_;
      d += row[x + 3] != background_;
    }
    for (; x < width; ++x) a += row[x] != background_;
    n += a + b + c + d;
  }
  return std::min(n, enough);
}

void TPattern::Draw(ICanvas& canvas) const {
  // Pixels off the surface would be dropped: only the rows and columns it has are read,
  // so that a band of a taller picture costs its own rows.
  const TRect clip = canvas.ClipRect();
  const int32_t left = std::max(Left, clip.Left), top = std::max(Top, clip.Top);
  const int64_t right = std::min<int64_t>(Right, int64_t{clip.Right} - 1);
  const int64_t bottom = std::min<int64_t>(Bottom, int64_t{clip.Bottom} - 1);
  for (int32_t x = left; x <= right; ++x)
    for (int32_t y = top; y <= bottom; ++y)
      if (IsInside(x, y)) canvas.SetPixel(x, y, GetPixel(x, y));
}

// ---- Power ----

Real Power(Real base, Real exponent) {
  if (exponent == 0) return 1;
  if (base == 0 && exponent > 0) return 0;
  if (exponent == Trunc(exponent) && Fabs(exponent) <= Real(2147483647.0)) {
    int64_t n = static_cast<int64_t>(exponent);
    uint64_t y = static_cast<uint64_t>(n < 0 ? -n : n);
    Real b = base;
    Real result = 1;
    while (y > 0) {
      while ((y & 1) == 0) {
        y >>= 1;
        b = b * b;
      }
      --y;
      result = result * b;
    }
    return n < 0 ? 1 / result : result;
  }
  return Exp(exponent * Log(base));
}

// ---- TEllipse ----

TEllipse TEllipse::CreateFromBytes(const TByteArray& bytes) {
  RequireBytes(bytes, 0, ByteSize);
  // Each field read in place: a noisy scene's hundreds of thousands of trees read every
  // ellipse back when they are normalised.
  const uint8_t* at = bytes.data();
  TEllipse e;
  e.Center[0] = LoadDouble(at);
  e.Center[1] = LoadDouble(at + 8);
  e.Rotation[0][0] = LoadDouble(at + 16);
  e.Rotation[0][1] = LoadDouble(at + 24);
  e.Rotation[1][0] = LoadDouble(at + 32);
  e.Rotation[1][1] = LoadDouble(at + 40);
  e.Axes[0] = LoadDouble(at + 48);
  e.Axes[1] = LoadDouble(at + 56);
  e.Exponent = LoadDouble(at + 64);
  e.Color = static_cast<TColor>(LoadInteger(at + 72));
  return e;
}

void TEllipse::SaveToBytes(TByteArray& bytes) const {
  bytes.resize(ByteSize);
  uint8_t* at = bytes.data();
  StoreDouble(at, static_cast<double>(Center[0]));
  StoreDouble(at + 8, static_cast<double>(Center[1]));
  StoreDouble(at + 16, static_cast<double>(Rotation[0][0]));
  StoreDouble(at + 24, static_cast<double>(Rotation[0][1]));
  StoreDouble(at + 32, static_cast<double>(Rotation[1][0]));
  StoreDouble(at + 40, static_cast<double>(Rotation[1][1]));
  StoreDouble(at + 48, static_cast<double>(Axes[0]));
  StoreDouble(at + 56, static_cast<double>(Axes[1]));
  StoreDouble(at + 64, Exponent);
  StoreInteger(at + 72, static_cast<int32_t>(Color));
}

TVector TEllipse::ToLocal(TVector p) const {
  return ToLocal(p, InvertMatrix(Rotation));
}

TVector TEllipse::ToLocal(TVector p, const TMatrix& inverse) const {
  TVector d = SubtractVectors(p, Center);
  return MultiplyMatrixVector(inverse, d);
}

bool TEllipse::Contains(TVector p) const {
  return Contains(p, InvertMatrix(Rotation));
}

bool TEllipse::Contains(TVector p, const TMatrix& inverse) const {
  TVector uv = ToLocal(p, inverse);
  Real p2 = Exponent;
  Real s = Power(Fabs(uv[0] / Axes[0]), p2) + Power(Fabs(uv[1] / Axes[1]), p2);
  return s <= 1;
}

TRect TEllipse::FillArea(const TRect& clip) const {
  double r = static_cast<double>(VectorNorm(Axes));
  Real x0 = Floor(Center[0] - r), x1 = Ceil(Center[0] + r);
  Real y0 = Floor(Center[1] - r), y1 = Ceil(Center[1] + r);
  if (!IsFinite(x0) || !IsFinite(x1) || !IsFinite(y0) || !IsFinite(y1)) return {0, 0, -1, -1};
  // Pixels outside the surface would be dropped anyway: scan only the part of the
  // square that the canvas has.
  const int64_t xs = std::max<int64_t>(FloorToInt(x0), clip.Left);
  const int64_t xe = std::min<int64_t>(FloorToInt(x1), static_cast<int64_t>(clip.Right) - 1);
  const int64_t ys = std::max<int64_t>(FloorToInt(y0), clip.Top);
  const int64_t ye = std::min<int64_t>(FloorToInt(y1), static_cast<int64_t>(clip.Bottom) - 1);
  if (xs > xe || ys > ye) return {0, 0, -1, -1};
  return {static_cast<int32_t>(xs), static_cast<int32_t>(ys), static_cast<int32_t>(xe),
          static_cast<int32_t>(ye)};
}

void TEllipse::Fill(ICanvas& canvas) const {
  const TRect area = FillArea(canvas.ClipRect());
  const TMatrix inverse = InvertMatrix(Rotation);
  for (int64_t x = area.Left; x <= area.Right; ++x)
    for (int64_t y = area.Top; y <= area.Bottom; ++y)
      if (Contains(MakeVector(static_cast<double>(x), static_cast<double>(y)), inverse))
        canvas.SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y), Color);
}

namespace {

// The angle terms of an outline's points: for each t, Sign(cos t), |cos t| to the shape
// power, and the same of sin t. They depend only on the steps and the exponent, so a
// view of many ellipses works them out once (per thread) instead of once per point.
struct TOutlineTerm {
  Real SignC, PowerC, SignS, PowerS;
};
struct TOutlineTerms {
  std::vector<TOutlineTerm> Terms;
  double MaxPower = 0;  // the largest power, at least 1 (NaN if one is)
};

const TOutlineTerms& OutlineTerms(int32_t steps, double exponent) {
  thread_local int32_t cachedSteps = 0;
  thread_local double cachedExponent = 0;
  thread_local TOutlineTerms terms;
  if (cachedSteps == steps && cachedExponent == exponent && !terms.Terms.empty()) return terms;
  terms.Terms.clear();
  terms.MaxPower = 1;
  const double dt = static_cast<double>(kHalfPi / static_cast<Real>(steps - 1));
  const Real shapePower = 2 / static_cast<Real>(exponent);
  double t = 0.0;
  while (static_cast<Real>(t) <= kTwoPi) {
    t = static_cast<double>(static_cast<Real>(t) + static_cast<Real>(dt));
    const Real c = Cos(static_cast<Real>(t));
    const Real s = Sin(static_cast<Real>(t));
    const TOutlineTerm k{Sign(c), Power(Fabs(c), shapePower), Sign(s), Power(Fabs(s), shapePower)};
    for (const Real power : {k.PowerC, k.PowerS})
      if (IsNaN(power)) terms.MaxPower = std::numeric_limits<double>::quiet_NaN();
      else terms.MaxPower = std::max(terms.MaxPower, static_cast<double>(power));
    terms.Terms.push_back(k);
  }
  cachedSteps = steps;
  cachedExponent = exponent;
  return terms;
}

// The shape of an outline: the ellipse's rotation, axes, exponent and steps, and a
// centre. Its points are x = ((0 + r00 u) + r01 v) + c0 and y alike, summed as
// MultiplyMatrixVector and AddVectors sum: the start (u, v) = (a, 0), then one per term,
// u = Sign(c) * a * Power(|c|, 2 / Exponent) evaluated in that order, and v alike.
struct TOutlineShape {
  Real R00, R01, R10, R11, A, B, C0, C1;
  double Exponent;
  int32_t Steps;
  // Calls point(i, x, y) with the coordinates of every point before rounding.
  template <typename TPointFn>
  void ForEachPoint(TPointFn point) const {
    const std::vector<TOutlineTerm>& terms = OutlineTerms(Steps, Exponent).Terms;
    point(size_t{0}, At(A, Real(0), 0), At(A, Real(0), 1));
    for (size_t i = 0; i < terms.size(); ++i) {
      const Real u = terms[i].SignC * A * terms[i].PowerC, v = terms[i].SignS * B * terms[i].PowerS;
      point(i + 1, At(u, v, 0), At(u, v, 1));
    }
  }
  // Coordinate `axis` (0 for x) of point i, before rounding.
  Real Coordinate(size_t i, int axis) const {
    if (i == 0) return At(A, Real(0), axis);
    const TOutlineTerm& k = OutlineTerms(Steps, Exponent).Terms[i - 1];
    return At(k.SignC * A * k.PowerC, k.SignS * B * k.PowerS, axis);
  }
  // Coordinate `axis` of the point (u, v) in the ellipse's own frame.
  Real At(Real u, Real v, int axis) const {
    return axis == 0 ? ((Real(0) + R00 * u) + R01 * v) + C0 : ((Real(0) + R10 * u) + R11 * v) + C1;
  }
};

// Outlines of small regions repeat: the same shape at other places, its numbers alike
// but for the last bits (the moments were summed at other coordinates). Points are
// kept per shape at the centre's fraction and shifted by the centre's whole part. They
// are exact wherever a coordinate lies farther from a half (where rounding turns) than
// it can move: Deviation bounds how far a coordinate of one shape lies from that of a
// kept one, and the sum with the whole part moves it by less than 2^-42 below 2^20.
// The few coordinates within kNearHalf of a half (as where a 1-pixel region's outline
// passes exactly through one) are worked out at the real centre.
constexpr double kNearHalf = 0x1p-30;
constexpr double kSameShape = 0x1p-32;  // the most Deviation may be: far below kNearHalf

struct TShiftedOutline {
  TOutlineShape Shape;  // at the centre's fraction
  bool Usable = false;  // no coordinate of 2^20 or more
  // The rounded points, equal ones in a row as one, but a point with a coordinate near
  // a half always on its own, as its rounding may differ at another place.
  std::vector<TPathPoint> Path;
  struct TNear {
    uint32_t Entry;  // in Path
    uint32_t Point;  // of the outline, from 0
    int Axis;        // 0 for x
  };
  std::vector<TNear> Near;
};

void MakeShiftedOutline(TShiftedOutline& o) {
  const Real half = Real(0.5), margin = Real(kNearHalf), limit = Real(0x1p20);
  o.Path.clear();
  o.Near.clear();
  o.Usable = true;
  bool lastNear = true;  // the first point starts an entry
  o.Shape.ForEachPoint([&](size_t i, Real x, Real y) {
    bool nearX = false, nearY = false;
    // A coordinate's distance from the nearest half is 1/2 less its distance from the
    // nearest whole number, both exact here.
    auto round = [&](Real v, bool& near) {
      if (!(Fabs(v) < limit)) {
        o.Usable = false;
        return 0;
      }
      const int64_t r = RoundHalfEven(v);
      near = !(half - Fabs(v - Real(r)) > margin);
      return static_cast<int32_t>(r);
    };
    const TPoint p{round(x, nearX), round(y, nearY)};
    const bool near = nearX || nearY;
    if (near || lastNear || !(p == o.Path.back().Point)) {
      o.Path.push_back(TPathPoint{p, 1});
      const auto entry = static_cast<uint32_t>(o.Path.size() - 1);
      if (nearX) o.Near.push_back({entry, static_cast<uint32_t>(i), 0});
      if (nearY) o.Near.push_back({entry, static_cast<uint32_t>(i), 1});
    } else {
      ++o.Path.back().Count;
    }
    lastNear = near;
  });
}

// At most how far a coordinate of b, before rounding, lies from the same coordinate of
// a; not below kSameShape (NaN included) where they differ in more than the last bits
// or in exponent or steps. With p the largest power of the terms, a term r u of a point
// differs by at most (|r - r'| |a'| + |r| |a - a'|) p; each side's rounding is at most
// 4 units of 2^-64 of (|r00 a| + |r01 b|) p + 1, and the double sums here at most double.
double Deviation(const TOutlineShape& a, const TOutlineShape& b) {
  if (a.Exponent != b.Exponent || a.Steps != b.Steps) return kSameShape;
  const double p = OutlineTerms(a.Steps, a.Exponent).MaxPower;
  auto mag = [](Real v) { return static_cast<double>(Fabs(v)); };
  auto diff = [](Real v, Real w) { return static_cast<double>(Fabs(v - w)); };
  const double da = diff(a.A, b.A), db = diff(a.B, b.B);
  auto axis = [&](Real ru, Real rv, Real ru2, Real rv2, Real c, Real c2) {
    const double terms =
        (diff(ru, ru2) * mag(b.A) + mag(ru) * da + diff(rv, rv2) * mag(b.B) + mag(rv) * db) * p +
        diff(c, c2);
    const double size =
        (mag(ru) * mag(a.A) + mag(rv) * mag(a.B) + mag(ru2) * mag(b.A) + mag(rv2) * mag(b.B)) * p + 2;
    return 2 * (terms + size * 0x1p-62);
  };
  const double x = axis(a.R00, a.R01, b.R00, b.R01, a.C0, b.C0);
  const double y = axis(a.R10, a.R11, b.R10, b.R11, a.C1, b.C1);
  return x >= y || std::isnan(x) ? x : y;  // NaN from either side
}

// The outlines met last, per thread, found by their numbers cut to 2^-36 (shapes alike
// but for the last bits mostly cut alike).
const TShiftedOutline* ShiftedOutline(const TOutlineShape& shape) {
  constexpr size_t Slots = 4096;
  thread_local std::vector<TShiftedOutline> entries(Slots);
  uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(shape.Steps);
  for (const Real v : {shape.R00, shape.R01, shape.R10, shape.R11, shape.A, shape.B, shape.C0,
                       shape.C1}) {
    if (!(Fabs(v) < Real(0x1p20))) return nullptr;
    const auto key = static_cast<int64_t>(static_cast<double>(v) * 0x1p36);  // below 2^56
    h = (h ^ static_cast<uint64_t>(key)) * 1099511628211ull;
  }
  TShiftedOutline& entry = entries[static_cast<size_t>((h ^ h >> 29) % Slots)];
  if (entry.Path.empty() || !(Deviation(entry.Shape, shape) < kSameShape)) {
    entry.Shape = shape;
    MakeShiftedOutline(entry);
  }
  return entry.Usable ? &entry : nullptr;
}

// The rounded points of an outline, equal ones in a row mostly as one, into path.
void OutlinePath(const TOutlineShape& shape, std::vector<TPathPoint>& path) {
  const Real limit = Real(0x1p20);
  if (Fabs(shape.C0) < limit && Fabs(shape.C1) < limit) {
    const Real x = Floor(shape.C0), y = Floor(shape.C1);
    TOutlineShape fraction = shape;
    fraction.C0 = shape.C0 - x;  // exact: below 2^20, the whole part and the rest fit
    fraction.C1 = shape.C1 - y;
    if (const TShiftedOutline* kept = ShiftedOutline(fraction)) {
      const auto dx = static_cast<int32_t>(x), dy = static_cast<int32_t>(y);
      path.resize(kept->Path.size());
      for (size_t i = 0; i < path.size(); ++i) {
        const TPathPoint& p = kept->Path[i];
        path[i] = TPathPoint{TPoint{p.Point.X + dx, p.Point.Y + dy}, p.Count};
      }
      for (const TShiftedOutline::TNear& near : kept->Near)
        (near.Axis == 0 ? path[near.Entry].Point.X : path[near.Entry].Point.Y) =
            RoundCoordinate(shape.Coordinate(near.Point, near.Axis));
      return;
    }
  }
  // The plain way, at the centre itself.
  path.clear();
  shape.ForEachPoint([&](size_t, Real x, Real y) {
    const TPoint p{RoundCoordinate(x), RoundCoordinate(y)};
    if (!path.empty() && path.back().Point == p)
      ++path.back().Count;
    else
      path.push_back(TPathPoint{p, 1});
  });
}

}  // namespace

void TEllipse::DrawOutline(ICanvas& canvas, int32_t steps, int32_t penWidth) const {
  if (steps < 2) return;  // no quarter turn can be divided: nothing to draw
  canvas.SetPenColor(Color);
  canvas.SetPenWidth(penWidth);
  thread_local std::vector<TPathPoint> path;
  OutlinePath(TOutlineShape{Rotation[0][0], Rotation[0][1], Rotation[1][0], Rotation[1][1],
                            Axes[0], Axes[1], Center[0], Center[1], Exponent, steps},
              path);
  canvas.Polyline(path);
}

// ---- TRectangle ----

TRectangle TRectangle::CreateFromBytes(const TByteArray& bytes) {
  TRectangle r;
  int32_t pos = 0;
  r.Left = ExtractInteger(bytes, pos);
  r.Top = ExtractInteger(bytes, pos);
  r.Right = ExtractInteger(bytes, pos);
  r.Bottom = ExtractInteger(bytes, pos);
  r.Color = static_cast<TColor>(ExtractInteger(bytes, pos));
  return r;
}

void TRectangle::SaveToBytes(TByteArray& bytes) const {
  bytes.clear();
  bytes.reserve(ByteSize);
  AppendInteger(bytes, Left);
  AppendInteger(bytes, Top);
  AppendInteger(bytes, Right);
  AppendInteger(bytes, Bottom);
  AppendInteger(bytes, static_cast<int32_t>(Color));
}

void TRectangle::PaintInto(TPattern& pattern) const {
  // Only the part of the rectangle that the pattern holds can change.
  int32_t xs = std::max(Left, pattern.Left), xe = std::min(Right, pattern.Right);
  int32_t ys = std::max(Top, pattern.Top), ye = std::min(Bottom, pattern.Bottom);
  for (int32_t x = xs; x <= xe; ++x)
    for (int32_t y = ys; y <= ye; ++y) pattern.SetPixel(x, y, Color);
}

void TRectangle::DrawFrame(TColor frameColor, ICanvas& canvas) const {
  canvas.SetBrushColor(frameColor);
  canvas.FrameRect(TRect{Left, Top, PastEnd(Right), PastEnd(Bottom)});
}

void TRectangle::Fill(ICanvas& canvas) const {
  canvas.SetBrushColor(Color);
  canvas.FillRect(TRect{Left, Top, PastEnd(Right), PastEnd(Bottom)});
}

}  // namespace ormax
