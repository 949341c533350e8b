/* Shared by the two test-double libraries: every call is appended, one line each, to
 * the file named by VELMARO_FAKE_LIBS_LOG (nothing is recorded when it is unset). */
#ifndef VELMARO_FAKE_LIBS_LOG_H
#define VELMARO_FAKE_LIBS_LOG_H

#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static pthread_mutex_t fake_log_mutex = PTHREAD_MUTEX_INITIALIZER;

static void fake_log(const char* format, ...) {
    const char* path = getenv("VELMARO_FAKE_LIBS_LOG");
    if (!path || !*path) return;
    pthread_mutex_lock(&fake_log_mutex);
    FILE* f = fopen(path, "a");
    if (f) {
        va_list ap;
        va_start(ap, format);
        vfprintf(f, format, ap);
        va_end(ap);
        fputc('\n', f);
        fclose(f);
    }
    pthread_mutex_unlock(&fake_log_mutex);
}

#endif
