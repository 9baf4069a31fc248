#include "testing/qt_temp_dir.h"
#include "ui/form_info.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class FormInfoTest : public ::testing::Test {
protected:
    QString file() const { return dir.path() + "/forminfo.ini"; }
    std::string contents() const {
        QFile f(file());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromUtf8(f.readAll()).remove('\r').toStdString();
    }
    void write(const QByteArray& text) {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    oxbrook::testing::QtTempDir dir;
};

TEST_F(FormInfoTest, MissingFileGivesTheDefaults) {
    TFormInfo info(file());
    EXPECT_EQ(info.ReadInteger("MAIN", "PWIDTH", 307), 307);
    EXPECT_EQ(info.ReadString("MAIN", "LOCALPATH", "-1"), "-1");
    EXPECT_FALSE(QFile::exists(file()));
}

TEST_F(FormInfoTest, NewKeysAreWrittenInTheOrderWrittenWithoutSpaces) {
    TFormInfo info(file());
    ASSERT_TRUE(info.WriteInteger("MAIN", "P2", 1));
    ASSERT_TRUE(info.WriteString("MAIN", "LOCALPATH", "/home/user/my files"));
    ASSERT_TRUE(info.WriteInteger("MAIN", "PWIDTH", 250));
    EXPECT_EQ(contents(), "[MAIN]\nP2=1\nLOCALPATH=/home/user/my files\nPWIDTH=250\n");
    EXPECT_EQ(info.ReadInteger("MAIN", "P2", 0), 1);
    EXPECT_EQ(info.ReadString("MAIN", "LOCALPATH", ""), "/home/user/my files");
}

TEST_F(FormInfoTest, ExistingKeyKeepsItsPlaceAndNewKeyIsAppendedToItsSection) {
    write("[FTP]\nUPDOWN=100\nINFO=80\n\n[MAIN]\nPWIDTH=200\n");
    TFormInfo info(file());
    ASSERT_TRUE(info.WriteInteger("FTP", "INFO", 93));
    ASSERT_TRUE(info.WriteInteger("FTP", "LVCVIEW", 3));
    ASSERT_TRUE(info.WriteInteger("FTP", "UPDOWN", 116));
    EXPECT_EQ(contents(), "[FTP]\nUPDOWN=116\nINFO=93\nLVCVIEW=3\n\n[MAIN]\nPWIDTH=200\n");
}

TEST_F(FormInfoTest, MissingSectionIsAppendedAfterTheOthers) {
    write("[FTP]\nINFO=93\n");
    TFormInfo info(file());
    ASSERT_TRUE(info.WriteInteger("MAIN", "P2", 0));
    EXPECT_EQ(contents(), "[FTP]\nINFO=93\n\n[MAIN]\nP2=0\n");
}

TEST_F(FormInfoTest, KeysAndSectionsMatchWithoutRegardToCase) {
    write("[main]\npwidth=240\n");
    TFormInfo info(file());
    EXPECT_EQ(info.ReadInteger("MAIN", "PWIDTH", 307), 240);
    ASSERT_TRUE(info.WriteInteger("MAIN", "PWIDTH", 260));
    EXPECT_EQ(info.ReadInteger("main", "pwidth", 0), 260);
    EXPECT_EQ(QString::fromStdString(contents()).count("=260"), 1);
}

TEST_F(FormInfoTest, IntegersReadLikeTheProfileApi) {
    write("[MAIN]\nA=12abc\nB=abc\nC=-7\nD=\nE= 42\n");
    TFormInfo info(file());
    EXPECT_EQ(info.ReadInteger("MAIN", "A", 5), 12);
    EXPECT_EQ(info.ReadInteger("MAIN", "B", 5), 0);
    EXPECT_EQ(info.ReadInteger("MAIN", "C", 5), -7);
    EXPECT_EQ(info.ReadInteger("MAIN", "D", 5), 0);
    EXPECT_EQ(info.ReadInteger("MAIN", "E", 5), 42);
    EXPECT_EQ(info.ReadInteger("MAIN", "F", 5), 5);
}

TEST_F(FormInfoTest, TextKeepsItsUtf8Bytes) {
    TFormInfo info(file());
    ASSERT_TRUE(info.WriteString("MAIN", "LOCALPATH", QString::fromUtf8("/tmp/Übersicht 下载")));
    EXPECT_EQ(info.ReadString("MAIN", "LOCALPATH", ""), QString::fromUtf8("/tmp/Übersicht 下载"));
}

TEST_F(FormInfoTest, UnwritableFileReportsFailure) {
    TFormInfo info(dir.path() + "/no/such/folder/forminfo.ini");
    EXPECT_FALSE(info.WriteInteger("MAIN", "P2", 0));
}

} // namespace
