#include "core/app/web_exchange.h"

#include <string>

namespace velmaro {

WebExchange::~WebExchange() { close(); }

bool WebExchange::open(const std::filesystem::path& file, const vlm_window* window) {
    if (library_.loaded()) return true; // INIT goes exactly once
    if (!library_.load(file)) return false;
    sendData = reinterpret_cast<vlm_send_data_fn>(library_.symbol(VLM_SEND_DATA));
    if (sendData) sendData("INIT", reinterpret_cast<intptr_t>(window), "");
    getData = reinterpret_cast<vlm_get_data_fn>(library_.symbol(VLM_GET_DATA));
    return true;
}

void WebExchange::close() {
    if (!library_.loaded()) return;
    vlm_send_data_fn send = sendData;
    // Null the entry points first so no caller reaches the library while it goes away.
    sendData = nullptr;
    getData = nullptr;
    if (send) send("DEINIT", 0, "");
    library_.unload();
}

bool WebExchange::send(std::string_view data, const char* kind) {
    if (!sendData) return false;
    std::string text(data);
    sendData(text.c_str(), 0, kind ? kind : "");
    return true;
}

} // namespace velmaro
