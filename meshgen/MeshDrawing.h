/* The drawing surface that the mesher's drawing module (FGRAPH) paints on.
 *
 * The caller owns a VemtoMeshDrawing and passes its address as the "device
 * context" to FGRAPH_mp_init / FGRAPH_mp_update. All coordinates handed to the
 * callbacks are pixels: column x grows to the right, row y grows downwards,
 * (0, 0) is the top-left pixel. Colours are 0xRRGGBB. Any callback may be null,
 * and then that kind of drawing is skipped. The structure must stay valid until
 * the drawing is switched off again (FGRAPH_mp_init with four zeros). Plain C, so
 * that the library stays free of any toolkit. */
#ifndef VEMTO_MESH_DRAWING_H
#define VEMTO_MESH_DRAWING_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VemtoMeshDrawing {
  void* context; /* handed back unchanged to every callback */
  /* Selects the pen of colour index 0..15 (solid, one pixel wide), colour rgb. */
  void (*pen)(void* context, int32_t index, uint32_t rgb);
  /* Selects the solid brush of colour index 0..15, colour rgb. */
  void (*brush)(void* context, int32_t index, uint32_t rgb);
  /* Moves the current position to pixel (x, y) without drawing. */
  void (*move_to)(void* context, int32_t x, int32_t y);
  /* Draws a line with the current pen from the current position to (x, y),
   * which becomes the current position (the end pixel itself is set by pixel). */
  void (*line_to)(void* context, int32_t x, int32_t y);
  /* Sets one pixel to colour rgb. */
  void (*pixel)(void* context, int32_t x, int32_t y, uint32_t rgb);
  /* Draws connected lines with the current pen through n points (xy holds
   * x0, y0, x1, y1, ...; 2n values). */
  void (*polyline)(void* context, const int32_t* xy, int32_t n);
  /* Fills the polygon through n points with the current brush and outlines it
   * with the current pen (xy as for polyline). */
  void (*polygon)(void* context, const int32_t* xy, int32_t n);
} VemtoMeshDrawing;

/* Entry points of the drawing module of libmeshgen.so. The device context is a
 * pointer to a VemtoMeshDrawing (or null); width and height are in pixels;
 * the mesh is drawn at the end of a mesher run only when drawSwitch is 1. */
typedef void (*FgraphInitFn)(const VemtoMeshDrawing* dc, int32_t width, int32_t height,
                             int32_t drawSwitch);
typedef void (*FgraphUpdateFn)(const VemtoMeshDrawing* dc, int32_t width, int32_t height,
                               int32_t drawSwitch);
typedef void (*FgraphDestroyFn)(void);
/* palette by reference: 0 colour, 1 grey scale; other values change nothing. */
typedef void (*FgraphSetPaletteFn)(const int32_t* palette);
typedef void (*FgraphDrawFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VEMTO_MESH_DRAWING_H */
