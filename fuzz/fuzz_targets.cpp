#include "fuzz_targets.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/app/console.h"
#include "core/app/events.h"
#include "core/app/settings.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_file.h"
#include "core/drag/receipt_lines.h"
#include "core/intake/hit_intake.h"
#include "core/lap/lap_events.h"
#include "core/link/system_interface.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"

namespace velmaro::fuzz {

// What the targets ask or log is dropped: a fuzzing run would pile it up.
static velmaro::Operator& quietOperator() {
    struct Quiet final : velmaro::Operator {
        void message(const std::string&, const std::string&, Icon) override {}
        bool askYesNo(const std::string&, const std::string&, Icon) override { return false; }
        bool inputQuery(const std::string&, const std::string&, std::string&) override { return false; }
        int pick(const std::string&, const std::vector<std::string>&) override { return -1; }
        void log(const std::string&) override {}
    };
    static Quiet quiet;
    return quiet;
}

namespace {

std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A reader and its writer that disagree: stop here, so the input is kept as a crash.
void require(bool holds, const char* what, std::string_view detail = {}) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what, std::string(detail).c_str());
    std::abort();
}

// A link whose socket is never opened: nothing is sent, every datagram comes from the fuzzer.
class SilentTransport final : public LinkTransport {
public:
    PortState open(std::uint16_t, int&) override { return PortState::Failed; }
    void close() override {}
    bool send(const NodeAddress&, const std::uint8_t*, std::size_t) override { return true; }
    long receive(std::uint8_t*, std::size_t, NodeAddress&) override { return -1; }
    bool waitReadable(int) override { return false; }
};

int nodeDatagram(const std::uint8_t* data, std::size_t size) {
    static TSystemInterface link(nullptr, LinkOptions{}, nullptr, std::make_unique<SilentTransport>());
    link.handleDatagram(data, size, NodeAddress{0x7F000002u, NODE_UDP_PORT});
    for (TSignalHit h; link.tryPopHit(h);) {
    }
    return 0;
}

int settings(const std::uint8_t* data, std::size_t size) {
    Console console;
    for (const std::string& line : splitSettingsLines(bytesOf(data, size))) (void)applySettingsLine(console, line);
    (void)formatSettings(console, {{0, 1}}, true);
    return 0;
}

int raceJson(const std::uint8_t* data, std::size_t size) {
    (void)parseRaceGuid(bytesOf(data, size));
    return 0;
}

// Every line the parser takes is written again; that text must read back to itself.
template <class Parse, class Write>
void lineRoundTrip(const std::uint8_t* data, std::size_t size, Parse parse, Write write, const char* what) {
    for (const std::string& line : splitTextLines(bytesOf(data, size))) {
        const auto record = parse(line);
        if (!record) continue;
        const std::string written = write(*record);
        const auto back = parse(written);
        require(back != nullptr && write(*back) == written, what, written);
    }
}

int classes(const std::uint8_t* data, std::size_t size) {
    lineRoundTrip(data, size, TRegistry::parseClassLine, TRegistry::classLine, "classes.txt line");
    return 0;
}

int racers(const std::uint8_t* data, std::size_t size) {
    lineRoundTrip(data, size, TRegistry::parseRacerLine, TRegistry::racerLine, "racers.txt line");
    return 0;
}

int racersDb(const std::uint8_t* data, std::size_t size) {
    lineRoundTrip(data, size, TRegistry::parseRacerDbLine, TRegistry::racerDbLine, "racersdb.txt line");
    return 0;
}

int dragFile(const std::uint8_t* data, std::size_t size) {
    const std::string written = formatDragFile(parseDragFile(splitTextLines(bytesOf(data, size))));
    require(formatDragFile(parseDragFile(splitTextLines(written))) == written, "drag.txt", written);
    return 0;
}

int lapSingle(const std::uint8_t* data, std::size_t size) {
    for (const std::string& line : splitTextLines(bytesOf(data, size))) {
        TRaceItem item;
        if (!parseLapLine(line, item)) continue;
        const std::string written = formatLapLine(item);
        TRaceItem back;
        require(parseLapLine(written, back) && formatLapLine(back) == written, "lap_single.txt line", written);
    }
    return 0;
}

