// Renders the result library's drawing callbacks with QPainter: the program's result
// window, its pictures for the clipboard and printing, and the command line's PNGs.
#pragma once

#include <QPainter>

#include "PostDrawing.h"

namespace vemto::post {

class PostPainter {
 public:
  /// Draws on `painter`, which must outlive this object.
  explicit PostPainter(QPainter& painter);
  /// The callbacks to hand to the library (valid as long as this object).
  const VemtoPostDrawing* Drawing() const { return &drawing_; }

 private:
  static void Fill(void* context, const double* xy, int32_t n, uint32_t rgb);
  static void Line(void* context, const double* xy, int32_t n, uint32_t rgb, double width,
                   int32_t dashed);
  static void Text(void* context, double x, double y, const char* utf8, double size, uint32_t rgb,
                   int32_t align);
  QPainter& painter_;
  VemtoPostDrawing drawing_{};
};

}  // namespace vemto::post
