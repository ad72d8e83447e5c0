// Module: the Python module `ormax`, one more front end over the application layer:
// scenes from files or numpy arrays, their regions and codes, bases, recognition,
// views, and the rows of `ormax-cli recognize --format csv`.
//   PYBIND11_MODULE(ormax): the module's attributes, then one Bind function per class
//   (BindErrors: Error; BindRegion, BindMatch, BindRecognition, BindBase, BindScene:
//   Region, Match, Recognition, Base, Scene) and BindFunctions: reduce_colours
// Analysis, recognition, loading and building run without the interpreter's lock, so
// Python threads work in parallel. Every failure surfaces as ormax.Error.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <sstream>

#include "analysis/Nearest.h"
#include "app/BaseBuilder.h"
#include "app/EntryNames.h"
#include "app/MethodSettings.h"
#include "app/RecognitionRows.h"
#include "app/Views.h"
#include "app/Results.h"
#include "codes/Errors.h"
#include "qt/QtBitmap.h"
#include "python/PyScene.h"

namespace py = pybind11;

namespace ormax {

namespace {

PyObject* ErrorType = nullptr;

// Sets ormax.Error(message) with .file and .reason (None where empty).
void SetError(const std::string& message, const std::string& file, const std::string& reason) {
  py::object error = py::reinterpret_borrow<py::object>(ErrorType)(message);
  error.attr("file") = file.empty() ? py::object(py::none()) : py::object(py::str(file));
  error.attr("reason") = reason.empty() ? py::object(py::none()) : py::object(py::str(reason));
  PyErr_SetObject(ErrorType, error.ptr());
}

void TranslateErrors(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const py::error_already_set&) {
    throw;
  } catch (const py::builtin_exception&) {
    throw;
  } catch (const EDataError& e) {
    SetError(e.what(), e.File(), e.Reason());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    SetError(e.what(), {}, {});
  }
}

TView ViewOf(const std::string& kind) {
  if (const std::optional<TView> view = ViewNamed(kind)) return *view;
  throw std::invalid_argument("view is " + ViewNameList() + ", not '" + kind + "'");
}

// What Python sees of a region: its figures and its code file's bytes.
struct TRegion {
  TRegionFigures Figures;
  TByteArray Code;
};

struct TRecognition {
  TRegion Region;
  std::string Label;
  std::vector<TShapeMatch> Matches;
};

std::vector<TRegion> Regions(const TAppState& s) {
  std::vector<TRegion> regions;
  for (int32_t r = 0; r < s.SceneCodes.Count(); ++r)
    regions.push_back(TRegion{RegionFigures(s, r), s.SceneCodes.GetCode(r).SaveToBytes()});
  return regions;
}

const std::string& FromFileDoc() {
  static const std::string doc =
      "Reads a picture (BMP, PNG, JPEG and the other formats the command line reads):\n"
      "an 8-bit picture keeps its palette, any other is reduced to the fixed 256 colours.\n"
      "background='white' (the default): exact white is the background; 'auto': the\n"
      "background is found in the picture (photos, scans, JPEG files, dark or tinted\n"
      "grounds) and becomes white. min_pixels: regions of fewer pixels are left out\n"
      "(default 0 under 'white', " +
      std::to_string(AutoMinPixels) +
      " under 'auto').\n"
      "Raises ormax.Error naming the file and the reason; an analysis of a picture\n"
      "whose background evidently is not white warns (UserWarning).";
  return doc;
}

// The reading of the keyword arguments background= and min_pixels= (None: the
// background's own default); ValueError for any other value.
TSceneReading PyReading(const std::string& background, std::optional<int64_t> minPixels) {
  const std::optional<TBackground> b = ParseBackground(background);
  if (!b) throw std::invalid_argument("background is 'white' or 'auto', not '" + background + "'");
  TSceneReading reading = DefaultReading(*b);
  if (minPixels) {
    if (*minPixels < 0 || *minPixels > MaxMinPixels)
      throw std::invalid_argument("min_pixels is a whole number from 0 to " +
                                  std::to_string(MaxMinPixels));
    reading.MinPixels = static_cast<int32_t>(*minPixels);
  }
  return reading;
}

// A UserWarning, once per analysis, when the scene's background evidently is not white.
void WarnOfMisfit(TPyScene& scene) {
  std::string misfit;
  {
    std::lock_guard<std::mutex> guard(scene.Lock);
    misfit = scene.TakeMisfit();
  }
  if (misfit.empty()) return;
  const std::string text = scene.State.SceneFileName + ": " + misfit +
                           "; its background is not exact white: try background='auto'";
  if (PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

std::vector<TRegion> AnalysedRegions(TPyScene& scene, int32_t level, double error,
                                     int32_t threads) {
  CheckedTreeLevel(level, "level");
  CheckedAdmissibleError(error, "error");
  std::vector<TRegion> regions;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> guard(scene.Lock);
    scene.Analyse(level, error, threads);
    regions = Regions(scene.State);
  }
  WarnOfMisfit(scene);
  return regions;
}

std::vector<TRecognition> Recognitions(TPyScene& scene, std::shared_ptr<TCodeBase> base,
                                       int32_t top, std::optional<double> minSameness,
                                       int32_t threads) {
  if (top < 1) throw std::invalid_argument("top is a whole number from 1");
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> guard(scene.Lock);
    scene.Recognize(std::move(base), threads);
  }
  WarnOfMisfit(scene);
  py::gil_scoped_release release;
  std::lock_guard<std::mutex> guard(scene.Lock);
  std::vector<TRecognition> results;
  for (TRegion& region : Regions(scene.State)) {
    TRecognition r{std::move(region), {}, {}};
    const TRegionFigures& f = r.Region.Figures;
    r.Label = IsLabelled(TLabelRule{minSameness}, f.Sameness, f.RunnerUpSameness, f.Pixels)
                  ? f.Shape
                  : std::string("unknown");
    r.Matches.push_back(TShapeMatch{f.Entry, f.EntryName, f.Shape, f.Distance, f.Sameness});
    if (top > 1) {
      std::vector<TShapeMatch> nearest = NearestShapes(scene.State, f.Index, top);
      r.Matches.insert(r.Matches.end(), nearest.begin() + 1, nearest.end());
    }
    results.push_back(std::move(r));
  }
  return results;
}

template <typename T>
py::array_t<T> Column(const std::vector<TRegion>& regions, T (*get)(const TRegionFigures&)) {
  py::array_t<T> column(static_cast<py::ssize_t>(regions.size()));
  auto out = column.template mutable_unchecked<1>();
  for (size_t i = 0; i < regions.size(); ++i)
    out(static_cast<py::ssize_t>(i)) = get(regions[i].Figures);
  return column;
}

py::dict Table(const std::vector<TRegion>& regions) {
  using F = const TRegionFigures&;
  py::dict t;
  t["region"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Index; });
  t["left"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Bounds.Left; });
  t["top"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Bounds.Top; });
  t["right"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Bounds.Right; });
  t["bottom"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Bounds.Bottom; });
  t["pixels"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Pixels; });
  t["center_x"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Centre.X; });
  t["center_y"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Centre.Y; });
  t["axis_a"] = Column<double>(regions, [](F f) { return f.AxisA; });
  t["axis_b"] = Column<double>(regions, [](F f) { return f.AxisB; });
  t["angle"] = Column<double>(regions, [](F f) { return f.AngleDegrees; });
  t["depth"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Depth; });
  t["items"] = Column<int64_t>(regions, [](F f) -> int64_t { return f.Items; });
  return t;
}

