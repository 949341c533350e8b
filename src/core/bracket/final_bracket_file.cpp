// final_bracket.txt writer and reader.
#include "core/bracket/final_bracket_file.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/platform/files.h"
#include "core/platform/text_codec.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace {

constexpr const char* kFileName = "final_bracket.txt";

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Reads "<prefix>%d,%d,..." into out[0..max): blanks before a number and one sign allowed,
// every value within int. Returns how many numbers were read before the first mismatch;
// a number out of range ends the scan instead of being undefined.
int scanInts(std::string_view line, std::string_view prefix, int* out, int max) {
    if (line.substr(0, prefix.size()) != prefix) return 0;
    std::size_t pos = prefix.size();
    int count = 0;
    for (; count < max; ++count) {
        if (count > 0) {
            if (pos >= line.size() || line[pos] != ',') break;
            ++pos;
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos < line.size() && line[pos] == '+' && pos + 1 < line.size() && line[pos + 1] != '-') ++pos;
        const auto [end, ec] = std::from_chars(line.data() + pos, line.data() + line.size(), out[count]);
        if (ec != std::errc()) break;
        pos = static_cast<std::size_t>(end - line.data());
    }
    return count;
}

void appendf(std::string& out, const char* fmt, auto... args) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n > 0) out.append(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

void writePairs(std::string& out, const TFinalRound& round) {
    for (std::int32_t p = 0; p < round.count; ++p) {
        const TFinalPair& pair = *round.pairs[p];
        if (pair.run.runId != 0) appendf(out, "DRAGID:%d,%d\n", p, pair.run.runId);
        if (pair.forceWinner != -1) appendf(out, "FORCEWINNER:%d,%d\n", p, pair.forceWinner);
        for (int k = 0; k < 2; ++k) {
            if (pair.comments[k].empty()) continue;
            appendf(out, "COMMENT:%d,%d:", p, k);
            out += sanitizeField(pair.comments[k], "", true); // one line
            out += '\n';
        }
    }
}

} // namespace

std::string finalBracketText(const TBracketPageList& pages) {
    std::string out;
    for (const auto& page : pages) {
        if (!page || !page->bracket) continue;
        const TFinalBracket& b = *page->bracket;
        // The page's copy of its class id: the writer never reads a class record.
        const std::int32_t classId = page->classItem ? page->classId : b.classId;
        appendf(out, "BRACKETCLASS:%d,%d,%d,%d,%d\n", classId, b.size, b.type, b.seededCount, page->sizeChoice);
        for (std::int32_t slot = 0; slot < b.size; ++slot)
            appendf(out, "RACER:%d,%d,%d\n", slot, b.racers[slot].number, b.racers[slot].classId);
        for (std::int32_t r = 0; r < b.upperRoundCount; ++r) {
            if (TFinalRound* round = b.upperRound(r)) {
                appendf(out, "ROUND:%d\n", r);
                writePairs(out, *round);
            }
        }
        for (std::int32_t r = 0; r < b.lowerRoundCount; ++r) {
            if (TFinalRound* round = b.lowerRound(r)) {
                appendf(out, "LROUND:%d\n", r);
                writePairs(out, *round);
            }
        }
    }
    return out;
}

