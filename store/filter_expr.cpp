#include "store/filter_expr.h"

#include "store/filter_expr_node.h"
#include "store/store_error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <ctime>

namespace store {

namespace {

enum class TokKind { End, Name, Field, Text, Integer, Float, Symbol };

struct Token {
    TokKind kind = TokKind::End;
    std::string text; // as written (symbol, name, digits); the unquoted value for Text and Field
    std::int64_t integer = 0;
    double real = 0;
};

std::string upperAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isNamePart(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

class Lexer {
public:
    Lexer(const std::string& text, char decimalSeparator)
        : text_(text), separator_(decimalSeparator) {}

    Token next() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
        Token t;
        if (pos_ >= text_.size()) return t;
        char c = text_[pos_];
        if (c == '\'') return quoted();
        if (c == '[') return bracketed();
        if (isDigit(c) || (c == separator_ && pos_ + 1 < text_.size() && isDigit(text_[pos_ + 1])))
            return number();
        if (isNameStart(c)) {
            std::size_t start = pos_;
            while (pos_ < text_.size() && isNamePart(text_[pos_]))
                ++pos_;
            t.kind = TokKind::Name;
            t.text = text_.substr(start, pos_ - start);
            return t;
        }
        for (const char* symbol :
             {"<>", "<=", ">=", "=", "<", ">", "+", "-", "*", "/", "(", ")", ","}) {
            std::string_view sv(symbol);
            if (text_.compare(pos_, sv.size(), sv) == 0) {
                pos_ += sv.size();
                t.kind = TokKind::Symbol;
                t.text = sv;
                return t;
            }
        }
        throw EStoreError(
            FormatMessage("Invalid filter expression character: '%s'", characterAt(pos_).c_str()));
    }

private:
    // The whole UTF-8 sequence at a position, so the message shows a readable character.
    std::string characterAt(std::size_t pos) const {
        std::size_t end = pos + 1;
        while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80)
            ++end;
        return text_.substr(pos, end - pos);
    }

    Token quoted() {
        Token t;
        t.kind = TokKind::Text;
        for (++pos_;; ++pos_) {
            if (pos_ >= text_.size()) throw EStoreError("Unterminated string constant");
            if (text_[pos_] == '\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    t.text += '\'';
                    ++pos_;
                    continue;
                }
                ++pos_;
                return t;
            }
            t.text += text_[pos_];
        }
    }

    Token bracketed() {
        std::size_t close = text_.find(']', pos_ + 1);
        if (close == std::string::npos) throw EStoreError("Unterminated field name");
        Token t;
        t.kind = TokKind::Field;
        t.text = text_.substr(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        return t;
    }

    Token number() {
        std::size_t start = pos_;
        while (pos_ < text_.size() && isDigit(text_[pos_]))
            ++pos_;
        bool fraction = false;
        if (pos_ + 1 < text_.size() && text_[pos_] == separator_ && isDigit(text_[pos_ + 1])) {
            fraction = true;
            ++pos_;
            while (pos_ < text_.size() && isDigit(text_[pos_]))
                ++pos_;
        }
        Token t;
        t.text = text_.substr(start, pos_ - start);
        std::string plain = t.text;
        for (char& c : plain)
            if (c == separator_) c = '.';
        if (!fraction) {
            auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), t.integer);
            if (ec == std::errc() && end == plain.data() + plain.size()) {
                t.kind = TokKind::Integer;
                return t;
            }
        }
        // Too large for an integer, or with a fraction: a float. from_chars for double does not
        // depend on the C locale, unlike strtod.
        t.kind = TokKind::Float;
        std::from_chars(plain.data(), plain.data() + plain.size(), t.real);
        return t;
    }

    const std::string& text_;
    char separator_;
    std::size_t pos_ = 0;
};

using NodePtr = std::unique_ptr<TFilterNode>;

constexpr const char* kTooDeep = "Filter expression nested too deeply";

