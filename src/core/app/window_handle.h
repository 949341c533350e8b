/* The main window as the two closed libraries see it.
 *
 * A window handle is a post function and its context. Posting is thread-safe and
 * never blocks: the message is queued and handled later on the main thread. Once the
 * main window has begun to close, posts are dropped, so nothing a library
 * posts late reaches an object that is gone.
 *
 * C header: the closed libraries (scoreboardcontroller.so, wsadapter.so) receive a
 * pointer to this structure; it stays valid until the program ends. */
#ifndef VELMARO_CORE_APP_WINDOW_HANDLE_H
#define VELMARO_CORE_APP_WINDOW_HANDLE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The main window's own messages. */
#define VLM_WM_SCOREBOARD_EVENT 32775u /* from the scoreboard library */
#define VLM_WM_EXCHANGE_DATA 52768u    /* from the exchange library: incoming messages wait */

typedef struct vlm_window {
    void* context;
    /* Queues (message, wParam, lParam) for the main thread. Callable from any thread. */
    void (*post)(void* context, unsigned message, uintptr_t wParam, intptr_t lParam);
} vlm_window;

#ifdef __cplusplus
}
#endif

#endif