// A scene of an H x W x 3 uint8 array (RGB) or an H x W uint32 array (colour values).
std::unique_ptr<TPyScene> SceneOfArray(const py::array& array, const std::string& source) {
  const py::buffer_info info = array.request();
  if (info.ndim == 3 && info.shape[2] == 3 && py::isinstance<py::array_t<uint8_t>>(array)) {
    const auto* base = static_cast<const uint8_t*>(info.ptr);
    const py::ssize_t sy = info.strides[0], sx = info.strides[1], sc = info.strides[2];
    py::gil_scoped_release release;
    return TPyScene::FromColours(info.shape[0], info.shape[1], [&](int32_t y, int32_t x) {
      const uint8_t* p = base + y * sy + x * sx;
      return static_cast<TColor>(p[0]) | static_cast<TColor>(p[sc]) << 8 |
             static_cast<TColor>(p[2 * sc]) << 16;
    }, source);
  }
  if (info.ndim == 2 && info.itemsize == 4 && info.format == py::format_descriptor<uint32_t>::format()) {
    const auto* base = static_cast<const char*>(info.ptr);
    const py::ssize_t sy = info.strides[0], sx = info.strides[1];
    py::gil_scoped_release release;
    return TPyScene::FromColours(info.shape[0], info.shape[1], [&](int32_t y, int32_t x) {
      return *reinterpret_cast<const uint32_t*>(base + y * sy + x * sx);
    }, source);
  }
  std::ostringstream shape;
  for (py::ssize_t d = 0; d < info.ndim; ++d) shape << (d ? " x " : "") << info.shape[d];
  const std::string reason = "a scene array is H x W x 3 uint8 (RGB) or H x W uint32 (colour "
                             "values), not " + shape.str() + " " + std::string(py::str(array.dtype()));
  throw EReadError(source + ": cannot read the picture (" + reason + ")", source, reason);
}

