#include "core/registration/registration_edits.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/platform/numbers.h"
#include "core/platform/operator.h"
#include "core/records/figure_text.h"

namespace velmaro {

namespace {

constexpr const char* kNoCaption = "";
// The largest limit whose millisecond form (x 100) still fits a signed 32-bit value.
constexpr std::int32_t kMaxLimitTenths = std::numeric_limits<std::int32_t>::max() / 100;

void reportSave(const TRegistry& reg, const Status& st, Operator& op) {
    if (st.ok() || reg.eventFolder().empty()) return;
    op.message("Изменения не записаны: " + st.message(), "Регистрация", Operator::Icon::Warning);
}

void showTaken(std::uint32_t number, Operator& op) {
    op.message("Участник с номером " + std::to_string(number) + "\n уже зарегистрирован", kNoCaption,
               Operator::Icon::Error);
}
void showBadNumber(Operator& op) { op.message("Неверно указан номер участника!", kNoCaption, Operator::Icon::Error); }
void showBadTag(Operator& op) { op.message("Ошибка", "Неверный ввод номера метки!", Operator::Icon::Error); }
void showBadLimit(const std::string& text, Operator& op) {
    op.message("Неверно указан лимит времени: " + text, kNoCaption, Operator::Icon::Error);
}

// True when a racer other than `except` has `number`; with `zeroCollides` false a 0
// never collides.
bool numberTaken(const TRegistry& reg, std::uint32_t number, const TRacerItem* except, bool zeroCollides) {
    if (number == 0 && !zeroCollides) return false;
    for (const auto& r : reg.racers)
        if (r.get() != except && r->number == number) return true;
    return false;
}

// The tag of a field: "" is 0; an unreadable text is reported and read as 0.
std::int32_t readTag(const std::string& text, Operator& op) {
    if (text.empty()) return 0;
    if (const auto tag = parseIntegerInRange(text, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()))
        return static_cast<std::int32_t>(*tag);
    showBadTag(op);
    return 0;
}

// Reads the limit fields named, refusing the first unreadable one with a message.
bool readLimits(const std::vector<std::pair<const std::string*, std::int32_t*>>& fields, Operator& op) {
    for (const auto& [text, out] : fields) {
        const auto value = parseLimitTenths(*text);
        if (!value) {
            showBadLimit(*text, op);
            return false;
        }
        *out = *value;
    }
    return true;
}

void addToCounts(TRegistry& reg, const std::vector<std::int32_t>& ids, int delta) {
    for (std::int32_t id : ids)
        if (TClassItem* c = reg.findClass(id)) c->racerCount += delta;
}

std::vector<std::int32_t> tickedIds(const TRegistry& reg, const std::vector<bool>& ticked) {
    std::vector<std::int32_t> ids;
    for (std::size_t i = 0; i < ticked.size() && i < reg.classes.size(); ++i)
        if (ticked[i]) ids.push_back(reg.classes[i]->id);
    return ids;
}

void applyPersonalData(TRacerItem& racer, const RacerFields& fields) {
    racer.name = fields.name;
    racer.carModel = fields.carModel;
    racer.city = fields.city;
    racer.team = fields.team;
}

} // namespace

void saveClassesOrTell(const TRegistry& reg, Operator& op) { reportSave(reg, reg.saveClasses(), op); }
void saveRacersOrTell(const TRegistry& reg, Operator& op) { reportSave(reg, reg.saveRacers(), op); }

const std::vector<std::string>& classColumnCaptions() {
    static const std::vector<std::string> captions = {"№", "Название", "Лимиты"};
    return captions;
}

const std::vector<std::string>& racerColumnCaptions() {
    static const std::vector<std::string> captions = {"№", "Метка", "ФИО", "Модель", "Класс", "Город", "Команда"};
    return captions;
}

std::string classLimitsText(const TClassItem& cls) {
    std::string text;
    if (cls.minTime != 0) text += "от " + formatLaneTime(cls.minTime * 100) + " с,";
    if (cls.maxTime != 0) text += " до " + formatLaneTime(cls.maxTime * 100 - 1) + " с";
    if (cls.breakoutLimit != 0) text += ", Breakout: " + formatLaneTime(cls.breakoutLimit * 100) + " c";
    return text;
}

std::vector<std::string> classRowTexts(const TClassItem& cls, int row) {
    return {std::to_string(row + 1), cls.name, classLimitsText(cls)};
}

std::vector<std::string> racerRowTexts(const TRegistry& reg, const TRacerItem& racer) {
    std::string classNames;
    for (std::int32_t id : racer.classIds) {
        const TClassItem* cls = reg.findClass(id);
        if (!cls) continue;
        if (!classNames.empty()) classNames += ", ";
        classNames += cls->name;
    }
    return {std::to_string(racer.number),
            racer.tag == 0 ? std::string() : std::to_string(racer.tag),
            racer.name,
            racer.carModel,
            classNames,
            racer.city,
            racer.team};
}

std::optional<std::int32_t> parseLimitTenths(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return 0;
    const auto seconds = parseOperatorNumber(text);
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0) return std::nullopt;
    const double tenths = std::round(*seconds * 10.0);
    if (tenths > kMaxLimitTenths) return std::nullopt;
    return static_cast<std::int32_t>(tenths);
}

