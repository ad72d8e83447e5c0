// ViewCommand: the scene is analysed as far as the view needs, by the application
// layer, and drawn by the same view code as the desktop program's.
//   RunView
#include "cli/ViewCommand.h"

#include <optional>

#include "app/BaseBuilder.h"
#include "app/RecognitionRows.h"
#include "app/Views.h"
#include "cli/Pictures.h"
#include "qt/QtCanvas.h"

namespace ormax {

namespace {

TView ViewOption(const QCommandLineParser& p) {
  const std::optional<TView> view = ViewNamed(Str(p.value("view")));
  if (!view) throw EUsage("--view is " + ViewNameList());
  return *view;
}

void AddViewOptions(QCommandLineParser& p) {
  p.addOption(Option({"v", "view"}, QString::fromStdString(ViewNameList() + "."), "VIEW"));
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 0, or the base's).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0, or the base's).", "E"));
  p.addOption(Option({"max-view-level"},
                     "Deepest level drawn, from 0 (default -1: the maximum tree level).", "V"));
  p.addOption(Option({"fill"}, "Filled ellipses (the default)."));
  p.addOption(Option({"outline"}, "Outlined ellipses."));
  p.addOption(Option({"sameness"}, "Recognition labels with their sameness."));
  p.addOption(Option({"b", "base"}, "The base list file (recognition only).", "LIST.txt"));
  p.addOption(Option({"o", "output"},
                     "The picture to write: BMP, or PNG for a .png name (required).", "OUT.bmp"));
  AddReadingOptions(p, true);
}

// The state's settings from the base and the options, in that order.
void ApplySettings(const QCommandLineParser& p, TAppState& s) {
  if (p.isSet("base")) {
    LoadBase(Str(p.value("base")), s.CodeBase);
    s.AdmissibleError = s.CodeBase.AdmissibleError;
    s.MaxTreeLevel = s.CodeBase.MaxLevel;
  }
  s.MaxTreeLevel = LevelOption(p, "level", s.MaxTreeLevel);
  s.AdmissibleError = ErrorOption(p, s.AdmissibleError);
  s.FillEllipses = !p.isSet("outline");
  s.ShowSameness = p.isSet("sameness");
}

// Returns the warning of a scene whose background is not white, if any.
std::string DrawAndWrite(const QCommandLineParser& p, TView view, int32_t maxViewLevel) {
  const QString file = p.positionalArguments()[0];
  const TSceneReading reading =
      ReadingOption(p, p.isSet("base") ? ReadingOfBaseList(Str(p.value("base"))).value_or(TSceneReading())
                                       : TSceneReading());
  TCliScene scene = LoadScene(file, reading, 0);
  TAppState& s = *scene.State;
  ApplySettings(p, s);
  s.MaxViewLevel = ViewLevel(maxViewLevel, s.MaxTreeLevel);
  // The views of the regions let the scene's pixels go before their picture is made,
  // and keep of each region only what they draw.
  switch (view) {
    case TView::Scene:
      break;
    case TView::Quadro:  // the quadtree alone
      s.QuadTree.Build(*s.SceneImage);
      break;
    case TView::Segmentation:
    case TView::Representation:  // its trees are drawn as they are made
      s.SegmentScene();
      s.SceneImage.reset();
      break;
    case TView::Recognition:
      StreamNearestIndices(s);
      break;
  }
  if (view == TView::Representation) {
    QImage picture = scene.NewPicture();
    {
      TQtCanvas canvas(picture);
      StreamRepresentationView(s, canvas);
    }
    WritePicture(picture, p.value("output"));
  } else {
    WriteViewPicture(view, scene, p.value("output"));
  }
  return MisfitWarning(file, s);
}

}  // namespace

int RunView(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  AddViewOptions(p);
  if (!ParseCommand(p, arguments, cx,
                    "Draws one view of the desktop program for a scene and writes it as a BMP.",
                    "One scene picture.", "scene"))
    return 0;
  if (p.positionalArguments().size() != 1) throw EUsage("view takes exactly one scene");
  if (!p.isSet("output")) throw EUsage("view needs -o OUT.bmp");
  const TView view = ViewOption(p);
  if (view == TView::Recognition && !p.isSet("base"))
    throw EUsage("the recognition view needs --base LIST.txt");
  if (p.isSet("fill") && p.isSet("outline"))
    throw EUsage("--fill and --outline exclude each other");
  // Checked before any work.
  const auto maxViewLevel = static_cast<int32_t>(
      WholeOption(p, "max-view-level", TreeLevelView, MaxRepresentationLevel, TreeLevelView));
  try {
    ReportWarnings(cx, {DrawAndWrite(p, view, maxViewLevel)});
  } catch (const EUsage&) {
    throw;
  } catch (const std::exception& e) {
    cx.Err << "ormax-cli: " << ProblemText(e) << "\n";
    return ExitInputFailed;
  }
  return 0;
}

}  // namespace ormax
