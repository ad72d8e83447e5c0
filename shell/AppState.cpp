#include "shell/AppState.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace ormax {

void TAppState::ResetAnalysis() {
  QuadTree.Clear();
  Segments.Clear();
  Trees.Clear();
  NormalTrees.Clear();
  SceneCodes.Clear();
  NearestIndices.clear();
  NearestMeasures.clear();
}

void TAppState::BuildSceneCodes() {
  ResetAnalysis();
  if (!SceneImage) throw std::logic_error("No scene is open");
  BuildQuadTree(*SceneImage, QuadTree);
  SegmentPattern(*SceneImage, QuadTree, Segments);  // the Quadro view's tree serves too
  for (int32_t i = 0; i < Segments.Count(); ++i) {
    const TPattern& region = Segments.Items(i);
    auto tree = std::make_unique<TTree>();
    BuildRepresentation(region, *tree, MaxTreeLevel, AdmissibleError, 0);
    const TTree& kept = Trees.Add(std::move(tree));
    auto normal = TTree::CreateCopy(kept);
    NormaliseTree(region, *normal);
    const TTree& normalKept = NormalTrees.Add(std::move(normal));
    auto code = std::make_unique<TCode>();
    TreeToCode(normalKept, *code);
    code->AdmissibleError = AdmissibleError;
    code->MaxLevel = MaxTreeLevel;
    SceneCodes.Add(std::move(code));
  }
}

void TAppState::BuildSceneNearestIndices() {
  if (CodeBase.Empty()) throw std::logic_error("The base holds no code to compare with");
  const int32_t count = SceneCodes.Count();
  NearestIndices.assign(static_cast<size_t>(count), 0);
  NearestMeasures.assign(static_cast<size_t>(count), 0.0);
  // Scene codes are handed out one at a time to the threads; each result goes to its
  // own slot, so the results do not depend on the number of threads.
  std::atomic<int32_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto work = [&] {
    try {
      for (int32_t i = next++; i < count; i = next++)
        NearestIndices[static_cast<size_t>(i)] = FindNearest(
            CodeBase, SceneCodes.GetCode(i), CodeDistance, NearestMeasures[static_cast<size_t>(i)]);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  int32_t threads = RecognitionThreads > 0
                        ? RecognitionThreads
                        : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  threads = std::max(1, std::min(threads, count));
  std::vector<std::thread> pool;
  for (int32_t t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

std::string FormatGeneral(long double value, int precision, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;

  // Enough digits of the exact value to round half up at the precision'th digit.
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.*Le", precision + 40, std::fabs(value));
  std::string digits;
  const char* p = buffer;
  for (; *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exponent = std::atoi(p + 1) + 1;  // value = 0.d1d2... x 10^exponent

  const bool roundUp = digits[static_cast<size_t>(precision)] >= '5';
  digits.resize(static_cast<size_t>(precision));
  if (roundUp) {
    int k = precision - 1;
    while (k >= 0 && digits[static_cast<size_t>(k)] == '9') digits[static_cast<size_t>(k--)] = '0';
    if (k >= 0) {
      ++digits[static_cast<size_t>(k)];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = value < 0 ? "-" : "";
  const int n = static_cast<int>(digits.size());
  if (exponent >= -3 && exponent <= precision) {
    if (exponent <= 0) {
      text += "0";
      text += decimalSeparator;
      text += std::string(static_cast<size_t>(-exponent), '0') + digits;
    } else if (exponent >= n) {
      text += digits + std::string(static_cast<size_t>(exponent - n), '0');
    } else {
      text += digits.substr(0, static_cast<size_t>(exponent));
      text += decimalSeparator;
      text += digits.substr(static_cast<size_t>(exponent));
    }
  } else {
    text += digits[0];
    if (n > 1) {
      text += decimalSeparator;
      text += digits.substr(1);
    }
    text += "E" + std::to_string(exponent - 1);
  }
  return text;
}

}  // namespace ormax
