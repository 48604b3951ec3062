/* The progress channel between a computation library and its host program.
 *
 * C-compatible: included by the program, meshgen and engine alike.
 *
 * The host registers a listener with IO_FUNC_mp_vemto_init. The "window handle"
 * passed across the library boundary is a pointer-sized handle to a VemtoListener
 * (VemtoWindowHandle); a null handle means "no receiver": messages go nowhere and
 * the run proceeds.
 *
 * send() is synchronous: it returns after the receiver has handled the message, so
 * the information text fetched with IO_FUNC_mp_vemto_getinfotext inside send()
 * belongs to that message. The listener object must outlive every run that uses it.
 */
#ifndef VEMTO_LISTENER_H
#define VEMTO_LISTENER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Message numbers (the platform's first user message + 1001 ... + 1005). */
enum {
  VEMTO_MSG_INFO = 2025,     /* a new phase starts; lParam 0; zero-terminated text */
  VEMTO_MSG_ERROR = 2026,    /* the run has failed; lParam = error code; 255-char line */
  VEMTO_MSG_FINISHED = 2027, /* the run ended normally; lParam 0; zero-terminated text */
  VEMTO_MSG_TIMESTEP = 2028, /* the engine starts a time step; lParam 0; "TIMESTEP" */
  VEMTO_MSG_WORKING = 2029   /* the engine is in a long equation solution; lParam 0 */
};

/* Error codes carried in lParam of VEMTO_MSG_ERROR. */
enum {
  VEMTO_ERROR_GENERAL = 1000,    /* every mesher error; engine element errors */
  VEMTO_ERROR_NO_TM_DATA = 1001, /* engine: temperature and maturity data missing */
  VEMTO_ERROR_TOO_LARGE = 1002,  /* engine: work array too small */
  VEMTO_ERROR_INPUT_FILE = 1003  /* engine: analysis data file cannot be opened */
};

/* Length of the information text in bytes (no terminator of its own). */
#define VEMTO_INFO_TEXT_LENGTH 255

/* The receiver of the progress messages. */
typedef struct VemtoListener {
  /* Called synchronously for every message; context is the field below. */
  void (*send)(void* context, int message, intptr_t lParam);
  /* Passed unchanged to send(). */
  void* context;
} VemtoListener;

/* Pointer-sized handle to a listener ("window handle"); NULL = none. */
typedef const VemtoListener* VemtoWindowHandle;

/* The three exported progress-channel entry points, as taken with dlsym. */
typedef void (*VemtoInitFn)(VemtoWindowHandle window);
typedef void (*VemtoGetInfoTextFn)(char* buffer); /* buffer: >= 256 bytes, 255 copied */
typedef void (*VemtoBreakFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VEMTO_LISTENER_H */
