#pragma once
// The expression tree shared by the filter parser and evaluator. Internal to the filter code.

#include "store/filter_expr.h"

namespace store {

enum class TFilterOp {
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Add,
    Subtract,
    Multiply,
    Divide,
    And,
    Or,
};

enum class TFilterFunc {
    Upper,
    Lower,
    Substring,
    Trim,
    TrimLeft,
    TrimRight,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    GetDate,
    Count,
};

struct TFilterNode {
    enum class Kind { Constant, Field, Negate, Not, Binary, Like, In, Function };
    Kind kind = Kind::Constant;
    // Constant: the value. Field: the name as written.
    TFilterValue value;
    std::string name;
    TFilterOp op = TFilterOp::Equal;
    TFilterFunc func = TFilterFunc::Upper;
    // Operands in order: Binary and Like (left, right), In (tested value, then the list),
    // Negate and Not (one), Function (its arguments).
    std::vector<std::unique_ptr<TFilterNode>> children;
    // Height of the subtree below and including this node; bounded by the parser.
    int depth = 1;
};

// Evaluates a node for a record; the evaluator's entry point, used by TFilterExpr.
TFilterValue evaluateFilterNode(const TFilterNode& node, const TFilterFieldAccess& record,
                                const TFilterOptions& options);

// Raises "Type mismatch in expression" for faults that no record can mend: operands whose
// types are fixed by the text (constants, results of operators and functions) and do not fit,
// constant parts that fail to evaluate, and a whole expression that cannot be a condition.
void checkFilterTypes(const TFilterNode& root);

} // namespace store
