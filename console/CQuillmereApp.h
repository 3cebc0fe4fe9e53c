#pragma once

#include <QApplication>

#include <string>

namespace ostrel {

// The console program. It reads the application folder once, when it is
// built; InitInstance is the whole run: one copy per user session, a later
// start only brings the first one forward, and the main window runs until
// its tray menu's Exit. The command line is not read.
class CQuillmereApp : public QApplication {
    Q_OBJECT

public:
    CQuillmereApp(int& argc, char** argv);

    // Runs the console; the program's exit code, always 0.
    int InitInstance();

    const std::string& AppFolder() const { return appFolder_; }

private:
    std::string appFolder_;
};

}  // namespace ostrel
