/* The drawing surface that the result library (libpost.so) paints its diagrams on.
 *
 * The caller owns a VemtoPostDrawing and passes its address as the "device context"
 * to FGRAPH_mp_init / FGRAPH_mp_update of libpost.so. Coordinates are pixels as
 * doubles: x grows to the right, y downwards, (0, 0) is the top-left corner. Colours
 * are 0xRRGGBB and come from the palette of the mesh drawing (colour or grey scale)
 * plus black and white. Any callback may be null, and then that kind of drawing is
 * skipped. The structure must stay valid while the library draws on it. Plain C, so
 * that the library stays free of any toolkit. */
#ifndef VEMTO_POST_DRAWING_H
#define VEMTO_POST_DRAWING_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VemtoPostDrawing {
  void* context; /* handed back unchanged to every callback */
  /* Fills the polygon through n points (xy holds x0, y0, x1, y1, ...) with colour rgb,
   * without an outline. */
  void (*fill)(void* context, const double* xy, int32_t n, uint32_t rgb);
  /* Draws connected lines through n points in colour rgb, width in pixels; dashed 1
   * draws a dashed line. */
  void (*line)(void* context, const double* xy, int32_t n, uint32_t rgb, double width,
               int32_t dashed);
  /* Writes UTF-8 text with its baseline at y; align 0 puts its left end at x, 1 its
   * centre, 2 its right end; size is the font's pixel height. */
  void (*text)(void* context, double x, double y, const char* utf8, double size, uint32_t rgb,
               int32_t align);
} VemtoPostDrawing;

#ifdef __cplusplus
}
#endif

#endif /* VEMTO_POST_DRAWING_H */
