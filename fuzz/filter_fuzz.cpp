// The filter-expression parser, and the evaluator on a record of three fields, over arbitrary
// filter text; the first byte picks the decimal separator.

#include "fuzz/fuzz_target.h"
#include "store/filter_expr.h"
#include "store/store_error.h"

#include <strings.h>

namespace {

class Record : public store::TFilterFieldAccess {
public:
    bool fieldValue(const std::string& name, store::TFilterValue& value) const override {
        if (strcasecmp(name.c_str(), "name") == 0)
            value = std::string("readme.txt");
        else if (strcasecmp(name.c_str(), "size") == 0)
            value = std::int64_t(1024);
        else if (strcasecmp(name.c_str(), "when") == 0)
            value = store::makeFilterDateTime(2020, 2, 29, 12, 30);
        else
            return false;
        return true;
    }
    store::TFilterDateTime now() const override { return store::makeFilterDateTime(2026, 1, 1); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char separator = data[0] % 2 ? ',' : '.';
    try {
        store::TFilterExpr expr(std::string(reinterpret_cast<const char*>(data + 1), size - 1),
                                separator);
        expr.matches(Record(), {data[0] % 4 >= 2});
    } catch (const store::EStoreError&) {
    }
    return 0;
}
