#include "ui/platform/desktop_opener.h"

#include <QCoreApplication>
#include <QProcess>
#include <QString>

#include <memory>
#include <utility>

namespace velmaro {

void DesktopOpener::open(const std::filesystem::path& file, std::function<void()> failed) {
    // Owned by the application, not by this opener: the answer may come after the opener
    // is gone. `failed` runs once at most.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto report = std::make_shared<std::function<void()>>(std::move(failed));
    QObject::connect(process, &QProcess::finished, process, [process, report](int code, QProcess::ExitStatus status) {
        if ((status != QProcess::NormalExit || code != 0) && *report) std::exchange(*report, nullptr)();
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return; // a crash also ends in finished()
        if (*report) std::exchange(*report, nullptr)();
        process->deleteLater();
    });
    process->start("xdg-open", {QString::fromStdString(file.string())});
}

} // namespace velmaro
