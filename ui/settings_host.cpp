#include "ui/settings_host.h"

namespace {
TSettingsHost* installedHost = nullptr;
TEntryChoices* openChoices = nullptr;
} // namespace

TSettingsHost* SettingsHost() {
    return installedHost;
}

TSettingsHost* SetSettingsHost(TSettingsHost* host) {
    TSettingsHost* former = installedHost;
    installedHost = host;
    return former;
}

TEntryChoices* OpenEntryChoices() {
    return openChoices;
}

TEntryChoices* SetOpenEntryChoices(TEntryChoices* choices) {
    TEntryChoices* former = openChoices;
    openChoices = choices;
    return former;
}
