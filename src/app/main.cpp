#include "app/root/velmaro_app.h"
#include "ui/app/console_application.h"

int main(int argc, char** argv) {
    // An exception that escapes a handler is shown to the official; the loop goes on.
    velmaro::ui::ConsoleApplication app(argc, argv);
    return velmaro::runConsole(app);
}
