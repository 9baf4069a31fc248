// Key comparison against stored records, binary search, unique checks and the upkeep of the
// index link chains on disk.

#include "store/key_compare.h"
#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"
#include "store/table_state.h"
#include "store/value_codec.h"

#include <algorithm>
#include <cstring>

namespace store {

void TStoreTableIO::ReadStored(const TRecordRef& ref, std::vector<uint8_t>& raw) {
    raw.resize(static_cast<size_t>(layout_->recordSize));
    ReadStoredInto(ref, raw.data());
}

void TStoreTableIO::ReadStoredInto(const TRecordRef& ref, uint8_t* raw) {
    if (layout_->recordSize <= 0) return;
    if (ref.dataOffset < fmt::kFirstFreeOffset)
        throw EStoreError(FormatMessage("Table '%s' in '%s' is damaged: a record lies outside "
                                        "the file",
                                        name_.c_str(), file_.FileName().c_str()));
    file_.Stream().ReadAt(ref.dataOffset, raw, static_cast<size_t>(layout_->recordSize));
}

void TStoreTableIO::ReadClear(const TRecordRef& ref, std::vector<uint8_t>& clear) {
    ReadStored(ref, clear);
    const TRecordLayout& lay = *layout_;
    TValueCodec& codec = file_.Codec();
    if (!codec.Encrypts()) return;
    for (size_t f = 0; f < lay.fields.size(); ++f)
        if (!IsBlobType(lay.fields[f].type))
            codec.DecodeField(clear.data() + lay.offsets[f], static_cast<size_t>(lay.sizes[f]),
                              lay.fields[f].mode);
}

int TStoreTableIO::CompareClearKeys(int index, const uint8_t* a, const uint8_t* b, int keyFields,
                                    const std::vector<int>* bKeyOffsets) const {
    const TIndexInfo& x = indexes_[static_cast<size_t>(index)];
    const TRecordLayout& lay = *layout_;
    int n = static_cast<int>(x.fields.size());
    if (keyFields >= 0 && keyFields < n) n = keyFields;
    bool ci = (x.options & tiCaseInsensitive) != 0;
    for (int j = 0; j < n; ++j) {
        auto f = static_cast<size_t>(x.fields[static_cast<size_t>(j)]);
        // b is either a whole clear record or one slot's cached key bytes.
        const uint8_t* bp =
            bKeyOffsets ? b + (*bKeyOffsets)[static_cast<size_t>(j)] : b + lay.offsets[f];
        int c = CompareFieldBytes(lay.fields[f].type, a + lay.offsets[f], bp, lay.sizes[f], ci);
        if (c != 0) return (x.options & tiDescending) ? -c : c;
    }
    return 0;
}

const uint8_t* TStoreTableIO::CachedKey(int index, const TRecordRef& ref) {
    State::KeyCache& kc = state_->keys[static_cast<size_t>(index)];
    auto slot = static_cast<size_t>(ref.slot);
    if (slot < kc.have.size() && kc.have[slot])
        return kc.bytes.data() + slot * static_cast<size_t>(kc.keyLength);
    thread_local std::vector<uint8_t> raw;
    ReadStored(ref, raw);
    TValueCodec& codec = file_.Codec();
    if (codec.Encrypts()) {
        const TRecordLayout& lay = *layout_;
        for (int f : indexes_[static_cast<size_t>(index)].fields) {
            auto i = static_cast<size_t>(f);
            codec.DecodeField(raw.data() + lay.offsets[i], static_cast<size_t>(lay.sizes[i]),
                              lay.fields[i].mode);
        }
    }
    StoreKey(index, ref.slot, raw.data());
    return kc.bytes.data() + slot * static_cast<size_t>(kc.keyLength);
}

void TStoreTableIO::StoreKey(int index, int32_t slot, const uint8_t* clearFixed) {
    State::KeyCache& kc = state_->keys[static_cast<size_t>(index)];
    const TRecordLayout& lay = *layout_;
    auto s = static_cast<size_t>(slot);
    if (kc.have.size() <= s) {
        size_t grown = std::max(s + 1, kc.have.size() * 2);
        kc.have.resize(grown, 0);
        kc.bytes.resize(grown * static_cast<size_t>(kc.keyLength));
    }
    uint8_t* out = kc.bytes.data() + s * static_cast<size_t>(kc.keyLength);
    const TIndexInfo& x = indexes_[static_cast<size_t>(index)];
    for (size_t j = 0; j < x.fields.size(); ++j) {
        auto f = static_cast<size_t>(x.fields[j]);
        std::memcpy(out + kc.fieldOffset[j], clearFixed + lay.offsets[f],
                    static_cast<size_t>(lay.sizes[f]));
    }
    kc.have[s] = 1;
}

int TStoreTableIO::CompareKey(int index, const uint8_t* keyFixed, const TRecordRef& stored,
                              int keyFields) {
    const uint8_t* key = CachedKey(index, stored);
    return CompareClearKeys(index, keyFixed, key, keyFields,
                            &state_->keys[static_cast<size_t>(index)].fieldOffset);
}

TSearchResult TStoreTableIO::Search(int index, const uint8_t* keyFixed, int keyFields,
                                    const TRecordList& list, bool tryLastFirst) {
    if (list.empty()) return {0, TSearchOutcome::Empty};
    int last = static_cast<int>(list.size()) - 1;
    // Keys that arrive in ascending order (counters, times) land behind the last record; the
    // full search would probe its way there and end on the same answer.
    if (tryLastFirst && CompareKey(index, keyFixed, list[static_cast<size_t>(last)], keyFields) > 0)
        return {last, TSearchOutcome::KeyHigher};
    int low = 0, high = last;
    TSearchResult result;
    while (low <= high) {
        int middle = (low + high) / 2;
        int c = CompareKey(index, keyFixed, list[static_cast<size_t>(middle)], keyFields);
        if (c < 0) {
            high = middle - 1;
            result = {middle, TSearchOutcome::KeyLower};
        } else if (c > 0) {
            low = middle + 1;
            result = {middle, TSearchOutcome::KeyHigher};
        } else {
            return {middle, TSearchOutcome::Equal};
        }
    }
    return result;
}

void TStoreTableIO::RequireKey(int index, const TRecordBuffer& key) const {
    RequireOpen();
    if (index < 0 || index >= static_cast<int>(indexes_.size()) || key.LayoutPtr() != layout_)
        throw EStoreError("General error");
}

TSearchResult TStoreTableIO::SearchKey(int index, const TRecordBuffer& key, int keyFields) {
    RequireKey(index, key);
    LockGuard lock(file_);
    return Search(index, key.Fixed().data(), keyFields,
                  state_->lists[static_cast<size_t>(index) + 1], false);
}

int TStoreTableIO::FindKey(int index, const TRecordBuffer& key, int keyFields) {
    TSearchResult r = SearchKey(index, key, keyFields);
    return r.outcome == TSearchOutcome::Equal ? r.position : -1;
}

int TStoreTableIO::FirstPositionAbove(int index, const TRecordBuffer& key, int keyFields,
                                      bool skipEqual) {
    RequireKey(index, key);
    LockGuard lock(file_);
    const TRecordList& list = state_->lists[static_cast<size_t>(index) + 1];
    int lo = 0, hi = static_cast<int>(list.size());
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        int c = CompareKey(index, key.Fixed().data(), list[static_cast<size_t>(mid)], keyFields);
        if (c > 0 || (skipEqual && c == 0))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int TStoreTableIO::LowerBound(int index, const TRecordBuffer& key, int keyFields) {
    return FirstPositionAbove(index, key, keyFields, false);
}

int TStoreTableIO::UpperBound(int index, const TRecordBuffer& key, int keyFields) {
    return FirstPositionAbove(index, key, keyFields, true) - 1;
}

void TStoreTableIO::CheckUnique(const TRecordBuffer& buf, int32_t exceptSlot) {
    const uint8_t* key = buf.Fixed().data();
    for (int k = 0; k < static_cast<int>(indexes_.size()); ++k) {
        const TIndexInfo& x = indexes_[static_cast<size_t>(k)];
        if (!(x.options & (tiPrimary | tiUnique))) continue;
        const TRecordList& list = state_->lists[static_cast<size_t>(k) + 1];
        TSearchResult r = Search(k, key, -1, list, true);
        if (r.outcome != TSearchOutcome::Equal) continue;
        // The probe may have hit the record being modified; an equal neighbour is a clash too.
        bool clash = false;
        for (int p = r.position - 1; p <= r.position + 1 && !clash; ++p) {
            if (p < 0 || p >= static_cast<int>(list.size())) continue;
            const TRecordRef& ref = list[static_cast<size_t>(p)];
            if (ref.slot == exceptSlot) continue;
            clash = p == r.position || CompareKey(k, key, ref, -1) == 0;
        }
        if (!clash) continue;
        std::string text;
        const TRecordLayout& lay = *layout_;
        for (size_t j = 0; j < x.fields.size(); ++j) {
            auto f = static_cast<size_t>(x.fields[j]);
            if (j) text += ",";
            text += FieldBytesText(lay.fields[f].type, key + lay.offsets[f], lay.sizes[f]);
        }
        throw EStoreError(FormatMessage("Invalid unique field value '%s'", text.c_str()));
    }
}

int TStoreTableIO::PositionInIndex(int index, int32_t slot, const uint8_t* clearKey) {
    const TRecordList& list = state_->lists[static_cast<size_t>(index) + 1];
    const int n = static_cast<int>(list.size());
    if (clearKey) {
        TSearchResult r = Search(index, clearKey, -1, list, false);
        if (r.outcome == TSearchOutcome::Equal) {
            for (int p = r.position; p >= 0; --p) {
                if (list[static_cast<size_t>(p)].slot == slot) return p;
                if (p != r.position &&
                    CompareKey(index, clearKey, list[static_cast<size_t>(p)], -1) != 0)
                    break;
            }
            for (int p = r.position + 1; p < n; ++p) {
                if (list[static_cast<size_t>(p)].slot == slot) return p;
                if (CompareKey(index, clearKey, list[static_cast<size_t>(p)], -1) != 0) break;
            }
        }
    }
    for (int p = 0; p < n; ++p)
        if (list[static_cast<size_t>(p)].slot == slot) return p;
    return -1;
}

void TStoreTableIO::WriteLinkItem(int index, int32_t slot, int32_t next) {
    State::Chain& c = state_->chains[static_cast<size_t>(index)];
    auto b = static_cast<size_t>(slot / fmt::kSlotsPerBlock);
    if (b >= c.blocks.size()) throw EStoreError("General error");
    uint8_t item[fmt::kLinkItemSize];
    fmt::PutI32(item, slot);
    fmt::PutI32(item + 4, next);
    file_.Stream().WriteAt(c.blocks[b] + 4 + (slot % fmt::kSlotsPerBlock) * fmt::kLinkItemSize,
                           item, sizeof item);
    if (c.next.size() <= static_cast<size_t>(slot)) c.next.resize((b + 1) * fmt::kSlotsPerBlock, 0);
    c.next[static_cast<size_t>(slot)] = next;
}

void TStoreTableIO::LinkNewRecord(int index, int32_t n, int position) {
    State& st = *state_;
    State::Chain& c = st.chains[static_cast<size_t>(index)];
    const TRecordList& list = st.lists[static_cast<size_t>(index) + 1];
    int32_t prev = -1, next;
    if (n == 0) {
        next = -1;
        st.SetIndexStart(index, 0);
    } else if (position > 0) {
        prev = list[static_cast<size_t>(position) - 1].slot;
        next = c.next[static_cast<size_t>(prev)];
    } else {
        next = st.IndexStart(index);
    }
    size_t needed = static_cast<size_t>(n / fmt::kSlotsPerBlock) + 1;
    if (c.next.size() < needed * fmt::kSlotsPerBlock)
        c.next.resize(needed * fmt::kSlotsPerBlock, 0);
    if (n % fmt::kSlotsPerBlock == 0) {
        // A new link block, born with the new record's item in it.
        std::vector<uint8_t> block(fmt::kLinkBlockSize, 0);
        fmt::PutI32(block.data() + 4, n);
        fmt::PutI32(block.data() + 8, next);
        TStoreStream& s = file_.Stream();
        auto at = static_cast<int32_t>(s.Size());
        s.WriteAt(at, block.data(), block.size());
        if (c.blocks.empty())
            st.SetIndexLinkOffset(index, at);
        else {
            uint8_t link[4];
            fmt::PutI32(link, at);
            s.WriteAt(c.blocks.back(), link, sizeof link);
        }
        c.blocks.push_back(at);
        std::fill(c.next.begin() + n, c.next.begin() + n + fmt::kSlotsPerBlock, 0);
        c.next[static_cast<size_t>(n)] = next;
    } else {
        WriteLinkItem(index, n, next);
    }
    if (prev >= 0)
        WriteLinkItem(index, prev, n);
    else if (n > 0)
        st.SetIndexStart(index, n);
}

void TStoreTableIO::MoveInChain(int index, int32_t slot, int32_t oldPrev, int32_t oldNext,
                                int32_t newPrev) {
    State& st = *state_;
    State::Chain& c = st.chains[static_cast<size_t>(index)];
    if (oldPrev >= 0)
        WriteLinkItem(index, oldPrev, oldNext);
    else
        st.SetIndexStart(index, oldNext);
    if (newPrev >= 0) {
        WriteLinkItem(index, slot, c.next[static_cast<size_t>(newPrev)]);
        WriteLinkItem(index, newPrev, slot);
    } else {
        WriteLinkItem(index, slot, st.IndexStart(index));
        st.SetIndexStart(index, slot);
    }
}

} // namespace store