struct FunctionInfo {
    const char* name;
    TFilterFunc func;
    int minArgs;
    int maxArgs;
};

constexpr FunctionInfo kFunctions[] = {
    {"UPPER", TFilterFunc::Upper, 1, 1},
    {"LOWER", TFilterFunc::Lower, 1, 1},
    {"SUBSTRING", TFilterFunc::Substring, 2, 3},
    {"TRIM", TFilterFunc::Trim, 1, 2},
    {"TRIMLEFT", TFilterFunc::TrimLeft, 1, 2},
    {"TRIMRIGHT", TFilterFunc::TrimRight, 1, 2},
    {"YEAR", TFilterFunc::Year, 1, 1},
    {"MONTH", TFilterFunc::Month, 1, 1},
    {"DAY", TFilterFunc::Day, 1, 1},
    {"HOUR", TFilterFunc::Hour, 1, 1},
    {"MINUTE", TFilterFunc::Minute, 1, 1},
    {"SECOND", TFilterFunc::Second, 1, 1},
    {"GETDATE", TFilterFunc::GetDate, 0, 0},
    {"COUNT", TFilterFunc::Count, 0, 0},
};

class Parser {
public:
    Parser(const std::string& text, char separator) : lexer_(text, separator) { advance(); }

    NodePtr parseAll() {
        NodePtr root = parseOr();
        if (tok_.kind != TokKind::End)
            throw EStoreError("Filter expression incorrectly terminated");
        return root;
    }

private:
    void advance() { tok_ = lexer_.next(); }

    bool isSymbol(const char* s) const { return tok_.kind == TokKind::Symbol && tok_.text == s; }
    bool isKeyword(const char* k) const {
        return tok_.kind == TokKind::Name && upperAscii(tok_.text) == k;
    }

    std::string found() const {
        switch (tok_.kind) {
        case TokKind::End:
            return "end of expression";
        case TokKind::Text: {
            std::string quoted = "'";
            for (char c : tok_.text)
                quoted += (c == '\'') ? std::string("''") : std::string(1, c);
            return quoted + "'";
        }
        case TokKind::Field:
            return "'[" + tok_.text + "]'";
        default:
            return "'" + tok_.text + "'";
        }
    }

    void expect(const char* symbol, const char* message) {
        if (!isSymbol(symbol)) throw EStoreError(FormatMessage(message, found().c_str()));
        advance();
    }

    // Deep trees would exhaust the stack of the recursive evaluator and of the parser itself, so
    // nesting is bounded well below what any hand-written filter needs.
    static constexpr int kMaxNesting = 256;
    static constexpr int kMaxTreeDepth = 1000;

    class NestingGuard {
    public:
        explicit NestingGuard(Parser& parser) : parser_(parser) {
            if (++parser_.nesting_ > kMaxNesting) throw EStoreError(kTooDeep);
        }
        ~NestingGuard() { --parser_.nesting_; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        Parser& parser_;
    };

    static void adopt(TFilterNode& parent, NodePtr child) {
        parent.depth = std::max(parent.depth, child->depth + 1);
        if (parent.depth > kMaxTreeDepth) throw EStoreError(kTooDeep);
        parent.children.push_back(std::move(child));
    }

    static NodePtr make(TFilterNode::Kind kind) {
        auto n = std::make_unique<TFilterNode>();
        n->kind = kind;
        return n;
    }

    static NodePtr binary(TFilterOp op, NodePtr left, NodePtr right) {
        NodePtr n = make(TFilterNode::Kind::Binary);
        n->op = op;
        adopt(*n, std::move(left));
        adopt(*n, std::move(right));
        return n;
    }

    NodePtr parseOr() {
        NestingGuard guard(*this);
        NodePtr left = parseAnd();
        while (isKeyword("OR")) {
            advance();
            left = binary(TFilterOp::Or, std::move(left), parseAnd());
        }
        return left;
    }

    NodePtr parseAnd() {
        NodePtr left = parseNot();
        while (isKeyword("AND")) {
            advance();
            left = binary(TFilterOp::And, std::move(left), parseNot());
        }
        return left;
    }

