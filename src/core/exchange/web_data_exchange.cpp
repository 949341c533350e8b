#include "core/exchange/web_data_exchange.h"

#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/app/console.h"
#include "core/drag/drag_commands.h"
#include "core/json/json_builder.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"

namespace velmaro {

using nlohmann::json;

std::string raceInfoJson(const std::string& eventName, const std::string& raceGuid, const std::string& classesList,
                         const std::string* racersList) {
    MyJSONObject doc;
    doc.add("raceName", eventName);
    doc.add("raceGuid", raceGuid);
    doc.addRaw("classesList", classesList);
    if (racersList) doc.addRaw("racersList", *racersList);
    return doc.toString();
}

std::string raceInfoJson(const Console& c, const TRegistry& registry) {
    if (!c.sendRacersList) return raceInfoJson(c.eventName, c.raceGuid, registry.classesJson(), nullptr);
    const std::string racers = registry.racersJson();
    return raceInfoJson(c.eventName, c.raceGuid, registry.classesJson(), &racers);
}

void sendRaceInfo(Console& console, const TRegistry& registry) {
    WebExchange& exchange = console.exchange;
    if (!exchange.sendData) return;
    exchange.send(raceInfoJson(console, registry), "race_info");
}

namespace {

// Thrown for a member of the wrong kind; the message is skipped.
struct BadMember {
    std::string text;
};

// A text member: empty when missing or null.
std::string textMember(const json& msg, const char* key) {
    const auto it = msg.find(key);
    if (it == msg.end() || it->is_null()) return {};
    if (!it->is_string()) throw BadMember{std::string("поле \"") + key + "\" не текст"};
    return it->get<std::string>();
}

bool boolMember(const json& msg, const char* key) {
    const auto it = msg.find(key);
    if (it == msg.end() || it->is_null()) return false;
    if (!it->is_boolean()) throw BadMember{std::string("поле \"") + key + "\" не логическое"};
    return it->get<bool>();
}

const json& arrayMember(const json& msg, const char* key) {
    const auto it = msg.find(key);
    if (it == msg.end() || !it->is_array())
        throw BadMember{std::string("поле \"") + key + (it == msg.end() ? "\" отсутствует" : "\" не массив")};
    return *it;
}

// Builds an incoming message as json::parse does, but keeps no more elements of its
// "racersData" list than the registry merges, plus one so that it sees the list was
// longer and says so: the records beyond are read past without being built, so an
// oversized list costs little more than reading its text.
class MessageReader final : public json::json_sax_t {
public:
    json message;
    std::size_t errorByte = 0; // where the text stopped being JSON

    bool null() override { return value(nullptr); }
    bool boolean(bool v) override { return value(v); }
    bool number_integer(json::number_integer_t v) override { return value(v); }
    bool number_unsigned(json::number_unsigned_t v) override { return value(v); }
    bool number_float(json::number_float_t v, const json::string_t&) override { return value(v); }
    // Texts and names are copied: the parser reuses its buffer for the next one.
    bool string(json::string_t& v) override { return value(json(v)); }
    bool binary(json::binary_t& v) override { return value(json::binary(std::move(v))); }
    bool start_object(std::size_t) override { return open(json::object()); }
    bool start_array(std::size_t) override { return open(json::array()); }
    bool key(json::string_t& k) override {
        if (skipping_ == 0) key_ = k;
        return true;
    }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string&, const json::exception&) override {
        errorByte = position;
        return false;
    }

private:
    static constexpr std::size_t kRacersKept = TRegistry::kMaxIncomingRacers + 1;

    // Puts `v` where the text stands; null when it is read past.
    json* place(json&& v) {
        if (skipping_ > 0) return nullptr;
        if (open_.empty()) {
            message = std::move(v);
            return &message;
        }
        json& parent = *open_.back();
        if (parent.is_object()) {
            json& member = parent[key_];
            member = std::move(v);
            if (open_.size() == 1 && key_ == "racersData") racers_ = &member;
            return &member;
        }
        if (&parent == racers_ && parent.size() >= kRacersKept) return nullptr;
        parent.push_back(std::move(v));
        return &parent.back();
    }
    bool value(json&& v) {
        (void)place(std::move(v));
        return true;
    }
    bool open(json&& container) {
        if (json* at = place(std::move(container)))
            open_.push_back(at);
        else
            ++skipping_;
        return true;
    }
    bool close() {
        if (skipping_ > 0)
            --skipping_;
        else
            open_.pop_back();
        return true;
    }