py::array_t<uint8_t> RgbArray(std::vector<uint8_t> bytes, int32_t height, int32_t width) {
  py::array_t<uint8_t> out({static_cast<py::ssize_t>(height), static_cast<py::ssize_t>(width),
                            static_cast<py::ssize_t>(3)});
  std::copy(bytes.begin(), bytes.end(), out.mutable_data());
  return out;
}

std::shared_ptr<TCodeBase> LoadedBase(const std::string& list) {
  auto base = std::make_shared<TCodeBase>();
  py::gil_scoped_release release;
  LoadBase(list, *base);
  return base;
}

std::shared_ptr<TCodeBase> BuiltBase(const std::vector<std::string>& pictures, int32_t turns,
                                     bool mirror, std::optional<std::vector<double>> scales,
                                     int32_t level, double error, bool skipBad,
                                     const std::string& background,
                                     std::optional<int64_t> minPixels,
                                     std::optional<std::vector<std::string>> shapes) {
  TBaseOptions options;
  options.Reading = PyReading(background, minPixels);
  options.Turns = turns;
  options.Mirror = mirror;
  options.Scales = scales ? *scales : DefaultScales(turns);
  options.MaxTreeLevel = CheckedTreeLevel(level, "level");
  options.AdmissibleError = CheckedAdmissibleError(error, "error");
  if (turns < 1 || turns > 360) throw std::invalid_argument("turns is a whole number from 1 to 360");
  for (double s : options.Scales)
    if (!(s >= 0.1 && s <= 10)) throw std::invalid_argument("scales are sizes from 0.1 to 10");
  if (shapes && shapes->size() != pictures.size())
    throw std::invalid_argument("shapes names one shape per picture");
  // The command line's names: a picture's own, or "shape_picture", made distinct.
  std::vector<std::string> names;
  for (size_t i = 0; i < pictures.size(); ++i)
    names.push_back(PictureEntryName(PictureStem(QString::fromStdString(pictures[i])),
                                     shapes ? (*shapes)[i] : std::string()));
  names = UniqueEntryNames(names);
  std::vector<TBasePicture> sources;
  for (size_t i = 0; i < pictures.size(); ++i) sources.push_back(TBasePicture{pictures[i], names[i]});
  auto base = std::make_shared<TCodeBase>();
  std::vector<std::string> problems;
  {
    py::gil_scoped_release release;
    BuildBase(
        sources,
        [&](const TBasePicture& p) {
          return std::move(TPyScene::FromFile(p.File, options.Reading)->State.SceneImage);
        },
        options, *base, problems);
  }
  if (!problems.empty() && !skipBad) {
    std::string text;
    for (const std::string& p : problems) text += (text.empty() ? "" : "\n") + p;
    throw EReadError(text, pictures.size() == 1 ? pictures[0] : std::string(), text);
  }
  if (base->Empty()) throw EReadError("no picture made an entry", {}, "no picture made an entry");
  return base;
}