    NodePtr parseNot() {
        if (!isKeyword("NOT")) return parseComparison();
        NestingGuard guard(*this);
        advance();
        NodePtr n = make(TFilterNode::Kind::Not);
        adopt(*n, parseNot());
        return n;
    }

    NodePtr parseComparison() {
        NodePtr left = parseAdditive();
        static const std::pair<const char*, TFilterOp> comparisons[] = {
            {"=", TFilterOp::Equal},   {"<>", TFilterOp::NotEqual},
            {"<", TFilterOp::Less},    {"<=", TFilterOp::LessEqual},
            {">", TFilterOp::Greater}, {">=", TFilterOp::GreaterEqual}};
        for (const auto& [symbol, op] : comparisons) {
            if (isSymbol(symbol)) {
                advance();
                return binary(op, std::move(left), parseAdditive());
            }
        }
        if (isKeyword("LIKE")) {
            advance();
            NodePtr n = make(TFilterNode::Kind::Like);
            adopt(*n, std::move(left));
            adopt(*n, parseAdditive());
            return n;
        }
        if (isKeyword("IN")) {
            advance();
            return parseInList(std::move(left));
        }
        return left;
    }

    NodePtr parseInList(NodePtr tested) {
        expect("(", "'(' expected but %s found");
        if (isSymbol(")")) throw EStoreError("IN predicate list may not be empty");
        NodePtr n = make(TFilterNode::Kind::In);
        adopt(*n, std::move(tested));
        for (;;) {
            adopt(*n, parseOr());
            if (isSymbol(")")) break;
            expect(",", "')' or ',' expected but %s found");
        }
        advance();
        return n;
    }

    NodePtr parseAdditive() {
        NodePtr left = parseMultiplicative();
        for (;;) {
            if (isSymbol("+")) {
                advance();
                left = binary(TFilterOp::Add, std::move(left), parseMultiplicative());
            } else if (isSymbol("-")) {
                advance();
                left = binary(TFilterOp::Subtract, std::move(left), parseMultiplicative());
            } else {
                return left;
            }
        }
    }

    NodePtr parseMultiplicative() {
        NodePtr left = parseUnary();
        for (;;) {
            if (isSymbol("*")) {
                advance();
                left = binary(TFilterOp::Multiply, std::move(left), parseUnary());
            } else if (isSymbol("/")) {
                advance();
                left = binary(TFilterOp::Divide, std::move(left), parseUnary());
            } else {
                return left;
            }
        }
    }

    NodePtr parseUnary() {
        if (isSymbol("-") || isSymbol("+")) {
            NestingGuard guard(*this);
            bool negate = isSymbol("-");
            advance();
            if (!negate) return parseUnary();
            NodePtr n = make(TFilterNode::Kind::Negate);
            adopt(*n, parseUnary());
            return n;
        }
        return parsePrimary();
    }

    NodePtr constant(TFilterValue value) {
        NodePtr n = make(TFilterNode::Kind::Constant);
        n->value = std::move(value);
        advance();
        return n;
    }

    NodePtr parsePrimary() {
        switch (tok_.kind) {
        case TokKind::Text:
            return constant(tok_.text);
        case TokKind::Integer:
            return constant(tok_.integer);
        case TokKind::Float:
            return constant(tok_.real);
        case TokKind::Field: {
            NodePtr n = make(TFilterNode::Kind::Field);
            n->name = tok_.text;
            advance();
            return n;
        }
        case TokKind::Name:
            return parseName();
        case TokKind::Symbol:
            if (isSymbol("(")) {
                advance();
                NodePtr inner = parseOr();
                expect(")", "')' expected but %s found");
                return inner;
            }
            break;
        case TokKind::End:
            break;
        }
        throw EStoreError(FormatMessage("Expression expected but %s found", found().c_str()));
    }

