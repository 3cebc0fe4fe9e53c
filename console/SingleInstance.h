#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <memory>

namespace ostrel {

// One console per user session. The first copy holds a lock file and
// listens on a local socket, both named after the console's mutex name, in
// the user's runtime folder ($XDG_RUNTIME_DIR), so that two users of one
// machine each have their own. A later start asks the first to show itself.
// A lock or socket left by a killed copy is taken over. GUI thread only.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kMutexName = "AFX_Orvane_H__5B5F33E8_2175_4C23_BB38_A334CADD6B89";

    // The socket's path: $XDG_RUNTIME_DIR/<mutex name>, or, without a runtime
    // folder, <temporary folder>/<mutex name>-<user id>.
    static QString ServerName();

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the first copy: true when no other live copy holds the lock.
    // Listens for later starts from then on.
    bool Claim();
    bool Listening() const { return server_ && server_->isListening(); }

    // Asks the first copy to show its window, trying for up to `patience`
    // milliseconds while it may still be starting. True once it answered
    // that it has.
    static bool AskFirstToShow(int patienceMs = 3000);

signals:
    // A later start asked for the window.
    void ShowRequested();

private:
    void OnConnection();

    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace ostrel
