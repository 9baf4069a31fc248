#pragma once
// Ends the program as its own Exit does when the session asks it to (SIGTERM at logout or from
// a package check, SIGINT from a terminal), so the layout is written and the stores are closed
// instead of the process simply dying.

#include <QObject>
#include <functional>

class QSocketNotifier;

class TTerminationWatch : public QObject {
    Q_OBJECT
public:
    // Installs handlers for SIGTERM and SIGINT that run `close` on the main thread.
    explicit TTerminationWatch(std::function<void()> close, QObject* parent = nullptr);
    // Puts the default handlers back.
    ~TTerminationWatch() override;

    // The notifier's tick: reads the signal byte and runs the close step.
    void onSignal();

private:
    std::function<void()> close_;
    QSocketNotifier* notifier_ = nullptr;
};
