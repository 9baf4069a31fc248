// The checks of a filter expression that need no record: run once when the filter is set, so
// that a faulty filter is refused even on an empty table.

#include "store/filter_expr_node.h"
#include "store/store_error.h"

namespace store {

namespace {

// What the text alone says about a node's value: Unknown where a field decides, Value where a
// field decides between text, number and date but the result can never be a condition.
enum class Known { Unknown, Value, Null, Text, Number, Bool, Date };

[[noreturn]] void mismatch() {
    throw EStoreError("Type mismatch in expression");
}

Known knownOf(const TFilterValue& v) {
    switch (v.index()) {
    case 0:
        return Known::Null;
    case 1:
        return Known::Text;
    case 2:
    case 3:
        return Known::Number;
    case 4:
        return Known::Bool;
    default:
        return Known::Date;
    }
}

bool fixed(Known k) {
    return k != Known::Unknown && k != Known::Value && k != Known::Null;
}

// Requires the operand to be of the given type whenever the text fixes its type.
void require(Known operand, Known wanted) {
    if (fixed(operand) && operand != wanted) mismatch();
    if (operand == Known::Value && wanted == Known::Bool) mismatch();
}

void requireComparable(Known a, Known b) {
    if ((a == Known::Value && b == Known::Bool) || (a == Known::Bool && b == Known::Value))
        mismatch();
    if (!fixed(a) || !fixed(b) || a == b) return;
    // A text may stand for a date; whether it parses is for the value to show.
    if ((a == Known::Date && b == Known::Text) || (a == Known::Text && b == Known::Date)) return;
    mismatch();
}

Known arithmeticResult(TFilterOp op, Known a, Known b) {
    if (a == Known::Bool || b == Known::Bool) mismatch();
    if (a == Known::Null || b == Known::Null) return Known::Null;
    if (!fixed(a) || !fixed(b)) return Known::Value;
    if (a == Known::Number && b == Known::Number) return Known::Number;
    if (op == TFilterOp::Add && a == Known::Text && b == Known::Text) return Known::Text;
    if (op == TFilterOp::Add &&
        ((a == Known::Date && b == Known::Number) || (a == Known::Number && b == Known::Date)))
        return Known::Date;
    if (op == TFilterOp::Subtract && a == Known::Date && b == Known::Number) return Known::Date;
    if (op == TFilterOp::Subtract && a == Known::Date && b == Known::Date) return Known::Number;
    mismatch();
}

Known functionResult(const TFilterNode& node, const std::vector<Known>& args) {
    switch (node.func) {
    case TFilterFunc::GetDate:
        return Known::Date;
    case TFilterFunc::Count:
        return Known::Number;
    case TFilterFunc::Year:
    case TFilterFunc::Month:
    case TFilterFunc::Day:
    case TFilterFunc::Hour:
    case TFilterFunc::Minute:
    case TFilterFunc::Second:
        if (fixed(args[0]) && args[0] != Known::Date && args[0] != Known::Text) mismatch();
        return Known::Number;
    case TFilterFunc::Substring:
        require(args[0], Known::Text);
        for (std::size_t i = 1; i < args.size(); ++i)
            require(args[i], Known::Number);
        return Known::Text;
    default:
        for (Known arg : args)
            require(arg, Known::Text);
        return Known::Text;
    }
}

Known infer(const TFilterNode& node) {
    std::vector<Known> kids;
    for (const auto& child : node.children)
        kids.push_back(infer(*child));
    switch (node.kind) {
    case TFilterNode::Kind::Constant:
        return knownOf(node.value);
    case TFilterNode::Kind::Field:
        return Known::Unknown;
    case TFilterNode::Kind::Negate:
        require(kids[0], Known::Number);
        return Known::Number;
    case TFilterNode::Kind::Not:
        require(kids[0], Known::Bool);
        return Known::Bool;
    case TFilterNode::Kind::Like:
        require(kids[0], Known::Text);
        require(kids[1], Known::Text);
        return Known::Bool;
    case TFilterNode::Kind::In:
        for (std::size_t i = 1; i < kids.size(); ++i)
            requireComparable(kids[0], kids[i]);
        return Known::Bool;
    case TFilterNode::Kind::Function:
        return functionResult(node, kids);
    case TFilterNode::Kind::Binary:
        break;
    }
    switch (node.op) {
    case TFilterOp::And:
    case TFilterOp::Or:
        require(kids[0], Known::Bool);
        require(kids[1], Known::Bool);
        return Known::Bool;
    case TFilterOp::Add:
    case TFilterOp::Subtract:
    case TFilterOp::Multiply:
    case TFilterOp::Divide:
        return arithmeticResult(node.op, kids[0], kids[1]);
    default:
        requireComparable(kids[0], kids[1]);
        return Known::Bool;
    }
}

bool dependsOnRecord(const TFilterNode& node) {
    if (node.kind == TFilterNode::Kind::Field) return true;
    if (node.kind == TFilterNode::Kind::Function &&
        (node.func == TFilterFunc::GetDate || node.func == TFilterFunc::Count))
        return true;
    for (const auto& child : node.children)
        if (dependsOnRecord(*child)) return true;
    return false;
}

class NoRecord : public TFilterFieldAccess {
public:
    bool fieldValue(const std::string&, TFilterValue&) const override { return false; }
};

// Parts made only of constants are evaluated once: that also catches what the types alone do
// not show, such as a text that is no date or a fractional SUBSTRING position.
void evaluateConstantParts(const TFilterNode& node) {
    if (!dependsOnRecord(node)) {
        evaluateFilterNode(node, NoRecord(), TFilterOptions());
        return;
    }
    for (const auto& child : node.children)
        evaluateConstantParts(*child);
}

} // namespace

void checkFilterTypes(const TFilterNode& root) {
    require(infer(root), Known::Bool);
    evaluateConstantParts(root);
}

} // namespace store
