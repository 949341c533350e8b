#pragma once
// What the registration window needs of the rest of the console. The composition root
// implements it and hands it to TRegForm::openModal for the time the window is open.
#include <string>

namespace velmaro {

class DocumentOpener;

class RegistrationHost {
public:
    RegistrationHost() = default;
    RegistrationHost(const RegistrationHost&) = delete;
    RegistrationHost& operator=(const RegistrationHost&) = delete;
    virtual ~RegistrationHost() = default;

    // The open event's name: the sheet name of racers.xlsx.
    virtual std::string eventName() const = 0;
    // Opens an exported file in the desktop's application; valid while the window is open.
    virtual DocumentOpener& documentOpener() = 0;
    // Called once the window has closed: reload the whole event from its files (classes
    // with their class pages, racers, runs) and send the race information.
    virtual void reloadEvent() = 0;
};

} // namespace velmaro
