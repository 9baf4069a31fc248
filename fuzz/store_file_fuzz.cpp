// The store file opener and the record and blob readers over an arbitrary store image, held by
// a memory medium: open, then read every record and blob of every table as the check does.

#include "fuzz/fuzz_target.h"
#include "store/record_buffer.h"
#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto stream = std::make_shared<store::TMemoryStream>("fuzz");
    stream->Assign(std::vector<std::uint8_t>(data, data + size));
    try {
        auto file = store::TStoreFileIO::Open(stream, true);
        file->TryPassword("fuzz");
        for (int i = 0; i < file->TableCount(); ++i) {
            store::TStoreTableIO& table = file->Table(i);
            try {
                table.Open();
            } catch (const store::EStoreError&) {
                continue;
            }
            try {
                store::TRecordBuffer buf = table.NewRecord();
                const store::TRecordList& records = table.List(0);
                for (std::size_t r = 0; r < records.size() && r < 256; ++r) {
                    try {
                        table.ReadRecord(records[r], buf);
                        for (int f = 0; f < buf.FieldCount(); ++f)
                            if (store::IsBlobType(buf.FieldType(f))) table.LoadBlob(buf, f);
                    } catch (const store::EStoreError&) {
                    }
                }
            } catch (const store::EStoreError&) {
            }
            table.Release();
        }
    } catch (const store::EStoreError&) {
    }
    return 0;
}
