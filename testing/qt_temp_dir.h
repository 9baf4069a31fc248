#pragma once
// The temporary-folder fixture for the program's tests: TempDir with its path as a QString.

#include "testing/temp_dir.h"

#include <QString>

namespace oxbrook::testing {

class QtTempDir {
public:
    // The folder's path with native separators.
    QString path() const { return QString::fromStdString(dir_.path().string()); }
    bool isValid() const { return true; }

private:
    TempDir dir_;
};

} // namespace oxbrook::testing
