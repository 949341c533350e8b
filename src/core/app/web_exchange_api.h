/* C interface of wsadapter.so, the closed library that carries texts between the
 * console and the web service. Loaded from the program folder when the main window is
 * created, unloaded when it closes.
 *
 * sendData(data, arg, kind): hands one zero-terminated text to the library; returns at
 *     once, no result. The first call is ("INIT", (intptr_t) window, "") where window is
 *     a const vlm_window* that receives VLM_WM_EXCHANGE_DATA when messages wait; the
 *     last call is ("DEINIT", 0, ""). Every other call passes arg 0.
 * getData(buffer, size): the next waiting message as a zero-terminated UTF-8 text
 *     (readable until the next getData call), or null when nothing waits.
 * Every call comes from the main thread. */
#ifndef VELMARO_CORE_APP_WEB_EXCHANGE_API_H
#define VELMARO_CORE_APP_WEB_EXCHANGE_API_H

#include <stdint.h>

#include "core/app/window_handle.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*vlm_send_data_fn)(const char* data, intptr_t arg, const char* kind);
typedef const char* (*vlm_get_data_fn)(char* buffer, int size);

#define VLM_EXCHANGE_LIBRARY_FILE "wsadapter.so"
#define VLM_SEND_DATA "sendData"
#define VLM_GET_DATA "getData"

#ifdef __cplusplus
}
#endif

#endif
