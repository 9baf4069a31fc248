// Loading a table from the file, keeping the loaded state in step with other processes, and
// repairing what an interrupted append left behind.

#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"
#include "store/table_state.h"
#include "store/value_codec.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace store {

namespace {

constexpr int32_t kMaxTextSize = 1 << 20;

} // namespace

#define DAMAGED(what)                                                                              \
    EStoreError(FormatMessage("Table '%s' in '%s' is damaged: %s", name_.c_str(),                  \
                              file_.FileName().c_str(), what))

void TStoreTableIO::LoadState() {
    TStoreStream& s = file_.Stream();
    auto st = std::make_unique<State>();
    int64_t size = s.Size();
    st->header.resize(fmt::kTableHeaderSize);
    s.ReadAt(headerOffset_, st->header.data(), st->header.size());
    st->disk = st->header;
    const uint8_t* h = st->header.data();

    int32_t fieldCount = fmt::GetI32(h + fmt::kThFieldCount);
    if (fieldCount < 0 || fieldCount > kMaxFields) throw DAMAGED("the field count is out of range");
    std::vector<TFieldDef> fields;
    for (int i = 0; i < fieldCount; ++i) {
        const uint8_t* e = h + fmt::kThFields + i * fmt::kFieldEntrySize;
        TFieldDef f;
        f.name = fmt::GetName(e, fmt::kNameSize);
        f.type = static_cast<TFieldType>(e[fmt::kFeType]);
        f.size = fmt::GetI32(e + fmt::kFeSize);
        f.mode = e[fmt::kFeMode];
        if (!IsStorableType(f.type)) throw EStoreError("General error");
        if (IsTextType(f.type) && (f.size < 0 || f.size > kMaxTextSize))
            throw DAMAGED("a text field size is out of range");
        fields.push_back(f);
    }
    // Record buffers made before a reload stay valid as long as the fields are the same.
    auto sameFields = [&] {
        if (!layout_ || layout_->fields.size() != fields.size()) return false;
        for (size_t i = 0; i < fields.size(); ++i) {
            const TFieldDef& a = layout_->fields[i];
            if (a.name != fields[i].name || a.type != fields[i].type || a.size != fields[i].size ||
                a.mode != fields[i].mode)
                return false;
        }
        return true;
    };
    auto layout = sameFields() ? layout_ : TRecordLayout::Make(fields);

    int32_t indexCount = fmt::GetI32(h + fmt::kThIndexCount);
    if (indexCount < 0 || indexCount > kMaxIndexes)
        throw DAMAGED("the index count is out of range");
    std::vector<TIndexInfo> indexes;
    for (int i = 0; i < indexCount; ++i) {
        const uint8_t* e = h + fmt::kThIndexes + i * fmt::kIndexEntrySize;
        TIndexInfo x;
        x.name = fmt::GetName(e, fmt::kNameSize);
        x.options = e[fmt::kIeOptions];
        for (int k = 0; k < kMaxIndexFields; ++k) {
            int32_t n = fmt::GetI32(e + fmt::kIeFields + 4 * k);
            if (n == -1) break;
            if (n < 0 || n >= fieldCount)
                throw DAMAGED("an index names a field that does not exist");
            x.fields.push_back(n);
        }
        if (x.fields.empty()) throw DAMAGED("an index has no key fields");
        indexes.push_back(std::move(x));
    }

    int32_t total = fmt::GetI32(h + fmt::kThRecordTotal);
    int32_t dirOffset = fmt::GetI32(h + fmt::kThDirOffset);
    if (total < 0) throw DAMAGED("the record total is negative");
    int64_t blocks = (int64_t(total) + fmt::kSlotsPerBlock - 1) / fmt::kSlotsPerBlock;
    if (blocks * fmt::kDirBlockSize > size) throw DAMAGED("the record total exceeds the file");

    const int R = layout->recordSize;
    st->slotOffset.resize(static_cast<size_t>(total));
    st->slotLive.resize(static_cast<size_t>(total));
    std::vector<uint8_t> block(fmt::kDirBlockSize);
    std::unordered_set<int32_t> seen;
    int32_t at = dirOffset;
    for (int64_t b = 0; b < blocks; ++b) {
        if (at < fmt::kFirstFreeOffset || int64_t(at) + fmt::kDirBlockSize > size)
            throw DAMAGED("a record directory block lies outside the file");
        if (!seen.insert(at).second) throw DAMAGED("the record directory blocks form a loop");
        s.ReadAt(at, block.data(), block.size());
        st->dirBlocks.push_back(at);
        for (int i = 0; i < fmt::kSlotsPerBlock; ++i) {
            int64_t n = b * fmt::kSlotsPerBlock + i;
            if (n >= total) break;
            const uint8_t* slot = block.data() + 4 + i * fmt::kSlotSize;
            int32_t offset = fmt::GetI32(slot);
            // A slot whose record does not lie wholly inside the file belongs to an append that
            // never finished: it is left out rather than read.
            bool live =
                slot[4] == 0 && offset >= fmt::kFirstFreeOffset && int64_t(offset) + R <= size;
            st->slotOffset[static_cast<size_t>(n)] = offset;
            st->slotLive[static_cast<size_t>(n)] = live ? 1 : 0;
        }
        at = fmt::GetI32(block.data());
    }
    st->lists.resize(1 + indexes.size());
    for (int32_t n = 0; n < total; ++n)
        if (st->slotLive[static_cast<size_t>(n)])
            st->lists[0].push_back({st->slotOffset[static_cast<size_t>(n)], n});
    st->chains.resize(indexes.size());
    st->keys.resize(indexes.size());
    for (size_t k = 0; k < indexes.size(); ++k) {
        State::KeyCache& kc = st->keys[k];
        for (int f : indexes[k].fields) {
            kc.fieldOffset.push_back(kc.keyLength);
            kc.keyLength += layout->sizes[static_cast<size_t>(f)];
        }
    }

    auto oldState = std::move(state_);
    auto oldLayout = layout_;
    auto oldIndexes = indexes_;
    state_ = std::move(st);
    layout_ = layout;
    indexes_ = std::move(indexes);
    recordTotal_ = total;
    autoInc_ = fmt::GetI32(h + fmt::kThAutoInc);
    try {
        for (int k = 0; k < static_cast<int>(indexes_.size()); ++k)
            BuildChain(k, state_->IndexLinkOffset(k), size);
    } catch (...) {
        state_ = std::move(oldState);
        layout_ = oldLayout;
        indexes_ = std::move(oldIndexes);
        if (state_) {
            recordTotal_ = fmt::GetI32(state_->disk.data() + fmt::kThRecordTotal);
            autoInc_ = fmt::GetI32(state_->disk.data() + fmt::kThAutoInc);
        }
        throw;
    }
    ++generation_;
}