// Scene.recognition_csv: the scene's lines of `ormax-cli recognize --format csv`.
std::string RecognitionCsv(TPyScene& s, std::shared_ptr<TCodeBase> base, const std::string& name,
                           int32_t top, std::optional<double> minSameness, bool header,
                           int32_t threads) {
  if (top < 1 || top > 100) throw std::invalid_argument("top is a whole number from 1 to 100");
  std::ostringstream out;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> guard(s.Lock);
    s.Recognize(std::move(base), threads);
    WriteRecognitionCsv(out, {RecognitionRows(s.State, name, TLabelRule{minSameness}, top)}, top,
                        header);
  }
  WarnOfMisfit(s);
  return out.str();
}

// Scene.view: a view drawn as the programs draw it, as an H x W x 3 RGB array.
py::array_t<uint8_t> ViewPicture(TPyScene& s, const std::string& kind, int32_t maxViewLevel,
                                 bool fill, bool sameness) {
  const TView view = ViewOf(kind);
  EnsureGuiApplication();
  std::vector<uint8_t> rgb;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> guard(s.Lock);
    rgb = s.View(view, maxViewLevel, fill, sameness);
  }
  return RgbArray(std::move(rgb), s.Height(), s.Width());
}

// ormax.Error, with the file and the reason of every error the programs raise.
void BindErrors(py::module_& m) {
  py::object valueError = py::reinterpret_borrow<py::object>(PyExc_ValueError);
  ErrorType = PyErr_NewExceptionWithDoc(
      "ormax.Error",
      "A file or input that cannot be used: str(e) is the programs' message, e.file the\n"
      "file (or None) and e.reason why (or None).",
      valueError.ptr(), nullptr);
  m.attr("Error") = py::reinterpret_borrow<py::object>(ErrorType);
  py::register_exception_translator(&TranslateErrors);
}

// ormax.Region: the figures of a region and its code.
void BindRegion(py::module_& m) {
  py::class_<TRegion>(m, "Region",
                      "A region of a scene: its figures as `ormax-cli` prints them and its code.")
      .def_property_readonly("index", [](const TRegion& r) { return r.Figures.Index; },
                             "Position of the region in the scene (the segmentation's order).")
      .def_property_readonly("bounds", [](const TRegion& r) {
            const TRect& b = r.Figures.Bounds;
            return py::make_tuple(b.Left, b.Top, b.Right, b.Bottom);
          }, "(left, top, right, bottom), inclusive pixel coordinates.")
      .def_property_readonly("pixels", [](const TRegion& r) { return r.Figures.Pixels; },
                             "Number of pixels of the region.")
      .def_property_readonly("centre", [](const TRegion& r) {
            return py::make_tuple(r.Figures.Centre.X, r.Figures.Centre.Y);
          }, "(x, y), the middle of the bounds.")
      .def_property_readonly("axes", [](const TRegion& r) {
            return py::make_tuple(r.Figures.AxisA, r.Figures.AxisB);
          }, "(a, b), the root ellipse's semi-axes, a >= b.")
      .def_property_readonly("angle", [](const TRegion& r) { return r.Figures.AngleDegrees; },
                             "Angle of the root ellipse's first axis in degrees, from the x axis\n"
                             "towards y (which grows downwards: clockwise on screen).")
      .def_property_readonly("depth", [](const TRegion& r) { return r.Figures.Depth; },
                             "Depth of the region's tree.")
      .def_property_readonly("items", [](const TRegion& r) { return r.Figures.Items; },
                             "Number of nodes (code items) of the tree.")
      .def_property_readonly("code", [](const TRegion& r) {
            return py::bytes(reinterpret_cast<const char*>(r.Code.data()), r.Code.size());
          }, "The code, byte for byte the code file `ormax-cli codes` writes.")
      .def("__repr__", [](const TRegion& r) {
        return "<ormax.Region " + std::to_string(r.Figures.Index) + ": " +
               std::to_string(r.Figures.Pixels) + " pixels>";
      });
}

