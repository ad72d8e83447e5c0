// BaseBuilder: each copy is analysed by its own application state with the base's
// settings, exactly as a scene of one shape would be. The copies are independent jobs
// on the worker pool; each keeps what it gave in its own slot, and the slots are read in
// the order of the entries.
//   DefaultScales, TurnName, ShapeEntries, BuildBase, LoadBase
#include "app/BaseBuilder.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "app/AppState.h"
#include "app/FormatGeneral.h"
#include "app/WorkerPool.h"
#include "codes/Errors.h"
#include "model/Resampling.h"

namespace ormax {

std::vector<double> DefaultScales(int32_t turns) {
  return turns == 1 ? std::vector<double>{1.0} : TBaseOptions{}.Scales;
}

std::string TurnName(const std::string& shape, double degrees, bool mirrored, double scale) {
  return shape + "@" + (mirrored ? "m" : "") + FormatGeneral(degrees, 6) +
         (scale == 1 ? "" : "x" + FormatGeneral(scale, 6));
}

namespace {

// One copy of a picture: the move that makes it and the entry's name.
struct TCopyMove {
  TResampling Move;
  bool Plain = false;  // the picture itself, under the shape's name
  std::string Name;
};

// Every copy of a picture, in the order of its entries: turn 0, 1, ... at each size,
// and then the mirrored ones.
std::vector<TCopyMove> CopyMoves(const std::string& shape, const TBaseOptions& options) {
  std::vector<TCopyMove> moves;
  for (int m = 0; m <= (options.Mirror ? 1 : 0); ++m)
    for (const double scale : options.Scales)
      for (int32_t k = 0; k < options.Turns; ++k) {
        TCopyMove c;
        c.Move.Degrees = 360.0 * k / options.Turns;
        c.Move.Scale = scale;
        c.Move.Mirror = m == 1;
        c.Plain = options.Turns == 1 && m == 0 && scale == 1;
        c.Name = c.Plain ? shape : TurnName(shape, c.Move.Degrees, c.Move.Mirror, scale);
        moves.push_back(std::move(c));
      }
  return moves;
}

// What one copy gave: its code when it holds exactly one region, else the number of
// regions; or what was thrown while it was made.
struct TCopy {
  std::unique_ptr<TCode> Code;
  int32_t Regions = 0;
  std::exception_ptr Failure;
};

// A copy is analysed as a scene of one shape would be. Only the part of the copy around
// the picture's pixels other than white is made: everything else is white, and the
// regions stay where they are in the whole copy, so their codes are the same.
TCopy MakeCopy(const TPattern& picture, const TResampler& copies, const TCopyMove& c,
               const TBaseOptions& options) {
  TCopy made;
  try {
    TAppState s;
    s.Threads = 1;
    // (Not one make_unique of "plain ? picture : part": that would copy the part.)
    s.SceneImage = c.Plain ? std::make_unique<TPattern>(picture)
                           : std::make_unique<TPattern>(copies.Part(c.Move));
    s.MaxTreeLevel = options.MaxTreeLevel;
    s.AdmissibleError = options.AdmissibleError;
    s.Reading = options.Reading;
    s.SegmentScene();  // no quadtree: only the regions' codes are needed
    made.Regions = s.Segments.Count();
    if (made.Regions != 1) return made;
    s.SceneImage.reset();
    s.StreamRegionResults([&](int32_t, TRegionResults& r) { made.Code = std::move(r.Code); });
  } catch (...) {
    made.Failure = std::current_exception();
  }
  return made;
}

// The entries of a picture's copies, taken in order as they would have been made one
// after the other: the first copy that throws, throws; the first without exactly one
// region gives the problem and no entries.
std::vector<TBaseEntry> EntriesOf(const std::vector<TCopyMove>& moves, std::vector<TCopy>& copies,
                                  std::string& problem) {
  problem.clear();
  std::vector<TBaseEntry> entries;
  for (size_t i = 0; i < moves.size(); ++i) {
    TCopy& copy = copies[i];
    if (copy.Failure) std::rethrow_exception(copy.Failure);
    if (copy.Regions != 1) {
      problem = std::to_string(copy.Regions) + " regions" +
                (moves[i].Plain ? "" : " in the copy " + moves[i].Name) +
                ", a base picture needs exactly one";
      return {};
    }
    entries.push_back(TBaseEntry{moves[i].Name, std::move(copy.Code)});
  }
  return entries;
}

}  // namespace

std::vector<TBaseEntry> ShapeEntries(const TPattern& picture, const std::string& shape,
                                     const TBaseOptions& options, std::string& problem) {
  const std::vector<TCopyMove> moves = CopyMoves(shape, options);
  const TResampler resampler(picture);
  std::vector<TCopy> copies(moves.size());
  RunInParallel(static_cast<int32_t>(moves.size()), options.Threads, [&](int32_t i) {
    const auto k = static_cast<size_t>(i);
    copies[k] = MakeCopy(picture, resampler, moves[k], options);
  });
  return EntriesOf(moves, copies, problem);
}

namespace {

// The entries a picture made.
struct TMade {
  const TBasePicture* Picture;
  std::vector<TBaseEntry> Entries;
};

// A base picture as read, and its copies once they are made.
struct TRead {
  std::unique_ptr<TPattern> Pattern;
  std::string Unreadable;      // what the reader threw
  std::exception_ptr Failure;  // anything else thrown while it was read or looked at
  std::string Misfit;
  std::unique_ptr<TResampler> Resampler;
  std::vector<TCopyMove> Moves;
  std::vector<TCopy> Copies;
};

// Reads one picture and readies its copies; the background misfit only when asked for
// (warnings) and read on white.
void ReadBasePicture(const TBasePicture& picture,
                     const std::function<std::unique_ptr<TPattern>(const TBasePicture&)>& load,
                     const TBaseOptions& options, bool warnings, TRead& r) {
  try {
    r.Pattern = load(picture);
  } catch (const std::exception& e) {
    r.Unreadable = e.what();
    return;
  } catch (...) {
    r.Failure = std::current_exception();
    return;
  }
  try {
    if (!r.Pattern) throw std::logic_error(picture.File + ": the reader gave no picture");
    if (warnings && options.Reading.Background == TBackground::White) {
      TAppState s;  // the picture as it is, not a copy: a copy's corners are white
      s.Threads = 1;
      s.Reading = options.Reading;
      s.SceneImage = std::make_unique<TPattern>(*r.Pattern);
      s.SegmentScene();
      r.Misfit = s.BackgroundMisfit;
    }
    r.Moves = CopyMoves(picture.Shape, options);
    r.Copies.resize(r.Moves.size());
    r.Resampler = std::make_unique<TResampler>(*r.Pattern);
  } catch (...) {
    r.Failure = std::current_exception();
  }
}

}  // namespace

void BuildBase(const std::vector<TBasePicture>& pictures,
               const std::function<std::unique_ptr<TPattern>(const TBasePicture&)>& load,
               const TBaseOptions& options, TCodeBase& base, std::vector<std::string>& problems,
               std::vector<std::string>* warnings) {
  std::vector<TMade> made;
  // A few pictures at a time are read, on every thread, and then all their copies are
  // made; what they gave is taken in the order of the pictures, as if each had been read
  // and copied after the one before.
  const int32_t threads = WorkerCount(options.Threads);
  const size_t batch = 2 * static_cast<size_t>(threads);
  for (size_t start = 0; start < pictures.size(); start += batch) {
    const size_t count = std::min(batch, pictures.size() - start);
    std::vector<TRead> read(count);
    RunInParallel(static_cast<int32_t>(count), threads, [&](int32_t i) {
      ReadBasePicture(pictures[start + static_cast<size_t>(i)], load, options, warnings != nullptr,
                      read[static_cast<size_t>(i)]);
    });
    // Every copy of the pictures read is a job of its own.
    std::vector<std::pair<size_t, size_t>> jobs;
    for (size_t i = 0; i < count; ++i)
      if (read[i].Resampler)
        for (size_t k = 0; k < read[i].Moves.size(); ++k) jobs.emplace_back(i, k);
    RunInParallel(static_cast<int32_t>(jobs.size()), threads, [&](int32_t j) {
      const auto [i, k] = jobs[static_cast<size_t>(j)];
      TRead& r = read[i];
      r.Copies[k] = MakeCopy(*r.Pattern, *r.Resampler, r.Moves[k], options);
    });
    for (size_t i = 0; i < count; ++i) {
      const TBasePicture& picture = pictures[start + i];
      TRead& r = read[i];
      if (!r.Pattern && !r.Failure) {
        problems.push_back(r.Unreadable);
        continue;
      }
      if (r.Failure) std::rethrow_exception(r.Failure);
      if (!r.Misfit.empty()) warnings->push_back(picture.File + ": " + r.Misfit);
      std::string problem;
      auto entries = EntriesOf(r.Moves, r.Copies, problem);
      if (!problem.empty()) {
        problems.push_back(picture.File + ": " + problem);
        continue;
      }
      made.push_back(TMade{&picture, std::move(entries)});
    }
  }
  for (TMade& picture : made)
    for (TBaseEntry& entry : picture.Entries) {
      const int32_t depth = entry.Code->Depth();
      if (base.Admit(entry.Name, entry.Code) == TBaseMismatch::None) continue;
      const int32_t level = options.MaxTreeLevel;
      problems.push_back(picture.Picture->File + ": the tree of " + entry.Name + " reaches level " +
                         std::to_string(depth) + ", not " + std::to_string(level) +
                         ", so the base would not load; --error 0 " +
                         "lets every tree reach the maximum level" +
                         (depth < level ? ", and a smaller --level suits a small shape" : ""));
    }
}

void LoadBase(const std::string& list, TCodeBase& base) {
  int32_t loaded = 0;
  try {
    loaded = base.LoadBaseList(list);
  } catch (const EDataError& e) {
    // A code file the list names: the list is named too.
    const std::string text = WithReason(e);
    throw EReadError(e.File() == list ? text : list + ": " + text, e.File(), e.Reason());
  }
  if (loaded == 0) throw EReadError(list + ": the base is empty", list, "the base is empty");
}

}  // namespace ormax
