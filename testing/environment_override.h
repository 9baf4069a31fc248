#pragma once
// An environment variable set for one test's stretch of code, such as the desktop's data folders
// that decide where the program keeps its files.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Sets an environment variable for the object's lifetime, then puts back what was there.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value.toUtf8());
    }
    ~EnvironmentOverride() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