void readFinalBracketLines(BracketPages& pages, const std::vector<std::string>& lines, const TFindRunById& findRun,
                           const TFindClassById& findClass) {
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& classLine = lines[i++];
        if (!startsWith(classLine, "BRACKETCLASS:")) continue;
        int f[5] = {0, 0, 0, -1, 2};
        const int got = scanInts(classLine, "BRACKETCLASS:", f, 5);
        if (got < 3) continue;
        const int classId = f[0], size = f[1], type = f[2];
        int seeded = got >= 4 ? f[3] : -1;
        int choice = got >= 5 ? f[4] : 2;
        // A block that names no bracket we can build is skipped whole: its racer and
        // round lines do not begin with BRACKETCLASS and fall through below.
        if (!isValidBracketSize(size) || !isValidBracketType(type)) continue;
        if (choice < 0 || choice > 4) choice = 2;
        if (seeded == -1) seeded = size;

        TClassItem* cls = findClass ? findClass(classId) : nullptr;
        auto bracket = std::make_shared<TFinalBracket>(size, type, classId, seeded, cls ? cls->name : std::string());
        if (auto page = pages.findBracketPage(classId)) {
            page->sizeChoice = choice;
            std::shared_ptr<TFinalBracket> old = setPageBracket(*page, bracket);
            old.reset(); // other holders (if any) keep it alive
        }

        // Racer lines: up to size of them. Another kind of line ends them and is looked
        // at again, so a short racer list cannot swallow the next block's class line.
        for (std::int32_t c = 0; c < bracket->size && i < lines.size(); ++c) {
            const std::string& line = lines[i];
            if (!startsWith(line, "RACER:")) break;
            ++i;
            int r[3] = {0, 0, 0};
            if (scanInts(line, "RACER:", r, 3) == 3) bracket->setRacer(r[1], r[2], r[0]);
        }

        // Round lines, each followed by its pairing lines.
        TFinalRound* round = nullptr;
        bool lower = false;
        int roundIndex = -1;
        bool inRound = false;
        while (i < lines.size()) {
            const std::string& line = lines[i];
            int ab[2] = {0, 0};
            int& a = ab[0];
            int& b = ab[1];
            if (startsWith(line, "ROUND:")) {
                ++i;
                if (scanInts(line, "ROUND:", ab, 1) != 1) continue;
                inRound = true;
                lower = false;
                roundIndex = a;
                round = bracket->upperRound(a);
                continue;
            }
            if (startsWith(line, "LROUND")) {
                ++i;
                if (scanInts(line, "LROUND:", ab, 1) != 1) continue;
                inRound = true;
                lower = true;
                roundIndex = a;
                round = bracket->lowerRound(a);
                continue;
            }
            const bool pairingLine =
                startsWith(line, "DRAGID:") || startsWith(line, "FORCEWINNER:") || startsWith(line, "COMMENT:");
            if (!inRound || !pairingLine) break; // ends the block; looked at again above
            ++i;
            if (startsWith(line, "DRAGID:")) {
                if (scanInts(line, "DRAGID:", ab, 2) != 2) continue;
                // Only a run that exists is kept (the file never holds run 0). A missing upper
                // round is made with its one pair, and only for that pair: a line naming
                // another pair or no run is skipped and leaves no empty round behind.
                TDragRaceItem run = findRun ? findRun(b) : TDragRaceItem{};
                if (run.runId == 0) continue;
                if (!lower && !round && a == 0) round = bracket->ensureUpperRound(roundIndex, 1);
                if (TFinalPair* p = round ? round->pair(a) : nullptr) p->run = std::move(run);
            } else if (startsWith(line, "FORCEWINNER:")) {
                if (scanInts(line, "FORCEWINNER:", ab, 2) != 2) continue;
                if (b < -1 || b > 1) continue;
                if (TFinalPair* p = round ? round->pair(a) : nullptr) p->forceWinner = b;
            } else {
                if (scanInts(line, "COMMENT:", ab, 2) != 2) continue;
                if (b != 0 && b != 1) continue;
                const std::size_t colon = line.find(':', 8);
                if (colon == std::string::npos) continue;
                std::string text = line.substr(colon + 1);
                const std::size_t eol = text.find_first_of("\r\n");
                if (eol != std::string::npos) text.resize(eol);
                if (TFinalPair* p = round ? round->pair(a) : nullptr) p->comments[b] = text;
            }
        }
    }
}

Status saveFinalBracketFile(BracketPages& pages, const std::filesystem::path& eventFolder) {
    std::string text;
    {
        auto lock = pages.lockBrackets();
        text = finalBracketText(pages.bracketPages());
    }
    return writeFileAtomic(eventFolder / kFileName, text);
}

void loadFinalBracketFile(BracketPages& pages, const std::filesystem::path& eventFolder, const TFindRunById& findRun,
                          const TFindClassById& findClass) {
    std::vector<std::string> lines;
    if (!readTextLines(eventFolder / kFileName, lines).ok()) return;
    auto lock = pages.lockBrackets();
    readFinalBracketLines(pages, lines, findRun, findClass);
}

} // namespace velmaro
