#pragma once

#include "CSkinDialog.h"
#include "MailSettings.h"

#include <string>

class QComboBox;
class QLineEdit;

namespace ostrel {

class ProcessLauncher;
class SaveRights;

// The e-mail settings: the recipient of the reports, the sender, the login
// at the mail server and the server itself, kept shifted in the registry.
// "Modify" stores and closes, "Test Email" stores and has the mailer send
// the test message, "Defaults" fills in the default server settings,
// "Cancel" closes. Storing switches the daily report on (EmailLog = 1).
// The password is never shown in clear. GUI thread only.
class EmailSettingsDialog : public CSkinDialog {
    Q_OBJECT

public:
    EmailSettingsDialog(std::string appFolder, ProcessLauncher& launcher, SaveRights& rights,
                        QWidget* parent = nullptr);

    void Modify();
    void SendTestEmail();
    void FillDefaults();

    // The settings as they were last read from the controls or the store.
    const MailSettings& Held() const { return held_; }
    QLineEdit& Field(int id) const;
    QComboBox& AuthMethod() const;

    // What "Defaults" fills in, as Ostrel was built.
    static MailSettings Defaults();

private:
    void ShowHeld();
    // The controls into the held settings; false, after the toolkit's
    // message, when the port is not a signed 32-bit integer.
    bool TakeControls();
    // The checks and the store that Modify and Test Email share; false
    // when a check stopped it.
    bool Store();

    std::string appFolder_;
    ProcessLauncher& launcher_;
    SaveRights& rights_;
    MailSettings held_;
};

}  // namespace ostrel
