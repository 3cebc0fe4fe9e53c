#pragma once

#include "CSkinDialog.h"

namespace ostrel {

// The console's message box: the message on the skin's picture, one OK
// button, the title "Quillmere", modal. F1 opens the help. Every message
// of the console goes through it. GUI thread only.
class CMessageDlg : public CSkinDialog {
    Q_OBJECT

public:
    explicit CMessageDlg(const QString& text, QWidget* parent = nullptr);

    // Shows the message and returns once the user has taken note of it.
    static void Show(const QString& text, QWidget* parent = nullptr);

protected:
    CMessageDlg(const DialogTemplate& dialogTemplate, QWidget* parent);
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// The about box, a message box of its own: program, version and what
// Ostrel does.
class CAboutDlg : public CMessageDlg {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace ostrel
