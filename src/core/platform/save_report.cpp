#include "core/platform/save_report.h"

#include <mutex>
#include <set>
#include <string>

#include "core/platform/operator.h"

namespace velmaro {
namespace {

std::mutex gLock;
std::set<std::string> gFailing; // files whose last save failed
Operator* gLog = nullptr;       // where the lines go

} // namespace

Status reportSave(const std::filesystem::path& file, Status status) {
    const std::string key = file.lexically_normal().string();
    std::lock_guard<std::mutex> guard(gLock);
    const bool tell = status.ok() ? gFailing.erase(key) > 0 : gFailing.insert(key).second;
    if (tell && gLog) {
        if (status.ok())
            gLog->log("Файл " + key + " снова записывается");
        else
            gLog->log("Не удалось записать файл " + key + ": " + status.message() +
                      " (следующие ошибки этого файла не показываются, пока он не запишется)");
    }
    return status;
}

void setSaveReportLog(Operator* op) {
    std::lock_guard<std::mutex> guard(gLock);
    gLog = op;
}

void resetSaveReports() {
    std::lock_guard<std::mutex> guard(gLock);
    gFailing.clear();
}

} // namespace velmaro
