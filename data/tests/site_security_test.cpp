// The site security table and the remembered certificates: a store written before these
// tables existed opens, gains them empty and keeps its sites; both survive a restart.

#include "data/data_module.h"
#include "data/schema/schema.h"
#include "store/store_file_create.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(SiteSecurity, OlderStoreGainsTheTablesAndKeepsItsSitesAcrossARestart) {
    QTemporaryDir dir;
    const std::string file = (dir.path() + "/all.dat").toStdString();
    // An "all.dat" of before: every table but the two newer ones.
    store::TStoreFileDef old = schema::StoreDefinition(schema::StoreKind::Main);
    std::erase_if(old.tables, [](const store::TTableDef& t) {
        return t.name == "sitesec" || t.name == "trustcert";
    });
    store::CreateStoreFile(file, old);
    int siteId = 0;
    {
        TDataModule data(dir.path());
        data.CreateMissingStores();
        data.Connect();
        SiteRecord site;
        site.name = "secure";
        site.address = "ftp.example";
        data.AppendSite(site);
        siteId = data.FindSite("secure")->id;
        EXPECT_EQ(data.ReadSiteSecurity(siteId).encryption, 0) << "defaults without a record";
        EXPECT_TRUE(data.ReadSiteSecurity(siteId).verify);
        data.WriteSiteSecurity({siteId, 2, true, false});
        data.WriteSiteSecurity({siteId + 1, 3, false, true});
        data.WriteSiteSecurity({siteId, 1, true, false});
        data.TrustCertificate("ftp.example", 21, "AA:BB", "CN=ftp.example");
        data.TrustCertificate("ftp.example", 21, "AA:BB", "CN=ftp.example");
        data.TrustCertificate("ftp.example", 990, "CC:DD", "CN=ftp.example");
    }
    // Opening again adds nothing: the tables are there now.
    EXPECT_EQ(
        store::AppendMissingTables(file, schema::StoreDefinition(schema::StoreKind::Main).tables),
        0);
    TDataModule data(dir.path());
    data.Connect();
    ASSERT_TRUE(data.FindSite("secure"));
    const SiteSecurityRecord r = data.ReadSiteSecurity(siteId);
    EXPECT_EQ(r.encryption, 1);
    EXPECT_TRUE(r.keeptime);
    EXPECT_FALSE(r.verify);
    EXPECT_EQ(data.ReadSiteSecurity(siteId + 1).encryption, 3);
    EXPECT_EQ(data.TrustedCertificates("FTP.example", 21), QStringList{"AA:BB"});
    EXPECT_EQ(data.TrustedCertificates("ftp.example", 990), QStringList{"CC:DD"});
    EXPECT_TRUE(data.TrustedCertificates("ftp.example", 2121).isEmpty());
}

} // namespace