// ormax.Match: one of the nearest entries of distinct shapes.
void BindMatch(py::module_& m) {
  py::class_<TShapeMatch>(m, "Match", "One of the nearest base entries of distinct shapes.")
      .def_readonly("entry", &TShapeMatch::EntryName, "The entry's name, 'shape@turn'.")
      .def_readonly("shape", &TShapeMatch::Shape, "The shape: the name before '@'.")
      .def_readonly("index", &TShapeMatch::Entry, "Position of the entry in the base.")
      .def_readonly("distance", &TShapeMatch::Distance, "Distance of the codes, 0 for the same.")
      .def_readonly("sameness", &TShapeMatch::Sameness, "(1 - distance) x 100, in percent.")
      .def("__repr__", [](const TShapeMatch& t) {
        return "<ormax.Match " + t.EntryName + " " + std::to_string(t.Sameness) + "%>";
      });
}

// ormax.Recognition: a region, its label and its matches.
void BindRecognition(py::module_& m) {
  py::class_<TRecognition>(m, "Recognition",
                           "A recognised region: its label and its nearest entries of distinct\n"
                           "shapes, nearest first (the columns of `ormax-cli recognize --top`).")
      .def_readonly("region", &TRecognition::Region, "The Region.")
      .def_readonly("label", &TRecognition::Label,
                    "The nearest shape, or 'unknown' where the answer is withheld.")
      .def_readonly("matches", &TRecognition::Matches, "The top nearest Matches, nearest first.")
      .def_property_readonly("entry", [](const TRecognition& r) { return r.Matches[0].EntryName; },
                             "The nearest entry's name.")
      .def_property_readonly("shape", [](const TRecognition& r) { return r.Matches[0].Shape; },
                             "The nearest entry's shape (even when the label is 'unknown').")
      .def_property_readonly("distance", [](const TRecognition& r) { return r.Matches[0].Distance; },
                             "Distance to the nearest entry.")
      .def_property_readonly("sameness", [](const TRecognition& r) { return r.Matches[0].Sameness; },
                             "Sameness to the nearest entry, in percent.")
      .def("__repr__", [](const TRecognition& r) {
        return "<ormax.Recognition " + std::to_string(r.Region.Figures.Index) + ": " + r.Label + ">";
      });
}

// ormax.Base: loaded from a list or built from pictures.
void BindBase(py::module_& m) {
  py::class_<TCodeBase, std::shared_ptr<TCodeBase>>(
      m, "Base",
      "A base: named codes of one-shape pictures, all made with one admissible error and\n"
      "maximum tree level. Base.load reads a base list, Base.build makes one.")
      .def_static("load", &LoadedBase, py::arg("path"),
                  "Loads a base list file (one code file a line, relative to the list) with the\n"
                  "programs' own load test; raises ormax.Error naming the file and the reason.")
      .def_static("build", &BuiltBase, py::arg("pictures"),
                  py::arg("turns") = TBaseOptions{}.Turns, py::arg("mirror") = TBaseOptions{}.Mirror,
                  py::arg("scales") = py::none(),
                  py::arg("level") = TBaseOptions{}.MaxTreeLevel,
                  py::arg("error") = TBaseOptions{}.AdmissibleError,
                  py::arg("skip_bad") = false, py::arg("background") = "white",
                  py::arg("min_pixels") = py::none(), py::arg("shapes") = py::none(),
                  "Builds a base from pictures of one shape each, as `ormax-cli base` does with\n"
                  "the same defaults: every picture turned `turns` times by 360/turns degrees\n"
                  "at each of `scales` (by default the command line's sizes, or the picture's\n"
                  "own alone for turns=1): entries SHAPE@DEGREES, SHAPE@DEGREESxSIZE and, when\n"
                  "mirrored, SHAPE@mDEGREES; trees of `level` levels at admissible `error`.\n"
                  "A picture without exactly one region, or whose trees would make\n"
                  "the base fail to load, raises ormax.Error unless skip_bad leaves it out.\n"
                  "background and min_pixels: how the pictures are read, as Scene.from_file.\n"
                  "A picture's shape is its file name up to the first '_' (star_2.bmp is a\n"
                  "star), or shapes[i] when given; two pictures of one name get NAME, NAME_2.")
      .def("__len__", &TCodeBase::Count, "Number of entries.")
      .def_property_readonly("names", [](const TCodeBase& b) {
            std::vector<std::string> names;
            for (int32_t i = 0; i < b.Count(); ++i) names.push_back(b.Names(i));
            return names;
          }, "The entries' names, in base order.")
      .def_property_readonly("shapes", [](const TCodeBase& b) {
            std::vector<std::string> shapes;
            for (int32_t i = 0; i < b.Count(); ++i) shapes.push_back(ShapeOfEntry(b.Names(i)));
            return shapes;
          }, "The shape of each entry: its name up to the first '@' or '_'.")
      .def_readonly("admissible_error", &TCodeBase::AdmissibleError,
                    "The admissible error of the base's codes.")
      .def_readonly("max_level", &TCodeBase::MaxLevel, "The maximum tree level of its codes.")
      .def("__repr__", [](const TCodeBase& b) {
        return "<ormax.Base of " + std::to_string(b.Count()) + " entries>";
      });
}

