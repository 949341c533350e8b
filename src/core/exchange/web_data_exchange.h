#pragma once
// The console's side of the web data exchange: what goes to the web service through the
// exchange library (core/app/web_exchange.h) and what its incoming messages do.
//
// Outgoing, kind in brackets, all through Console::exchange (skipped while the
// library or its sendData is missing):
//   race information [race_info]   sendRaceInfo(): event name, GUID, class list and, while
//                                  Console::sendRacersList is set, the racer list
//   registration list request      kRegistrationListRequest [race_info]
//   result documents [results]     DragResults::sendResults() of core/results, after every rebuild
//   current run [online]           DragResults::publishCurrentRun() of core/results
//   "RESET" [online]               WebExchange::sendReset(), at the start of a run
//
// Incoming: the library posts WM_EXCHANGE_DATA; onExchangeData() then takes the waiting
// texts with getData, at most kBatchSize of them, and handles each (handleMessage).
// When a batch was full, the rest is taken on the next tick() (the main window's 10 ms
// timer) or the next notification, so a flood never holds the main thread for more
// than one batch at a time. A message that is not sound JSON, or holds a member of the
// wrong kind, is skipped with a line in the log window; the next one is handled. The
// records of a racer list beyond TRegistry::kMaxIncomingRacers are read past without
// being built (the registry logs that they were skipped), so no message holds the main
// thread for much longer than reading its text.
//
// Everything runs on the main thread. Racers freed or replaced by an incoming message
// are never seen by the drag results thread: it reads a copy of the registry taken at
// each hand-over (TRegistrySnapshot).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "core/platform/status.h"

namespace velmaro {

class Console;
class DragResults;
class Operator;
class TRegistry;

// The registration list request, sent with the kind "race_info".
inline constexpr const char* kRegistrationListRequest = "{\"request\":\"get_registration_list\"}";

// The race information document: members in key byte order; "racersList" only when
// `racersList` is given. The two lists are inserted as the JSON arrays they are.
std::string raceInfoJson(const std::string& eventName, const std::string& raceGuid, const std::string& classesList,
                         const std::string* racersList);
// The same for the console's open event and the registry.
std::string raceInfoJson(const Console& console, const TRegistry& registry);
// Sends the race information through the console's exchange with the kind "race_info";
// nothing without sendData.
void sendRaceInfo(Console& console, const TRegistry& registry);

// What the exchange needs of the windows.
class DragRuns; // core/drag/drag_runs.h

class WebExchangePort {
public:
    WebExchangePort() = default;
    WebExchangePort(const WebExchangePort&) = delete;
    WebExchangePort& operator=(const WebExchangePort&) = delete;
    virtual ~WebExchangePort() = default;

    // Repaints the run grid (racer names changed).
    virtual void repaintRunGrid() = 0;
    // True while a modal window is open (a dialog may be editing a racer): incoming
    // messages then wait in the library and are taken by a later tick.
    virtual bool incomingMustWait() = 0;
};

class WebDataExchange {
public:
    // The getData buffer, and the most messages one notification or tick takes.
    static constexpr int kBufferSize = 4'194'304;
    static constexpr int kBatchSize = 32;

    // `results`: the drag results whose documents a request sends again; `registry`: the
    // racers incoming lists change. Skipped messages are logged to `op`. `runs`: the
    // event's runs (the current run, the racers' classes). None of them is owned; all
    // outlive this.
    WebDataExchange(Console& console, WebExchangePort& port, DragResults& results, TRegistry& registry, Operator& op,
                    DragRuns& runs);
    ~WebDataExchange();
    WebDataExchange(const WebDataExchange&) = delete;
    WebDataExchange& operator=(const WebDataExchange&) = delete;

    // WM_EXCHANGE_DATA: takes one batch of waiting messages.
    void onExchangeData();
    // The 10 ms timer: takes one more batch while messages may still wait.
    void tick();
    // Messages may still wait in the library (a batch was full, or handling had to wait).
    bool pending() const { return pending_; }

    // Handles one incoming UTF-8 JSON text. An error status (logged) when the message
    // was skipped; nothing was changed then.
    Status handleMessage(std::string_view text);

private:
    void takeBatch();

    Console& console_;
    WebExchangePort& port_;
    DragResults& results_;
    TRegistry& registry_;
    Operator& op_;
    DragRuns& runs_;
    std::unique_ptr<char[]> buffer_; // kBufferSize bytes, made at the first notification
    bool pending_ = false;
    bool inBatch_ = false;
};

} // namespace velmaro