void TStoreTableIO::BuildChain(int index, int32_t linkOffset, int64_t fileSize) {
    State& st = *state_;
    State::Chain& c = st.chains[static_cast<size_t>(index)];
    TStoreStream& s = file_.Stream();
    size_t liveCount = st.lists[0].size();
    if (linkOffset == 0) {
        // An index that never got a chain while records exist is rebuilt, so its order and
        // unique checks cover every record.
        if (recordTotal_ > 0) RebuildOrder(index);
        return;
    }
    std::vector<uint8_t> block(fmt::kLinkBlockSize);
    std::unordered_set<int32_t> seen;
    int32_t at = linkOffset;
    auto readItems = [&](int32_t offset) {
        s.ReadAt(offset, block.data(), block.size());
        for (int i = 0; i < fmt::kSlotsPerBlock; ++i)
            c.next.push_back(fmt::GetI32(block.data() + 4 + i * fmt::kLinkItemSize + 4));
        return fmt::GetI32(block.data());
    };
    for (size_t b = 0; b < st.dirBlocks.size(); ++b) {
        if (at < fmt::kFirstFreeOffset || int64_t(at) + fmt::kLinkBlockSize > fileSize)
            throw DAMAGED("an index link block lies outside the file");
        if (!seen.insert(at).second) throw DAMAGED("the index link blocks form a loop");
        c.blocks.push_back(at);
        at = readItems(at);
    }
    // The block an unfinished append may have begun: its first item can sit in the chain.
    if (at >= fmt::kFirstFreeOffset && int64_t(at) + fmt::kLinkBlockSize <= fileSize &&
        !seen.count(at))
        readItems(at);

    const int32_t total = recordTotal_;
    std::vector<uint8_t> visited(c.next.size(), 0);
    TRecordList list;
    bool broken = false;
    int32_t prev = -1;
    int32_t cur = st.IndexStart(index);
    while (cur != -1) {
        if (cur < 0 || static_cast<size_t>(cur) >= c.next.size() ||
            visited[static_cast<size_t>(cur)]) {
            broken = true;
            break;
        }
        visited[static_cast<size_t>(cur)] = 1;
        int32_t next = c.next[static_cast<size_t>(cur)];
        if (cur >= total) {
            // Linked by an append that never raised the record total: unlink it.
            if (prev < 0)
                st.SetIndexStart(index, next);
            else
                c.next[static_cast<size_t>(prev)] = next;
            c.repairs.emplace_back(prev, next);
        } else {
            if (st.slotLive[static_cast<size_t>(cur)])
                list.push_back({st.slotOffset[static_cast<size_t>(cur)], cur});
            prev = cur;
        }
        cur = next;
    }
    if (broken || list.size() != liveCount) {
        RebuildOrder(index);
        return;
    }
    st.lists[static_cast<size_t>(index) + 1] = std::move(list);
}

