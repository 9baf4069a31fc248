#pragma once
// The application object. Its event dispatch is the program's one error handler: an exception
// that escapes a handler ends that command where it failed and shows nothing, and the program
// carries on.

#include <QApplication>

class TApplication : public QApplication {
    Q_OBJECT
public:
    // Sets the title "Oxbrook FREE Edition" as the application's display name.
    TApplication(int& argc, char** argv);

    // Dispatches the event; swallows any exception the receiver raised and returns false.
    bool notify(QObject* receiver, QEvent* event) override;

    // Returns how many exceptions were swallowed since start.
    int swallowedCount() const { return swallowed_; }

private:
    int swallowed_ = 0;
};

// The window title and application title of the program.
inline constexpr const char* kApplicationTitle = "Oxbrook FREE Edition";