    NodePtr parseName() {
        std::string upper = upperAscii(tok_.text);
        if (upper == "TRUE") return constant(true);
        if (upper == "FALSE") return constant(false);
        if (upper == "AND" || upper == "OR" || upper == "NOT" || upper == "LIKE" || upper == "IN")
            throw EStoreError(FormatMessage("Expression expected but %s found", found().c_str()));
        for (const FunctionInfo& info : kFunctions)
            if (upper == info.name) return parseFunction(info);
        NodePtr n = make(TFilterNode::Kind::Field);
        n->name = tok_.text;
        advance();
        return n;
    }

    NodePtr parseFunction(const FunctionInfo& info) {
        advance();
        expect("(", "'(' expected but %s found");
        NodePtr n = make(TFilterNode::Kind::Function);
        n->func = info.func;
        if (info.func == TFilterFunc::Count) {
            if (!isSymbol("*"))
                throw EStoreError(
                    FormatMessage("Expression expected but %s found", found().c_str()));
            advance();
        }
        for (int i = 0; i < info.maxArgs; ++i) {
            if (i >= info.minArgs && isSymbol(")")) break;
            if (i > 0) {
                if (i >= info.minArgs)
                    expect(",", "')' or ',' expected but %s found");
                else
                    expect(",", "',' expected but %s found");
            }
            adopt(*n, parseOr());
        }
        expect(")", "')' expected but %s found");
        return n;
    }

    Lexer lexer_;
    Token tok_;
    int nesting_ = 0;
};

void collectFields(const TFilterNode& node, std::vector<std::string>& names) {
    if (node.kind == TFilterNode::Kind::Field) {
        for (const std::string& known : names)
            if (upperAscii(known) == upperAscii(node.name)) return;
        names.push_back(node.name);
    }
    for (const auto& child : node.children)
        collectFields(*child, names);
}

} // namespace

TFilterExpr::TFilterExpr(const std::string& text, char decimalSeparator) : text_(text) {
    // A separator that could start a name, a number, a constant or an operator would make the
    // text ambiguous.
    if (std::isalnum(static_cast<unsigned char>(decimalSeparator)) ||
        std::isspace(static_cast<unsigned char>(decimalSeparator)) ||
        std::string_view("'[]()=<>+-*/").find(decimalSeparator) != std::string_view::npos ||
        decimalSeparator == '\0')
        throw EStoreError("General error");
    bool blank = true;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) blank = false;
    if (blank) {
        root_ = std::make_unique<TFilterNode>();
        root_->value = true;
        return;
    }
    root_ = Parser(text_, decimalSeparator).parseAll();
    checkFilterTypes(*root_);
}

TFilterExpr::~TFilterExpr() = default;
TFilterExpr::TFilterExpr(TFilterExpr&&) noexcept = default;
TFilterExpr& TFilterExpr::operator=(TFilterExpr&&) noexcept = default;

TFilterValue TFilterExpr::evaluate(const TFilterFieldAccess& record,
                                   const TFilterOptions& options) const {
    if (!root_) throw EStoreError("General error"); // moved from
    return evaluateFilterNode(*root_, record, options);
}

bool TFilterExpr::matches(const TFilterFieldAccess& record, const TFilterOptions& options) const {
    TFilterValue result = evaluate(record, options);
    if (std::holds_alternative<std::monostate>(result)) return false;
    if (const bool* b = std::get_if<bool>(&result)) return *b;
    throw EStoreError("Type mismatch in expression");
}

std::vector<std::string> TFilterExpr::fieldNames() const {
    std::vector<std::string> names;
    if (root_) collectFields(*root_, names);
    return names;
}

TFilterDateTime TFilterFieldAccess::now() const {
    using namespace std::chrono;
    auto nowPoint = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(nowPoint);
    std::tm local{};
    localtime_r(&seconds, &local);
    auto millis = duration_cast<milliseconds>(nowPoint.time_since_epoch()).count() % 1000;
    return makeFilterDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec, static_cast<int>(millis));
}

} // namespace store
