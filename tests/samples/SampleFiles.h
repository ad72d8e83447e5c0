// SampleFiles: what an x86-64 build writes for builds on other processors to check
// against: pictures as pixel matrices with the codes computed from them, and results of
// the extended operations as x87 gives them. Little-endian, no padding.
//   TSample, WriteSample, ReadSample  one picture: pixels, and cases of codes (the scene's
//                                     codes, or a base's entries) with their settings
//   TOperationRecord, the record file of extended operations (kind, a, b, result)
//   SampleCases  the settings every picture is coded with
// Reading throws std::runtime_error naming the file and what is wrong with it.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace ormax::samples {

struct TCase {
  uint8_t Kind = 0;  // 0: the scene's codes, 1: the entries of a base from the picture
  int32_t Level = 0;
  double Error = 0;
  int32_t Turns = 1;
  std::vector<std::string> Names;             // entry names (base entries only)
  std::vector<std::vector<uint8_t>> Codes;    // code files, as saved
};

struct TSample {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  uint32_t Background = 0;
  std::vector<uint32_t> Pixels;  // row by row
  std::vector<TCase> Cases;
};

// The settings every sample picture is coded with: the sample base's (level 3, error
// 0, every 30 degrees) and a deeper, coarser one.
inline std::vector<TCase> SampleCases(bool onePictureShape) {
  std::vector<TCase> cases(2);
  cases[0].Level = 3;
  cases[1].Level = 5;
  cases[1].Error = 0.05;
  if (onePictureShape) {
    TCase base;
    base.Kind = 1;
    base.Level = 3;
    base.Turns = 12;
    cases.push_back(base);
  }
  return cases;
}

class TWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void F64(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    U64(u);
  }
  void Bytes(const std::vector<uint8_t>& b) {
    U32(static_cast<uint32_t>(b.size()));
    bytes_.insert(bytes_.end(), b.begin(), b.end());
  }
  void Save(const std::string& file) const {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    if (!out) throw std::runtime_error(file + ": cannot be written");
  }

 private:
  std::vector<uint8_t> bytes_;
};

class TReader {
 public:
  explicit TReader(const std::string& file) : file_(file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error(file + ": cannot be opened");
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }
  uint8_t U8() {
    Need(1);
    return static_cast<uint8_t>(bytes_[pos_++]);
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[pos_++])) << (8 * i);
    return v;
  }
  uint64_t U64() {
    const uint64_t lo = U32();
    return lo | static_cast<uint64_t>(U32()) << 32;
  }
  double F64() {
    const uint64_t u = U64();
    double v;
    std::memcpy(&v, &u, 8);
    return v;
  }
  std::vector<uint8_t> Bytes() {
    const uint32_t n = U32();
    Need(n);
    std::vector<uint8_t> b(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                           bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return b;
  }

 private:
  void Need(size_t n) const {
    if (bytes_.size() - pos_ < n) throw std::runtime_error(file_ + ": cut short");
  }
  std::string file_;
  std::string bytes_;
  size_t pos_ = 0;
};

constexpr uint32_t kSampleMagic = 0x504D5358;  // "XSMP"

inline void WriteSample(const TSample& s, const std::string& file) {
  TWriter w;
  w.U32(kSampleMagic);
  w.U32(static_cast<uint32_t>(s.Left));
  w.U32(static_cast<uint32_t>(s.Top));
  w.U32(static_cast<uint32_t>(s.Width));
  w.U32(static_cast<uint32_t>(s.Height));
  w.U32(s.Background);
  for (uint32_t p : s.Pixels) w.U32(p);
  w.U32(static_cast<uint32_t>(s.Cases.size()));
  for (const TCase& c : s.Cases) {
    w.U8(c.Kind);
    w.U32(static_cast<uint32_t>(c.Level));
    w.F64(c.Error);
    w.U32(static_cast<uint32_t>(c.Turns));
    w.U32(static_cast<uint32_t>(c.Codes.size()));
    for (size_t i = 0; i < c.Codes.size(); ++i) {
      const std::string& name = i < c.Names.size() ? c.Names[i] : std::string();
      w.Bytes(std::vector<uint8_t>(name.begin(), name.end()));
      w.Bytes(c.Codes[i]);
    }
  }
  w.Save(file);
}

inline TSample ReadSample(const std::string& file) {
  TReader r(file);
  if (r.U32() != kSampleMagic) throw std::runtime_error(file + ": not a sample file");
  TSample s;
  s.Left = static_cast<int32_t>(r.U32());
  s.Top = static_cast<int32_t>(r.U32());
  s.Width = static_cast<int32_t>(r.U32());
  s.Height = static_cast<int32_t>(r.U32());
  s.Background = r.U32();
  if (s.Width < 0 || s.Height < 0 || static_cast<int64_t>(s.Width) * s.Height > (int64_t{1} << 26))
    throw std::runtime_error(file + ": impossible picture size");
  s.Pixels.resize(static_cast<size_t>(s.Width) * static_cast<size_t>(s.Height));
  for (uint32_t& p : s.Pixels) p = r.U32();
  const uint32_t cases = r.U32();
  for (uint32_t k = 0; k < cases; ++k) {
    TCase c;
    c.Kind = r.U8();
    c.Level = static_cast<int32_t>(r.U32());
    c.Error = r.F64();
    c.Turns = static_cast<int32_t>(r.U32());
    const uint32_t n = r.U32();
    for (uint32_t i = 0; i < n; ++i) {
      const std::vector<uint8_t> name = r.Bytes();
      c.Names.emplace_back(name.begin(), name.end());
      c.Codes.push_back(r.Bytes());
    }
    s.Cases.push_back(std::move(c));
  }
  if (!r.AtEnd()) throw std::runtime_error(file + ": bytes after the last case");
  return s;
}

// ---- extended operations ----

enum class TOperationKind : uint8_t {
  Add, Subtract, Multiply, Divide, Sqrt, Compare, ToDouble, FromDouble, ToInt64, ToInt32,
  Floor, Ceil, Trunc, Ldexp, Fmod, Sin, Cos, Exp, Log, Atan2, Count
};

// a and b as stored (sign/exponent word, significand); for ToDouble, FromDouble, the
// integer conversions and Compare the result's significand holds the bits of the double,
// the integer or the six comparison answers; Ldexp's exponent is b's significand.
struct TOperationRecord {
  TOperationKind Kind;
  uint16_t ASignExponent, BSignExponent, RSignExponent;
  uint64_t A, B, R;
};

inline void WriteRecord(TWriter& w, const TOperationRecord& r) {
  w.U8(static_cast<uint8_t>(r.Kind));
  w.U32(r.ASignExponent | static_cast<uint32_t>(r.BSignExponent) << 16);
  w.U32(r.RSignExponent);
  w.U64(r.A);
  w.U64(r.B);
  w.U64(r.R);
}

inline TOperationRecord ReadRecord(TReader& in) {
  TOperationRecord r;
  const uint8_t kind = in.U8();
  if (kind >= static_cast<uint8_t>(TOperationKind::Count)) throw std::runtime_error("unknown operation");
  r.Kind = static_cast<TOperationKind>(kind);
  const uint32_t ab = in.U32();
  r.ASignExponent = static_cast<uint16_t>(ab);
  r.BSignExponent = static_cast<uint16_t>(ab >> 16);
  r.RSignExponent = static_cast<uint16_t>(in.U32());
  r.A = in.U64();
  r.B = in.U64();
  r.R = in.U64();
  return r;
}

}  // namespace ormax::samples