std::string limitFieldText(std::int32_t tenths) {
    if (tenths == 0) return {};
    const std::string sign = tenths < 0 ? "-" : "";
    const std::int64_t v = tenths < 0 ? -static_cast<std::int64_t>(tenths) : tenths;
    return sign + std::to_string(v / 10) + "." + std::to_string(v % 10);
}

std::optional<std::uint32_t> parseRacerNumber(std::string_view text) {
    const auto n = parseIntegerInRange(text, 0, std::numeric_limits<std::int32_t>::max());
    if (!n) return std::nullopt;
    return static_cast<std::uint32_t>(*n);
}

ClassFields classFieldsOf(const TClassItem& cls) {
    return {cls.name, limitFieldText(cls.minTime), limitFieldText(cls.maxTime), limitFieldText(cls.breakoutLimit)};
}

RacerFields racerFieldsOf(const TRegistry& reg, const TRacerItem& racer) {
    RacerFields f;
    f.number = std::to_string(racer.number);
    f.tag = racer.tag == 0 ? std::string() : std::to_string(racer.tag);
    f.name = racer.name;
    f.carModel = racer.carModel;
    f.city = racer.city;
    f.team = racer.team;
    for (const auto& c : reg.classes)
        f.ticked.push_back(std::find(racer.classIds.begin(), racer.classIds.end(), c->id) != racer.classIds.end());
    return f;
}

bool classNameAccepted(const std::string& name, Operator& op) {
    if (name.find_first_not_of(" \t") != std::string::npos) return true;
    op.message("Не указано название класса!", kNoCaption, Operator::Icon::Error);
    return false;
}

TClassItem* addClassFromFields(TRegistry& reg, const ClassFields& fields, Operator& op) {
    if (!classNameAccepted(fields.name, op)) return nullptr;
    for (const auto& c : reg.classes)
        if (c->name == fields.name) return nullptr;
    std::int32_t minTime = 0, maxTime = 0, breakout = 0;
    if (!readLimits({{&fields.minTime, &minTime}, {&fields.maxTime, &maxTime}, {&fields.breakoutLimit, &breakout}}, op))
        return nullptr;
    TClassItem* cls = reg.addClass(fields.name, minTime, maxTime, breakout);
    saveClassesOrTell(reg, op);
    return cls;
}

bool changeClassFromFields(TRegistry& reg, TClassItem& cls, const ClassFields& fields, Operator& op) {
    if (!classNameAccepted(fields.name, op)) return false;
    std::int32_t minTime = 0, maxTime = 0, breakout = 0;
    if (!readLimits({{&fields.minTime, &minTime}, {&fields.maxTime, &maxTime}, {&fields.breakoutLimit, &breakout}}, op))
        return false;
    cls.name = fields.name;
    if (maxTime != 0 && maxTime < minTime)
        op.message("Ошибка: лимиты времени указаны неверно!", kNoCaption, Operator::Icon::Information);
    if (minTime != 0 && minTime < breakout)
        op.message("Ошибка: лимиты времени указаны неверно!", kNoCaption, Operator::Icon::Information);
    cls.minTime = minTime;
    cls.maxTime = maxTime;
    cls.breakoutLimit = breakout;
    saveClassesOrTell(reg, op);
    return true;
}