// How an ormax.Scene is made (from an array or a file) and what it holds.
void BindSceneMaking(py::class_<TPyScene>& scene) {
  scene.def(py::init([](const py::array& array, const std::string& background,
                       std::optional<int64_t> minPixels) {
             const TSceneReading reading = PyReading(background, minPixels);
             auto scene = SceneOfArray(array, "array");
             py::gil_scoped_release release;
             scene->Read(reading);
             return scene;
           }),
           py::arg("array"), py::arg("background") = "white", py::arg("min_pixels") = py::none(),
           "A scene of a numpy array, colours as they are; background='auto' finds the\n"
           "background in the picture and makes it white, as Scene.from_file does.")
      .def_static("from_file", [](const std::string& path, const std::string& background,
                                  std::optional<int64_t> minPixels) {
            const TSceneReading reading = PyReading(background, minPixels);
            py::gil_scoped_release release;
            return TPyScene::FromFile(path, reading);
          }, py::arg("path"), py::arg("background") = "white", py::arg("min_pixels") = py::none(),
          FromFileDoc().c_str())
      .def_property_readonly("width", &TPyScene::Width, "Width in pixels.")
      .def_property_readonly("height", &TPyScene::Height, "Height in pixels.")
      .def_property_readonly("name", [](const TPyScene& s) { return s.State.SceneFileName; },
                             "The file the scene came from ('array' for an array).")
      .def("colours", [](TPyScene& s) {
            std::lock_guard<std::mutex> guard(s.Lock);
            const TPattern& p = *s.State.SceneImage;
            py::array_t<uint32_t> out({static_cast<py::ssize_t>(p.Height()),
                                       static_cast<py::ssize_t>(p.Width())});
            uint32_t* data = out.mutable_data();
            for (int32_t y = 0; y < p.Height(); ++y)
              std::copy(p.Pixels[y], p.Pixels[y] + p.Width(),
                        data + static_cast<size_t>(y) * p.Width());
            return out;
          }, "The scene's colour values ($00BBGGRR) as an H x W uint32 array (a copy).");
}

// An ormax.Scene's regions, recognition and views.
void BindSceneAnalysis(py::class_<TPyScene>& scene) {
  scene.def("regions", &AnalysedRegions, py::arg("level") = 3, py::arg("error") = 0.0,
           py::arg("threads") = 0,
           "The regions at maximum tree level `level` and admissible error `error`, each\n"
           "with its figures and code. threads: 0 takes one a core; the result does not\n"
           "depend on it.")
      .def("table", [](TPyScene& s, int32_t level, double error, int32_t threads) {
            return Table(AnalysedRegions(s, level, error, threads));
          }, py::arg("level") = 3, py::arg("error") = 0.0, py::arg("threads") = 0,
          "The regions as a dict of numpy columns (region, left, top, right, bottom,\n"
          "pixels, center_x, center_y, axis_a, axis_b, angle, depth, items), ready for\n"
          "pandas.DataFrame.")
      .def("recognize", &Recognitions, py::arg("base"), py::arg("top") = 1,
           py::arg("min_sameness") = py::none(), py::arg("threads") = 0,
           "Analyses the scene with the base's settings and gives per region a Recognition:\n"
           "the `top` nearest entries of distinct shapes, and the label ('unknown' below\n"
           "min_sameness percent, or where ormax.LABEL_RULE finds the answer doubtful when\n"
           "min_sameness is None). The same numbers as `ormax-cli recognize --top`.")
      .def("recognition_csv", &RecognitionCsv, py::arg("base"), py::arg("name"), py::arg("top") = 1,
          py::arg("min_sameness") = py::none(), py::arg("header") = true,
          py::arg("threads") = 0,
          "The scene's lines of `ormax-cli recognize --format csv`, the scene column\n"
          "holding `name`; header=False leaves the header line out. Empty for a scene\n"
          "without regions.")
      .def("view", &ViewPicture, py::arg("kind"), py::arg("max_view_level") = -1, py::arg("fill") = true,
          py::arg("sameness") = false,
          "A view as an H x W x 3 uint8 RGB array: 'scene', 'quadro', 'segmentation',\n"
          "'representation' (ellipse trees down to max_view_level, default the tree\n"
          "level; filled or outlined) or 'recognition' (labels, with the sameness if\n"
          "asked). The analysis views show the last regions() or recognize().");
}

