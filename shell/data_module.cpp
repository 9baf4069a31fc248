#include "shell/data_module.h"

#include "store/store_error.h"

// The record work moves onto the store's table cursors as soon as they are available; until
// then every operation reports that the store cannot be reached, which start-up shows to the user.

struct TDataModule::Tables {};

namespace {
[[noreturn]] void unavailable() {
    throw store::EStoreError("The table store is not available in this build.");
}
} // namespace

TDataModule::TDataModule(const QString& programFolder) : programFolder_(programFolder) {}

TDataModule::~TDataModule() = default;

void TDataModule::CreateMissingStores() {
    unavailable();
}
void TDataModule::Connect() {
    unavailable();
}
std::vector<SiteRecord> TDataModule::LoadSites() {
    unavailable();
}
std::optional<SiteRecord> TDataModule::FindSite(const QString&) {
    unavailable();
}
void TDataModule::AppendSite(const SiteRecord&) {
    unavailable();
}
bool TDataModule::UpdateSite(const QString&, const SiteRecord&) {
    unavailable();
}
bool TDataModule::RenameSite(const QString&, const QString&) {
    unavailable();
}
bool TDataModule::DeleteSite(const QString&) {
    unavailable();
}
QStringList TDataModule::ProxyNames() {
    unavailable();
}
QStringList TDataModule::SocksNames() {
    unavailable();
}
QString TDataModule::EnsureTempPath(const QString&) {
    unavailable();
}
