#pragma once
// What every widget test needs: one application object for the whole test program, a temporary
// program folder holding a copy of the help book, and the scripted prompt and recording desktop
// services installed for the test's lifetime.

#include "app/application.h"
#include "testing/qt_temp_dir.h"
#include "testing/recording_desktop_service.h"
#include "testing/scripted_prompt_service.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>

inline TApplication& TestApplication() {
    // Widget tests never draw on a real display, whichever way they were started.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "oxbrook_tests";
    static char* argv[] = {name, nullptr};
    static TApplication* app = new TApplication(argc, argv);
    return *app;
}

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        ASSERT_TRUE(folder_.isValid());
        QString source = qEnvironmentVariable("OXBROOK_SOURCE_DIR");
#ifdef OXBROOK_SOURCE_FALLBACK
        if (source.isEmpty()) source = QStringLiteral(OXBROOK_SOURCE_FALLBACK);
#endif
        if (!source.isEmpty())
            QFile::copy(source + "/resources/Oxbrook.html", path("Oxbrook.html"));
        prompt = std::make_unique<TScriptedPromptService>();
        desktop = std::make_unique<TRecordingDesktopService>(folder());
    }
    void TearDown() override {
        desktop.reset();
        prompt.reset();
    }

    QString folder() const {
        return QDir::toNativeSeparators(folder_.path());
    }
    QString path(const QString& name) const {
        return folder() + QDir::separator() + name;
    }

    oxbrook::testing::QtTempDir folder_;
    std::unique_ptr<TScriptedPromptService> prompt;
    std::unique_ptr<TRecordingDesktopService> desktop;
};
