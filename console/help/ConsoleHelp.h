#pragma once

#include <QString>

#include <string>

namespace ostrel {

class HelpWindow;

// The console's help commands. They open the one help window of the
// program on the help of this application folder, or, where that cannot be
// read, on the help installed with the program. When neither is there,
// nothing opens and the command returns false. GUI thread only.
class ConsoleHelp {
public:
    explicit ConsoleHelp(std::string appFolder) : appFolder_(std::move(appFolder)) {}

    bool Contents();
    bool Index();
    // An empty query shows the search view without searching.
    bool Search(const QString& query);

    // The help window while it is open.
    static HelpWindow* OpenWindow();
    // Closes the help window; before the program ends, so that its search
    // index is not left half-written.
    static void CloseWindow();

private:
    HelpWindow* Window();

    std::string appFolder_;
};

}  // namespace ostrel