void TStoreTableIO::RebuildOrder(int index) {
    State& st = *state_;
    State::Chain& c = st.chains[static_cast<size_t>(index)];
    const TRecordList& phys = st.lists[0];
    std::vector<std::vector<uint8_t>> clear(phys.size());
    for (size_t i = 0; i < phys.size(); ++i)
        ReadClear(phys[i], clear[i]);
    std::vector<size_t> order(phys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return CompareClearKeys(index, clear[a].data(), clear[b].data(), -1) < 0;
    });
    TRecordList list;
    for (size_t i : order)
        list.push_back(phys[i]);
    c.next.assign(st.dirBlocks.size() * fmt::kSlotsPerBlock, -1);
    for (size_t i = 0; i < list.size(); ++i)
        c.next[static_cast<size_t>(list[i].slot)] = i + 1 < list.size() ? list[i + 1].slot : -1;
    st.SetIndexStart(index, list.empty() ? 0 : list[0].slot);
    c.repairs.clear();
    c.rewriteAll = true;
    st.lists[static_cast<size_t>(index) + 1] = std::move(list);
}

void TStoreTableIO::Refresh() {
    RequireOpen();
    std::vector<uint8_t> disk(fmt::kTableHeaderSize);
    file_.Stream().ReadAt(headerOffset_, disk.data(), disk.size());
    if (!state_->stale && disk == state_->disk) return;
    LoadState();
}

void TStoreTableIO::BumpChangeCount() {
    uint8_t* p = state_->header.data() + fmt::kThChangeCount;
    fmt::PutI32(p, fmt::GetI32(p) + 1);
}

void TStoreTableIO::ApplyRepairs() {
    State& st = *state_;
    TStoreStream& s = file_.Stream();
    bool any = false;
    for (int k = 0; k < static_cast<int>(st.chains.size()); ++k) {
        State::Chain& c = st.chains[static_cast<size_t>(k)];
        if (c.rewriteAll) {
            while (c.blocks.size() < st.dirBlocks.size()) {
                auto at = static_cast<int32_t>(s.Size());
                std::vector<uint8_t> zero(fmt::kLinkBlockSize, 0);
                s.WriteAt(at, zero.data(), zero.size());
                if (c.blocks.empty()) st.SetIndexLinkOffset(k, at);
                c.blocks.push_back(at);
            }
            std::vector<uint8_t> block(fmt::kLinkBlockSize);
            for (size_t b = 0; b < c.blocks.size(); ++b) {
                std::fill(block.begin(), block.end(), 0);
                fmt::PutI32(block.data(), b + 1 < c.blocks.size() ? c.blocks[b + 1] : 0);
                for (int i = 0; i < fmt::kSlotsPerBlock; ++i) {
                    int64_t n = int64_t(b) * fmt::kSlotsPerBlock + i;
                    if (n >= recordTotal_) break;
                    uint8_t* item = block.data() + 4 + i * fmt::kLinkItemSize;
                    fmt::PutI32(item, static_cast<int32_t>(n));
                    fmt::PutI32(item + 4, c.next[static_cast<size_t>(n)]);
                }
                s.WriteAt(c.blocks[b], block.data(), block.size());
            }
            c.rewriteAll = false;
            any = true;
        }
        for (auto [slot, next] : c.repairs)
            if (slot >= 0) WriteLinkItem(k, slot, next);
        any = any || !c.repairs.empty();
        c.repairs.clear();
    }
    if (any) {
        BumpChangeCount();
        WriteHeader();
    }
}

void TStoreTableIO::WriteHeader() {
    State& st = *state_;
    TStoreStream& s = file_.Stream();
    const uint8_t* h = st.header.data();
    const uint8_t* d = st.disk.data();
    const int size = fmt::kTableHeaderSize;
    // Everything but the directory offset and record total goes first: a process killed in
    // between leaves the new record invisible instead of half there.
    // The auto-increment counter goes byte by byte, most significant first, so that a write cut
    // short can only leave it higher than before (values skipped), never lower: a lower counter
    // would hand out values that records already hold.
    for (int b = 3; b >= 0; --b) {
        const int at = fmt::kThAutoInc + b;
        if (h[at] != d[at]) s.WriteAt(headerOffset_ + at, h + at, 1);
    }
    int i = 0;
    while (i < size) {
        if (i == fmt::kThDirOffset) {
            i = fmt::kThAutoInc + 4;
            continue;
        }
        if (h[i] == d[i]) {
            ++i;
            continue;
        }
        int end = i + 1, same = 0;
        while (end < size && end != fmt::kThDirOffset && same < 32) {
            same = h[end] == d[end] ? same + 1 : 0;
            ++end;
        }
        end -= same;
        s.WriteAt(headerOffset_ + i, h + i, static_cast<size_t>(end - i));
        i = end;
    }
    if (std::memcmp(h + fmt::kThDirOffset, d + fmt::kThDirOffset, 8) != 0)
        s.WriteAt(headerOffset_ + fmt::kThDirOffset, h + fmt::kThDirOffset, 8);
    st.disk = st.header;
    recordTotal_ = fmt::GetI32(h + fmt::kThRecordTotal);
    autoInc_ = fmt::GetI32(h + fmt::kThAutoInc);
}

#undef DAMAGED

} // namespace store