int finalBracket(const std::uint8_t* data, std::size_t size) {
    // Pages for classes 0..3, so blocks of those classes are installed and written again.
    static std::vector<std::unique_ptr<TClassItem>> classList;
    if (classList.empty())
        for (int id = 0; id < 4; ++id) classList.push_back(std::make_unique<TClassItem>(id, "C" + std::to_string(id)));
    BracketPages pages;
    auto lock = pages.lockBrackets();
    for (const auto& cls : classList) pages.addBracketPage(cls.get());
    const TFindRunById findRun = [](std::int32_t runId) {
        TDragRaceItem run;
        run.runId = runId;
        return run;
    };
    const TFindClassById findClass = [](std::int32_t id) -> TClassItem* {
        return id >= 0 && id < static_cast<std::int32_t>(classList.size()) ? classList[id].get() : nullptr;
    };
    readFinalBracketLines(pages, splitTextLines(bytesOf(data, size)), findRun, findClass);
    const std::string written = finalBracketText(pages.bracketPages());
    for (auto& page : pages.bracketPages()) (void)setPageBracket(*page, nullptr);
    readFinalBracketLines(pages, splitTextLines(written), findRun, findClass);
    const std::string again = finalBracketText(pages.bracketPages());
    require(again == written, "final_bracket.txt", written + "---- read back as ----\n" + again);
    return 0;
}

int hitLog(const std::uint8_t* data, std::size_t size) {
    std::vector<THitRecord> list = parseHitLog(bytesOf(data, size));
    const std::string written = formatHitLog(list);
    require(formatHitLog(parseHitLog(written)) == written, "hitlog.txt", written);
    removeDuplicateHits(list);
    for (std::size_t i = 1; i < list.size(); ++i) require(compareHits(list[i - 1], list[i]) < 0, "hit list order");
    return 0;
}

// The registration JSON of the web service: "racersData" merged (or, when the first
// byte is odd, replacing the list) and "removeList" applied, into a registry whose files
// live in a folder of this process only.
int registrationJson(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/velmaro_fuzz_XXXXXX";
        const char* made = ::mkdtemp(pattern);
        return std::filesystem::path(made ? made : "/tmp");
    }();
    Operator& quiet = quietOperator();
    static TRegistry registry;
    static const bool once = [] {
        registry.setEventFolder(folder);
        registry.setDatabaseFile(folder / "racersdb.txt");
        for (int id = 0; id < 3; ++id) registry.addClass("C" + std::to_string(id));
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        });
        return true;
    }();
    (void)once;
    const auto json = nlohmann::json::parse(bytesOf(data, size), nullptr, false);
    if (json.is_discarded() || !json.is_object()) return 0;
    const bool overwriteAll = size > 0 && (data[0] & 1) != 0;
    if (auto it = json.find("racersData"); it != json.end())
        (void)registry.importRacersJson(*it, false, overwriteAll, quiet);
    if (auto it = json.find("removeList"); it != json.end()) (void)registry.removeRacersJson(*it, quiet);
    if (registry.racers.size() > 2000) registry.clearRacers();
    return 0;
}

// printlogo.bmp: the reader takes a file, so the bytes go to one of this process first.
int printLogo(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path file = [] {
        char pattern[] = "/tmp/velmaro_fuzz_logo_XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd >= 0) ::close(fd);
        return std::filesystem::path(pattern);
    }();
    // Registered once `file` is made, so it runs before `file` is destroyed.
    static const bool once = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove(file, ec);
        });
        return true;
    }();
    (void)once;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc); // no flush to the disk: quick
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        require(out.good(), "print logo not written");
    }
    const ReceiptLogo logo = readReceiptLogo(file, quietOperator());
    const bool none = logo.width == 0 && logo.height == 0;
    require(none || (logo.width >= 1 && logo.width <= kMaxReceiptLogoSide && logo.height >= 1 &&
                     logo.height <= kMaxReceiptLogoSide),
            "print logo size", std::to_string(logo.width) + " x " + std::to_string(logo.height));
    return 0;
}

} // namespace

const std::vector<Target>& targets() {
    static const std::vector<Target> list = {
        {"node_datagram", nodeDatagram},
        {"settings", settings},
        {"race_json", raceJson},
        {"classes", classes},
        {"racers", racers},
        {"racersdb", racersDb},
        {"drag_file", dragFile},
        {"lap_single", lapSingle},
        {"final_bracket", finalBracket},
        {"hitlog", hitLog},
        {"registration_json", registrationJson},
        {"print_logo", printLogo},
    };
    return list;
}

TargetFunction findTarget(std::string_view name) {
    for (const Target& t : targets())
        if (t.name == name) return t.run;
    return nullptr;
}

} // namespace velmaro::fuzz
