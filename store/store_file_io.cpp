#include "store/store_file_io.h"

#include "store/store_error.h"
#include "store/store_format.h"
#include "store/store_table_io.h"
#include "store/value_codec.h"

#include <chrono>
#include <cstring>
#include <strings.h>
#include <thread>

namespace store {

namespace {

EStoreError Damaged(const std::string& name, const char* what) {
    return EStoreError(FormatMessage("Database file '%s' is damaged: %s", name.c_str(), what));
}

} // namespace

std::unique_ptr<TStoreFileIO> TStoreFileIO::Open(const std::string& name, TStoreOpenMode mode) {
    if (IsMemoryName(name)) return Open(FindMemoryStream(name), mode.readOnly);
    auto stream = std::make_shared<TFileStream>(name, mode.readOnly, mode.exclusive);
    bool readOnly = stream->ReadOnly();
    return Open(std::move(stream), readOnly);
}

std::unique_ptr<TStoreFileIO> TStoreFileIO::Open(std::shared_ptr<TStoreStream> stream,
                                                 bool readOnly) {
    std::unique_ptr<TStoreFileIO> file(new TStoreFileIO());
    file->stream_ = std::move(stream);
    file->readOnly_ = readOnly;
    file->Load();
    return file;
}

TStoreFileIO::~TStoreFileIO() = default;

const std::string& TStoreFileIO::FileName() const {
    return stream_->Name();
}

void TStoreFileIO::Load() {
    const std::string& name = stream_->Name();
    int64_t size = stream_->Size();
    uint8_t header[fmt::kHeaderSize] = {};
    if (size >= fmt::kHeaderSize) stream_->ReadAt(0, header, sizeof header);
    if (size < fmt::kSignatureSize || std::memcmp(header, "OxbrDB", 7) != 0)
        throw EStoreError(FormatMessage("Database file '%s' is a invalid OxbrDB", name.c_str()));
    std::string version = fmt::GetName(header + fmt::kVersionOffset, fmt::kVersionSize);
    if (version == "1.00") throw EStoreError("Version 1.00 is not compatible");
    if (version.compare("2.0") > 0) throw EStoreError("Version of database file is too High");
    if (size < fmt::kFirstFreeOffset) throw Damaged(name, "the file is truncated");

    uint8_t opt[fmt::kOptionsSize];
    stream_->ReadAt(fmt::kOptionsOffset, opt, sizeof opt);
    options_.compressBlobs = opt[fmt::kOptCompress] != 0;
    options_.compressLevel = opt[fmt::kOptCompressLevel];
    options_.compressAlgorithm = fmt::GetName(opt + fmt::kOptCompressName, fmt::kNameSize);
    options_.encrypt = opt[fmt::kOptEncrypt] != 0;
    options_.encryptMode = opt[fmt::kOptEncryptMode];
    options_.encryptAlgorithm = fmt::GetName(opt + fmt::kOptEncryptName, fmt::kNameSize);
    options_.verifyCrc = opt[fmt::kOptCrc] != 0;
    options_.passwordHash = fmt::GetName(opt + fmt::kOptPasswordHash, fmt::kPasswordHashSize);
    codec_ = std::make_unique<TValueCodec>(options_);
    accessGranted_ = !options_.encrypt;

    uint8_t dir[fmt::kDirectorySize];
    stream_->ReadAt(fmt::kDirectoryOffset, dir, sizeof dir);
    int32_t count = fmt::GetI32(dir);
    if (count < 0 || count > kMaxTables) throw Damaged(name, "the table count is out of range");
    for (int i = 0; i < count; ++i) {
        int32_t at = fmt::GetI32(dir + 8 + 4 * i);
        if (at < fmt::kFirstFreeOffset || int64_t(at) + fmt::kTableHeaderSize > size)
            throw Damaged(name, "a table header lies outside the file");
        uint8_t tableName[fmt::kNameSize];
        stream_->ReadAt(at, tableName, sizeof tableName);
        tables_.push_back(
            std::make_unique<TStoreTableIO>(*this, i, fmt::GetName(tableName, fmt::kNameSize), at));
    }
}

const std::string& TStoreFileIO::TableName(int i) const {
    if (i < 0 || i >= TableCount()) throw EStoreError("General error");
    return tables_[static_cast<size_t>(i)]->Name();
}

int TStoreFileIO::FindTable(const std::string& name) const {
    for (size_t i = 0; i < tables_.size(); ++i)
        if (strcasecmp(tables_[i]->Name().c_str(), name.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

TStoreTableIO& TStoreFileIO::Table(int i) {
    if (i < 0 || i >= TableCount()) throw EStoreError("General error");
    return *tables_[static_cast<size_t>(i)];
}

TStoreTableIO& TStoreFileIO::Table(const std::string& name) {
    int i = FindTable(name);
    if (i < 0) throw EStoreError(FormatMessage("Table '%s' not found", name.c_str()));
    return *tables_[static_cast<size_t>(i)];
}

void TStoreFileIO::SetLockSettings(int retryCount, int waitTimeMs) {
    lockRetryCount_ = retryCount < 0 ? 0 : retryCount;
    lockWaitTime_ = waitTimeMs < 0 ? 0 : waitTimeMs;
}

void TStoreFileIO::Lock() {
    if (lockDepth_ > 0) {
        ++lockDepth_;
        return;
    }
    int failures = 0;
    while (!stream_->TryLock()) {
        ++failures;
        if (lockRetryCount_ != 0 && failures > lockRetryCount_)
            throw EStoreError("Wait for unlock time out");
        std::this_thread::sleep_for(std::chrono::milliseconds(lockWaitTime_));
    }
    lockDepth_ = 1;
}

void TStoreFileIO::Unlock() {
    if (lockDepth_ <= 0) return;
    if (--lockDepth_ == 0) stream_->Unlock();
}

bool TStoreFileIO::TryPassword(const std::string& password) {
    bool ok = codec_->TryPassword(password);
    if (ok) accessGranted_ = true;
    return ok;
}

void TStoreFileIO::RequireWritable() const {
    if (readOnly_)
        throw EStoreError(
            FormatMessage("Cannot modify a read-only database '%s'", FileName().c_str()));
}

} // namespace store