bool removeClassAt(TRegistry& reg, int index, Operator& op) {
    if (index < 0 || index >= static_cast<int>(reg.classes.size())) return false;
    if (!op.askYesNo("Удалить класс \"" + reg.classes[index]->name + "\"?", kNoCaption)) return false;
    reg.removeClass(index);
    saveClassesOrTell(reg, op);
    saveRacersOrTell(reg, op);
    return true;
}

TRacerItem* addRacerFromFields(TRegistry& reg, const RacerFields& fields, Operator& op) {
    const auto number = parseRacerNumber(fields.number);
    if (!number) {
        showBadNumber(op);
        return nullptr;
    }
    if (numberTaken(reg, *number, nullptr, false)) {
        showTaken(*number, op);
        return nullptr;
    }
    auto racer = std::make_unique<TRacerItem>(*number);
    applyPersonalData(*racer, fields);
    racer->tag = readTag(fields.tag, op);
    racer->classIds = tickedIds(reg, fields.ticked);
    addToCounts(reg, racer->classIds, 1);
    if (racer->classIds.empty() && !reg.classes.empty())
        op.message("Не указан класс, в котором заявлен участник", kNoCaption, Operator::Icon::Error);
    reg.racers.push_back(std::move(racer));
    TRacerItem* added = reg.racers.back().get();
    reg.mergeEditedRacer(*added);
    saveRacersOrTell(reg, op);
    return added;
}

bool changeRacerFromFields(TRegistry& reg, int index, const RacerFields& fields, Operator& op) {
    if (index < 0 || index >= static_cast<int>(reg.racers.size())) return false;
    TRacerItem& racer = *reg.racers[index];
    const auto number = parseRacerNumber(fields.number);
    if (!number) {
        showBadNumber(op);
        return false;
    }
    if (numberTaken(reg, *number, &racer, true)) {
        showTaken(*number, op);
        return false;
    }
    racer.number = *number;
    racer.tag = readTag(fields.tag, op);
    applyPersonalData(racer, fields);
    addToCounts(reg, racer.classIds, -1);
    racer.classIds = tickedIds(reg, fields.ticked);
    addToCounts(reg, racer.classIds, 1);
    reg.mergeEditedRacer(racer);
    saveRacersOrTell(reg, op);
    return true;
}

bool removeRacerAt(TRegistry& reg, int index, Operator& op) {
    if (index < 0 || index >= static_cast<int>(reg.racers.size())) return false;
    const TRacerItem& racer = *reg.racers[index];
    if (!op.askYesNo("Удалить участника №" + std::to_string(racer.number) + " - " + racer.name + "?", kNoCaption))
        return false;
    reg.removeRacer(index);
    saveRacersOrTell(reg, op);
    return true;
}

bool editRacerCell(TRegistry& reg, int index, int column, const std::string& text, Operator& op) {
    if (index < 0 || index >= static_cast<int>(reg.racers.size())) return false;
    RacerFields fields = racerFieldsOf(reg, *reg.racers[index]);
    switch (column) {
    case kRacerColNumber: fields.number = text; break;
    case kRacerColTag: fields.tag = text; break;
    case kRacerColName: fields.name = text; break;
    case kRacerColCarModel: fields.carModel = text; break;
    case kRacerColCity: fields.city = text; break;
    case kRacerColTeam: fields.team = text; break;
    case kRacerColClasses:
        for (std::size_t i = 0; i < fields.ticked.size(); ++i) fields.ticked[i] = reg.classes[i]->name == text;
        break;
    default: return false;
    }
    return changeRacerFromFields(reg, index, fields, op);
}

bool editClassCell(TRegistry& reg, int index, int column, const std::string& text, Operator& op) {
    if (index < 0 || index >= static_cast<int>(reg.classes.size()) || column != kClassColName) return false;
    if (!classNameAccepted(text, op)) return false;
    reg.classes[index]->name = text;
    saveClassesOrTell(reg, op);
    return true;
}

bool sortRacersByColumn(TRegistry& reg, int column) {
    auto by = [&](auto less) { std::stable_sort(reg.racers.begin(), reg.racers.end(), less); };
    switch (column) {
    case kRacerColNumber: by([](const auto& a, const auto& b) { return a->number < b->number; }); return true;
    case kRacerColTag: by([](const auto& a, const auto& b) { return a->tag < b->tag; }); return true;
    case kRacerColName: by([](const auto& a, const auto& b) { return collateText(a->name, b->name) < 0; }); return true;
    default: return false;
    }
}

} // namespace velmaro
