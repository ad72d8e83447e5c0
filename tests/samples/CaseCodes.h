// CaseCodes: the codes of one sample case, computed as the command line computes them,
// for the tool that writes them on x86-64 and the test that computes them again.
//   ComputeCase(picture, shape, case)  the scene's codes (Kind 0) or the base entries
//                                      of the picture (Kind 1), as saved, with names
// A picture that makes no base entry gives no codes and the problem in Problem.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/BaseBuilder.h"
#include "tests/samples/SampleFiles.h"

namespace ormax::samples {

struct TCaseCodes {
  std::vector<std::string> Names;
  std::vector<std::vector<uint8_t>> Codes;
  std::string Problem;
};

inline std::vector<uint8_t> CodeBytes(const TCode& code) {
  const TByteArray b = code.SaveToBytes();
  return std::vector<uint8_t>(b.begin(), b.end());
}

inline TCaseCodes ComputeCase(const TPattern& picture, const std::string& shape, const TCase& c) {
  TCaseCodes out;
  if (c.Kind == 0) {
    TAppState state;
    state.SceneImage = std::make_unique<TPattern>(picture);
    state.AdmissibleError = c.Error;
    state.MaxTreeLevel = c.Level;
    state.Threads = 1;
    state.BuildSceneCodes();
    for (int32_t i = 0; i < state.SceneCodes.Count(); ++i)
      out.Codes.push_back(CodeBytes(state.SceneCodes.GetCode(i)));
    return out;
  }
  TBaseOptions options;
  options.Turns = c.Turns;
  options.MaxTreeLevel = c.Level;
  options.AdmissibleError = c.Error;
  for (const TBaseEntry& e : ShapeEntries(picture, shape, options, out.Problem)) {
    out.Names.push_back(e.Name);
    out.Codes.push_back(CodeBytes(*e.Code));
  }
  return out;
}

}  // namespace ormax::samples
