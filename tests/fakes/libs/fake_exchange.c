/* Test double of wsadapter.so. Records every sendData and getData call. Remembers the
 * window given with "INIT"; a later sendData("POST", ...) posts VLM_WM_EXCHANGE_DATA to
 * it. getData hands out the lines of the file named by VELMARO_FAKE_EXCHANGE_INBOX, one
 * per call, then null. Built without sendData (FAKE_NO_SEND) or getData (FAKE_NO_GET). */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "core/app/web_exchange_api.h"
#include "fake_libs_log.h"

#define EXPORT __attribute__((visibility("default")))

static const vlm_window* init_window __attribute__((unused));
static long inbox_offset __attribute__((unused));

#ifndef FAKE_NO_SEND
EXPORT void sendData(const char* data, intptr_t arg, const char* kind) {
    fake_log("exchange sendData %s %lld %s", data ? data : "(null)", (long long)arg, kind ? kind : "(null)");
    if (data && strcmp(data, "INIT") == 0) init_window = (const vlm_window*)arg;
    if (data && strcmp(data, "DEINIT") == 0) init_window = NULL;
    if (data && strcmp(data, "POST") == 0 && init_window && init_window->post)
        init_window->post(init_window->context, VLM_WM_EXCHANGE_DATA, 0, 0);
}
#endif

#ifndef FAKE_NO_GET
EXPORT const char* getData(char* buffer, int size) {
    fake_log("exchange getData %d", size);
    const char* path = getenv("VELMARO_FAKE_EXCHANGE_INBOX");
    if (!path || !buffer || size <= 1) return NULL;
    FILE* f = fopen(path, "r");
    if (!f) return NULL;
    const char* result = NULL;
    if (fseek(f, inbox_offset, SEEK_SET) == 0 && fgets(buffer, size, f)) {
        inbox_offset = ftell(f);
        size_t n = strlen(buffer);
        if (n && buffer[n - 1] == '\n') buffer[n - 1] = 0;
        result = buffer;
    }
    fclose(f);
    return result;
}
#endif
