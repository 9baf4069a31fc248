// A temporary store file "a.dat" with its table "items" held open, for the cases that work on
// one table.

#pragma once

#include "store_test_support.h"

#include <memory>

namespace store::test {

class ItemsTableTest : public TempDirTest {
protected:
    // Requires "a.dat" to exist; drops the table held so far and opens the file and its
    // "items" table again, as another run of the program would.
    void Reopen() {
        if (table_) table_->Release();
        table_ = nullptr;
        file_.reset();
        file_ = TStoreFileIO::Open(Path("a.dat"));
        table_ = &file_->Table("items");
        table_->Open();
    }
    void TearDown() override {
        if (table_) table_->Release();
        file_.reset();
        TempDirTest::TearDown();
    }

    std::unique_ptr<TStoreFileIO> file_;
    TStoreTableIO* table_ = nullptr;
};

} // namespace store::test
