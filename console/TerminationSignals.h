#pragma once

#include <QObject>

class QSocketNotifier;

namespace ostrel {

// SIGTERM, SIGINT and SIGHUP turned into a signal on the GUI thread, so
// that the console ends as by Exit (icon removed) when the session ends or
// it is asked to stop. One object at a time; while it lives it handles the
// three signals.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Received();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ostrel
