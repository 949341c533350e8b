/* C interface of scoreboardcontroller.so, the closed library that drives the main
 * scoreboards. The console loads it from the program folder at start-up and never
 * unloads it.
 *
 * Exports:
 *   _createScoreboardController(slot, window): makes the controller object and stores
 *       its address in *slot (leaves it null on failure). `window` is the main window;
 *       the library posts VLM_WM_SCOREBOARD_EVENT to it (wParam 0, event number in lParam).
 *   _deleteScoreboardController(slot): destroys the object and nulls *slot.
 *
 * The object starts with its table of operations (in the order of the controller's
 * slots 1..34 that the console uses). Texts are zero-terminated UTF-8. Only getType
 * returns a value the console uses. A table entry may be null: the console then skips
 * that operation (getType then counts as type 0).
 *
 * The console serialises its calls into the object: calls from the main thread and
 * from the node link thread (handleLine) never overlap. */
#ifndef VELMARO_CORE_APP_SCOREBOARD_CONTROLLER_API_H
#define VELMARO_CORE_APP_SCOREBOARD_CONTROLLER_API_H

#include <netinet/in.h>

#include "core/app/window_handle.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vlm_scoreboard vlm_scoreboard;

typedef struct vlm_scoreboard_ops {
    void (*showResult)(vlm_scoreboard* self, int one, int lane, int racer, int timeMs, int a5, int a6, int a7,
                       int a8);                                                                   /* slot 1 */
    void (*reset)(vlm_scoreboard* self, int full);                                                /* slot 2 */
    void (*setDisplayState)(vlm_scoreboard* self, int a, int b);                                  /* slot 3 */
    void (*showClock)(vlm_scoreboard* self, const char* hhnnss, int a, int b, int c);             /* slot 4 */
    void (*startTiming)(vlm_scoreboard* self);                                                    /* slot 5 */
    void (*stopTiming)(vlm_scoreboard* self);                                                     /* slot 6 */
    void (*setBrightness)(vlm_scoreboard* self, int level);                                       /* slot 7, 1..16 */
    void (*setWaitTimeout)(vlm_scoreboard* self, int seconds);                                    /* slot 16 */
    int (*getType)(vlm_scoreboard* self);                                                         /* slot 17 */
    void (*showText)(vlm_scoreboard* self, const char* text, int a, int b, int c, int d, int e);  /* slot 18 */
    void (*handleLine)(vlm_scoreboard* self, const char* line, const struct sockaddr_in* sender); /* slot 27 */
    void (*showLogo)(vlm_scoreboard* self);                                                       /* slot 29 */
    void (*showLane)(vlm_scoreboard* self, int one, int lane, int racer, int time, int speedX10, int sixtyFeet,
                     int zero, int reaction, int laneWon, const char* name, const char* city); /* slot 33 */
    void (*showRacerAtStart)(vlm_scoreboard* self, int racer);                                 /* slot 34 */
} vlm_scoreboard_ops;

struct vlm_scoreboard {
    const vlm_scoreboard_ops* ops; /* the library's own data follows */
};

typedef void (*vlm_create_scoreboard_controller_fn)(vlm_scoreboard** slot, const vlm_window* window);
typedef void (*vlm_delete_scoreboard_controller_fn)(vlm_scoreboard** slot);

#define VLM_SCOREBOARD_LIBRARY_FILE "scoreboardcontroller.so"
#define VLM_CREATE_SCOREBOARD_CONTROLLER "_createScoreboardController"
#define VLM_DELETE_SCOREBOARD_CONTROLLER "_deleteScoreboardController"

#ifdef __cplusplus
}
#endif

#endif
