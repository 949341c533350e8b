#pragma once
// The exchange library wsadapter.so as the console uses it.
//
// Lifecycle (main thread only):
//   open(file, window)  loads the library, resolves sendData and, when present, sends
//                       ("INIT", window, "") once; then resolves getData.
//   close()             sends ("DEINIT", 0, "") when sendData is present, nulls both
//                       entry points, then unloads the library. Idempotent.
// While the library is missing (or an entry point is), the entry point stays null and
// every send is skipped: test `sendData` / `getData` for null, or use send().
#include <filesystem>
#include <string>
#include <string_view>

#include "core/app/web_exchange_api.h"
#include "core/platform/shared_library.h"

namespace velmaro {

class WebExchange {
public:
    WebExchange() = default;
    ~WebExchange(); // close()
    WebExchange(const WebExchange&) = delete;
    WebExchange& operator=(const WebExchange&) = delete;

    // True when the library loaded (even without entry points).
    bool open(const std::filesystem::path& file, const vlm_window* window);
    void close();
    bool loaded() const { return library_.loaded(); }

    // Sends `data` with arg 0 and `kind` when sendData exists; false when skipped.
    bool send(std::string_view data, const char* kind);
    // ("RESET", 0, "online"): the title screens clear the run shown, at the start of a
    // new run (start sequence, new run, bracket-pair run).
    bool sendReset() { return send("RESET", "online"); }

    // The library's entry points, or null.
    vlm_send_data_fn sendData = nullptr;
    vlm_get_data_fn getData = nullptr;

private:
    SharedLibrary library_;
};

} // namespace velmaro