// ormax.Scene.
void BindScene(py::module_& m) {
  py::class_<TPyScene> scene(m, "Scene",
                       "A scene: one colour value per pixel, exact white the background.\n\n"
                       "Scene(array) takes an H x W x 3 uint8 array (RGB) or an H x W uint32\n"
                       "array of colour values ($00BBGGRR) with its colours exactly as they\n"
                       "are; Scene.from_file reads a picture through the programs' 256-colour\n"
                       "reduction.");
  BindSceneMaking(scene);
  BindSceneAnalysis(scene);
  scene.def("__repr__", [](const TPyScene& s) {
        return "<ormax.Scene " + s.State.SceneFileName + " " + std::to_string(s.Width()) + " x " +
               std::to_string(s.Height()) + ">";
      });
}

// The module's functions.
void BindFunctions(py::module_& m) {
  m.def("reduce_colours", [](const py::array_t<uint8_t, py::array::c_style | py::array::forcecast>& a) {
        if (a.ndim() != 3 || a.shape(2) != 3 || a.shape(0) < 1 || a.shape(1) < 1 ||
            a.shape(0) > MaxSceneSide || a.shape(1) > MaxSceneSide)
          throw EReadError("array: cannot reduce the colours (an H x W x 3 uint8 array of at "
                           "most " + std::to_string(MaxSceneSide) + " pixels a side is needed)",
                           "array", "not an H x W x 3 array of a scene's size");
        const auto h = static_cast<int32_t>(a.shape(0)), w = static_cast<int32_t>(a.shape(1));
        std::vector<uint8_t> rgb;
        {
          py::gil_scoped_release release;
          rgb = ReduceColours(a.data(), h, w);
        }
        return RgbArray(std::move(rgb), h, w);
      }, py::arg("array"),
      "The programs' 256-colour reduction of an H x W x 3 uint8 RGB array: each pixel the\n"
      "nearest colour of the fixed palette (no dithering), as a picture file other than\n"
      "8-bit is read.");
}

}  // namespace

}  // namespace ormax

using namespace ormax;

PYBIND11_MODULE(ormax, m) {
  m.doc() =
      "Shapes in pictures, recognised by trees of ellipses: the pipeline of the Ormax 4\n"
      "programs (256-colour reduction, quadtree, 8-connected regions, moment-fitted\n"
      "ellipse trees, normalised codes) with the very same codes and numbers.\n\n"
      "    scene = ormax.Scene.from_file('scene.bmp')\n"
      "    base = ormax.Base.load('base/base.txt')\n"
      "    for r in scene.recognize(base, top=3):\n"
      "        print(r.region.index, r.label, r.sameness)\n\n"
      "Errors (bad files, bad arrays, bad arguments) raise ormax.Error, which names the\n"
      "file (.file) and the reason (.reason) where there is one.";
  m.attr("__version__") = ORMAX_VERSION;
  m.attr("LABEL_RULE") = LabelRuleHelp();
  // Scripts that passed min_sameness=DEFAULT_MIN_SAMENESS keep getting the default.
  m.attr("DEFAULT_MIN_SAMENESS") = py::none();
  BindErrors(m);
  BindRegion(m);
  BindMatch(m);
  BindRecognition(m);
  BindBase(m);
  BindScene(m);
  BindFunctions(m);
}
