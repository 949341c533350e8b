/* Test double of scoreboardcontroller.so. Records every call; reports the type given
 * by VELMARO_FAKE_SCOREBOARD_TYPE (0 when unset); records "scoreboard OVERLAP <op>"
 * when a call enters while another is still inside the object. Each call stays inside
 * for VELMARO_FAKE_SCOREBOARD_DELAY_US microseconds (0 when unset), so that tests can
 * make overlaps likely. Built without the factory when FAKE_NO_CREATE is defined and
 * without the delete function when FAKE_NO_DELETE is defined; that variant keeps the
 * objects it made and frees them when it is unloaded (or the program ends), as a library
 * that owns its objects does. */
#include <stdatomic.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include "core/app/scoreboard_controller_api.h"
#include "fake_libs_log.h"

#define EXPORT __attribute__((visibility("default")))

typedef struct fake_scoreboard {
    vlm_scoreboard base;
    const vlm_window* window;
    int type;
    unsigned delay;
    atomic_int inside;
    struct fake_scoreboard* next; /* FAKE_NO_DELETE: the objects made, newest first */
} fake_scoreboard;

#ifdef FAKE_NO_DELETE
static fake_scoreboard* made;

__attribute__((destructor)) static void free_made(void) {
    while (made) {
        fake_scoreboard* next = made->next;
        free(made);
        made = next;
    }
}
#endif

static fake_scoreboard* self_of(vlm_scoreboard* s) { return (fake_scoreboard*)s; }

static void enter(vlm_scoreboard* s, const char* op) {
    fake_scoreboard* f = self_of(s);
    if (atomic_fetch_add(&f->inside, 1) != 0) fake_log("scoreboard OVERLAP %s", op);
    if (f->delay) usleep(f->delay);
}

static void leave(vlm_scoreboard* s) { atomic_fetch_sub(&self_of(s)->inside, 1); }

static void showResult(vlm_scoreboard* s, int a1, int lane, int racer, int t, int a5, int a6, int a7, int a8) {
    enter(s, "showResult");
    fake_log("scoreboard showResult %d %d %d %d %d %d %d %d", a1, lane, racer, t, a5, a6, a7, a8);
    leave(s);
}
static void reset(vlm_scoreboard* s, int full) {
    enter(s, "reset");
    fake_log("scoreboard reset %d", full);
    leave(s);
}
static void setDisplayState(vlm_scoreboard* s, int a, int b) {
    enter(s, "setDisplayState");
    fake_log("scoreboard setDisplayState %d %d", a, b);
    leave(s);
}
static void showClock(vlm_scoreboard* s, const char* text, int a, int b, int c) {
    enter(s, "showClock");
    fake_log("scoreboard showClock %s %d %d %d", text, a, b, c);
    leave(s);
}
static void startTiming(vlm_scoreboard* s) {
    enter(s, "startTiming");
    fake_log("scoreboard startTiming");
    leave(s);
}
static void stopTiming(vlm_scoreboard* s) {
    enter(s, "stopTiming");
    fake_log("scoreboard stopTiming");
    leave(s);
}
static void setBrightness(vlm_scoreboard* s, int level) {
    enter(s, "setBrightness");
    fake_log("scoreboard setBrightness %d", level);
    leave(s);
}
static void setWaitTimeout(vlm_scoreboard* s, int seconds) {
    enter(s, "setWaitTimeout");
    fake_log("scoreboard setWaitTimeout %d", seconds);
    leave(s);
}
static int getType(vlm_scoreboard* s) {
    enter(s, "getType");
    fake_log("scoreboard getType");
    int type = self_of(s)->type;
    leave(s);
    return type;
}
static void showText(vlm_scoreboard* s, const char* text, int a, int b, int c, int d, int e) {
    enter(s, "showText");
    fake_log("scoreboard showText %s %d %d %d %d %d", text, a, b, c, d, e);
    leave(s);
}
static void handleLine(vlm_scoreboard* s, const char* line, const struct sockaddr_in* sender) {
    enter(s, "handleLine");
    fake_log("scoreboard handleLine %s %u", line, sender ? (unsigned)ntohs(sender->sin_port) : 0u);
    leave(s);
}
static void showLogo(vlm_scoreboard* s) {
    enter(s, "showLogo");
    fake_log("scoreboard showLogo");
    leave(s);
}
static void showLane(vlm_scoreboard* s, int one, int lane, int racer, int time, int speed, int sixty, int zero,
                     int reaction, int won, const char* name, const char* city) {
    enter(s, "showLane");
    fake_log("scoreboard showLane %d %d %d %d %d %d %d %d %d %s %s", one, lane, racer, time, speed, sixty, zero,
             reaction, won, name, city);
    leave(s);
}
static void showRacerAtStart(vlm_scoreboard* s, int racer) {
    enter(s, "showRacerAtStart");
    fake_log("scoreboard showRacerAtStart %d", racer);
    leave(s);
}

static const vlm_scoreboard_ops fake_ops __attribute__((unused)) = {
    showResult,     reset,   setDisplayState, showClock,  startTiming, stopTiming, setBrightness,
    setWaitTimeout, getType, showText,        handleLine, showLogo,    showLane,   showRacerAtStart};

#ifndef FAKE_NO_CREATE
EXPORT void _createScoreboardController(vlm_scoreboard** slot, const vlm_window* window) {
    fake_log("scoreboard create window=%lld", (long long)(intptr_t)window);
    fake_scoreboard* f = calloc(1, sizeof *f);
    if (!f) return;
    f->base.ops = &fake_ops;
    f->window = window;
    const char* type = getenv("VELMARO_FAKE_SCOREBOARD_TYPE");
    f->type = type ? atoi(type) : 0;
    const char* delay = getenv("VELMARO_FAKE_SCOREBOARD_DELAY_US");
    f->delay = delay ? (unsigned)atoi(delay) : 0;
    atomic_init(&f->inside, 0);
#ifdef FAKE_NO_DELETE
    f->next = made;
    made = f;
#endif
    *slot = &f->base;
    if (getenv("VELMARO_FAKE_SCOREBOARD_POST") && window && window->post)
        window->post(window->context, VLM_WM_SCOREBOARD_EVENT, 0, 7);
}
#endif

#ifndef FAKE_NO_DELETE
EXPORT void _deleteScoreboardController(vlm_scoreboard** slot) {
    fake_log("scoreboard delete");
    if (!slot || !*slot) return;
    free(*slot);
    *slot = NULL;
}
#endif