    std::vector<json*> open_;  // the containers being filled, innermost last
    std::size_t skipping_ = 0; // containers open inside an element read past
    std::string key_;          // the member name the next value takes
    const json* racers_ = nullptr;
};

Status skipped(Operator& op, const std::string& why) {
    const std::string line = "Веб-обмен: " + why + "; сообщение пропущено";
    op.log(line);
    return Status::Error(line);
}

} // namespace

WebDataExchange::WebDataExchange(Console& console, WebExchangePort& port, DragResults& results, TRegistry& registry,
                                 Operator& op, DragRuns& runs)
    : console_(console), port_(port), results_(results), registry_(registry), op_(op), runs_(runs) {}
WebDataExchange::~WebDataExchange() = default;

Status WebDataExchange::handleMessage(std::string_view text) {
    MessageReader reader;
    try {
        if (!json::sax_parse(text.begin(), text.end(), &reader))
            return skipped(op_, "не JSON (ошибка в байте " + std::to_string(reader.errorByte) + ")");
    } catch (const json::exception& e) {
        return skipped(op_, std::string("не JSON (") + e.what() + ")");
    }
    const json& msg = reader.message;
    if (!msg.is_object()) return skipped(op_, "не объект JSON");

    try {
        const std::string clientType = textMember(msg, "clientType");
        const std::string event = textMember(msg, "event");
        Console& c = console_;
        if (event == "init") {
            if (clientType == "RegistrationPost") {
                sendRaceInfo(c, registry_);
                results_.sendResults();
                if (c.exchange.sendData) c.exchange.send(kRegistrationListRequest, "race_info");
            } else if (clientType == "TitlesScreen") {
                results_.publishCurrentRun(runs_);
            }
        } else if (event == "data") {
            const std::string dataKind = textMember(msg, "dataKind");
            if (dataKind == "racersData") {
                const bool overwriteAll = boolMember(msg, "overwriteAll");
                const json& records = arrayMember(msg, "racersData");
                // All or nothing: a bad record is logged by the registry and nothing changes.
                const Status st = registry_.importRacersJson(records, true, overwriteAll, op_);
                if (!st.ok()) return st;
                // A racer registered after his run was made: his lane takes his class.
                runs_.racersChangedUnderRuns(c.raceMode);
                port_.repaintRunGrid();
            } else if (dataKind == "racersDeleted") {
                const json& guids = arrayMember(msg, "removeList");
                for (std::size_t i = 0; i < guids.size(); ++i)
                    if (!guids[i].is_string()) throw BadMember{"removeList[" + std::to_string(i) + "] не текст"};
                const Status st = registry_.removeRacersJson(guids, op_);
                if (!st.ok()) return st;
                port_.repaintRunGrid();
                sendRaceInfo(c, registry_);
            }
        } else if (event == "racersAccepted") {
            c.sendRacersList = false;
        } else if (event == "resendResults") {
            results_.sendResults();
        }
    } catch (const BadMember& bad) {
        return skipped(op_, bad.text);
    }
    return Status::Ok();
}

void WebDataExchange::onExchangeData() { takeBatch(); }

void WebDataExchange::tick() {
    if (pending_) takeBatch();
}

void WebDataExchange::takeBatch() {
    const vlm_get_data_fn getData = console_.exchange.getData;
    if (!getData) {
        pending_ = false;
        return;
    }
    // A message handled inside a nested event loop must not start a second batch.
    if (inBatch_ || port_.incomingMustWait()) {
        pending_ = true;
        return;
    }
    inBatch_ = true;
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    pending_ = true; // until getData says nothing more waits
    for (int taken = 0; taken < kBatchSize; ++taken) {
        buffer_[0] = '\0';
        const char* data = getData(buffer_.get(), kBufferSize);
        if (!data) {
            pending_ = false;
            break;
        }
        // The text is read no further than the buffer it should be in; one that fills
        // the whole buffer without its terminating zero was cut short.
        const char* bufferEnd = buffer_.get() + kBufferSize;
        const bool inBuffer = data >= buffer_.get() && data < bufferEnd;
        const std::size_t room = inBuffer ? static_cast<std::size_t>(bufferEnd - data) : kBufferSize;
        const std::size_t length = strnlen(data, room);
        if (length == room) {
            (void)skipped(op_, "сообщение длиннее " + std::to_string(kBufferSize) + " байт");
            continue;
        }
        // Copied before the next getData call, which may reuse the memory.
        const std::string text(data, length);
        try {
            (void)handleMessage(text);
        } catch (const std::exception& e) {
            (void)skipped(op_, std::string("ошибка обработки (") + e.what() + ")");
        }
    }
    inBatch_ = false;
}

} // namespace velmaro
