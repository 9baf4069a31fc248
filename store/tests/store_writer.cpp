// A second process for the storage tests: holds the file lock, appends records next to the
// test process, or appends until it is killed at a chosen write.
//
//   store_writer hold FILE                 lock, print "locked", unlock when stdin closes
//   store_writer append FILE COUNT TAG     wait for a line on stdin, append COUNT "items"
//   store_writer crash FILE KILLAT HALF N  append "log" records from N on; at the KILLAT-th
//                                          write (0: never) die by SIGKILL, after writing half
//                                          of that write's bytes when HALF is 1

#include "store/store_file_io.h"
#include "store/store_table_io.h"
#include "store_writer_records.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

using namespace store;

namespace {

class KillingStream : public TStoreStream {
public:
    KillingStream(std::shared_ptr<TFileStream> inner, long killAt, bool half)
        : inner_(std::move(inner)), left_(killAt), half_(half) {}
    void ReadAt(int64_t offset, void* out, size_t len) override {
        inner_->ReadAt(offset, out, len);
    }
    void WriteAt(int64_t offset, const void* data, size_t len) override {
        if (left_ > 0 && --left_ == 0) {
            if (half_ && len > 1) inner_->WriteAt(offset, data, len / 2);
            std::raise(SIGKILL);
        }
        inner_->WriteAt(offset, data, len);
    }
    int64_t Size() override { return inner_->Size(); }
    void Flush() override { inner_->Flush(); }
    bool TryLock() override { return inner_->TryLock(); }
    void Unlock() override { inner_->Unlock(); }
    const std::string& Name() const override { return inner_->Name(); }

private:
    std::shared_ptr<TFileStream> inner_;
    long left_;
    bool half_;
};

int Hold(const std::string& path) {
    auto file = TStoreFileIO::Open(path);
    file->Lock();
    std::cout << "locked" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    file->Unlock();
    return 0;
}

int Append(const std::string& path, int count, const std::string& tag) {
    auto file = TStoreFileIO::Open(path);
    file->SetLockSettings(0, 1);
    TStoreTableIO& t = file->Table("items");
    t.Open();
    std::string go;
    std::getline(std::cin, go);
    TRecordBuffer r = t.NewRecord();
    for (int i = 0; i < count; ++i) {
        r.Clear();
        r.SetText(1, tag + "-" + std::to_string(i));
        r.SetInteger(2, i);
        r.SetBlob(4, std::string(static_cast<size_t>(i % 100), tag[0]));
        t.AppendRecord(r);
    }
    t.Release();
    std::cout << "done" << std::endl;
    return 0;
}

int Crash(const std::string& path, long killAt, bool half, int first) {
    auto inner = std::make_shared<TFileStream>(path, false);
    auto file = TStoreFileIO::Open(std::make_shared<KillingStream>(inner, killAt, half));
    TStoreTableIO& t = file->Table("log");
    t.Open();
    std::printf("ready\n");
    std::fflush(stdout);
    TRecordBuffer r = t.NewRecord();
    for (int n = first;; ++n) {
        FillLogRecord(r, n);
        t.AppendRecord(r);
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "hold" && argc == 3) return Hold(argv[2]);
        if (mode == "append" && argc == 5) return Append(argv[2], std::atoi(argv[3]), argv[4]);
        if (mode == "crash" && argc == 6)
            return Crash(argv[2], std::atol(argv[3]), std::atoi(argv[4]) != 0, std::atoi(argv[5]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store_writer: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: store_writer hold|append|crash ...\n");
    return 1;
}
