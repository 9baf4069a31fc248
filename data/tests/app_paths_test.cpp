#include "data/app_paths.h"

#include "data/data_module.h"
#include "testing/environment_override.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr QFile::Permissions kOwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ExeOwner | QFile::ReadUser |
                                                QFile::WriteUser | QFile::ExeUser;
constexpr QFile::Permissions kOwnerOnlyFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

class AppPathsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    void touch(const QString& name) {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QTemporaryDir dir;
    EnvironmentOverride home{"XDG_DATA_HOME", dir.path() + "/home/.local/share"};
};

// Where the files live, by what the program's folder holds.
TEST_F(AppPathsTest, ThePortableRuleKeepsFilesBesideTheProgram) {
    struct Case {
        QString marker; // a file in the program's folder, or none
        bool portable;
    };
    const Case cases[] = {
        {"", false}, {"all.dat", true}, {"portable", true}, {"forminfo.ini", false}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.marker.toStdString());
        const QString program = path(QString("program%1").arg(n++));
        QDir().mkpath(program);
        if (!c.marker.isEmpty()) touch(QFileInfo(program).fileName() + "/" + c.marker);
        const QString expected = c.portable ? program : path("home/.local/share/oxbrook");
        EXPECT_EQ(AppPaths::DataFolderFor(program + "/"), QDir::toNativeSeparators(expected));
    }
}

TEST_F(AppPathsTest, TheUsersDataFolderIsMadeForItsOwnerOnlyAndKept) {
    const QString folder = path("home/.local/share/oxbrook");
    EXPECT_EQ(AppPaths::DataFolderFor(path("bin")), folder);
    ASSERT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QFileInfo(folder).permissions(), kOwnerOnlyFolder);

    // A folder the user opened up on purpose is taken as it is.
    QFile::setPermissions(folder, kOwnerOnlyFolder | QFile::ReadGroup | QFile::ExeGroup);
    touch("home/.local/share/oxbrook/forminfo.ini");
    EXPECT_EQ(AppPaths::DataFolderFor(path("bin")), folder);
    EXPECT_TRUE(QFileInfo::exists(folder + "/forminfo.ini"));

    TDataModule data(folder);
    data.CreateMissingStores();
    for (const char* store : {"all.dat", "FTPBookmark.dat"})
        EXPECT_EQ(QFileInfo(folder + "/" + store).permissions(), kOwnerOnlyFile) << store;
}

TEST_F(AppPathsTest, AFolderThatCannotBeMadeIsReported) {
    touch("home/.local/share/oxbrook");
    QString why;
    EXPECT_EQ(AppPaths::DataFolderFor(path("bin"), &why), "");
    EXPECT_TRUE(why.contains("oxbrook")) << why.toStdString();
}

} // namespace
