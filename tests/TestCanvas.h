// TestCanvas: an in-memory canvas for the core's tests. Pixels live in a plain array
// (white at start); lines are recorded as the list of points the pen visited, text
// as the strings written, so a test can check exactly what a routine asked for.
#pragma once

#include <string>
#include <vector>

#include "canvas/Canvas.h"

namespace ormax::testing {

class TestCanvas : public ICanvas {
 public:
  TestCanvas(int32_t width, int32_t height, TColor fill = clWhite)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

  TRect ClipRect() const override { return TRect{0, 0, width_, height_}; }
  TColor GetPixel(int32_t x, int32_t y) const override {
    return Inside(x, y) ? pixels_[Offset(x, y)] : 0;
  }
  void SetPixel(int32_t x, int32_t y, TColor color) override {
    if (Inside(x, y)) pixels_[Offset(x, y)] = color;
  }
  void SetBrushColor(TColor color) override { brush = color; }
  void FillRect(const TRect& r) override {
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      for (int32_t x = r.Left; x < r.Right; ++x) SetPixel(x, y, brush);
  }
  void FrameRect(const TRect& r) override {
    for (int32_t x = r.Left; x < r.Right; ++x) {
      SetPixel(x, r.Top, brush);
      SetPixel(x, r.Bottom - 1, brush);
    }
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      SetPixel(r.Left, y, brush);
      SetPixel(r.Right - 1, y, brush);
    }
  }
  void SetPenColor(TColor color) override { pen = color; }
  void SetPenWidth(int32_t width) override { penWidth = width; }
  void MoveTo(int32_t x, int32_t y) override { path.push_back({TPoint{x, y}, false}); }
  void LineTo(int32_t x, int32_t y) override { path.push_back({TPoint{x, y}, true}); }
  void SetFontSize(int32_t points) override { fontSize = points; }
  void SetFontColor(TColor color) override { fontColor = color; }
  void TextOut(int32_t x, int32_t y, const std::string& text) override {
    texts.push_back({TPoint{x, y}, text});
  }
  int32_t TextHeight() const override { return textHeight; }

  struct PathPoint {
    TPoint Point;
    bool Drawn;  // false for MoveTo
  };
  struct Text {
    TPoint At;
    std::string Value;
  };

  TColor brush = clWhite;
  TColor pen = 0;
  int32_t penWidth = 1;
  int32_t fontSize = 0;
  int32_t textHeight = 16;
  TColor fontColor = 0;
  std::vector<PathPoint> path;
  std::vector<Text> texts;

  // Pixels as rows of characters, one per pixel, using legend[i] for color i in
  // colors, '?' for any other colour.
  std::vector<std::string> Rows(const std::vector<TColor>& colors,
                                const std::string& legend) const {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < height_; ++y) {
      std::string row;
      for (int32_t x = 0; x < width_; ++x) {
        char c = '?';
        for (size_t i = 0; i < colors.size(); ++i)
          if (colors[i] == GetPixel(x, y)) c = legend[i];
        row += c;
      }
      rows.push_back(row);
    }
    return rows;
  }

 private:
  bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  size_t Offset(int32_t x, int32_t y) const { return static_cast<size_t>(y) * width_ + x; }

  int32_t width_, height_;
  std::vector<TColor> pixels_;
};

}  // namespace ormax::testing
