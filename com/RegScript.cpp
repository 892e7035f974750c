#include "com/RegScript.h"

#include <cwctype>

namespace qern {
namespace {

struct Token {
    enum Type { End, Word, Quoted, Open, Close, Equals } type = End;
    std::wstring text;
    size_t pos = 0;
};

class Lexer {
public:
    explicit Lexer(const std::wstring& text) : m_text(text) {}

    bool Next(Token& t, std::string& error) {
        while (m_pos < m_text.size() && iswspace(m_text[m_pos])) ++m_pos;
        t = Token();
        t.pos = m_pos;
        if (m_pos >= m_text.size()) return true;
        wchar_t c = m_text[m_pos];
        if (c == L'=') {
            t.type = Token::Equals;
            ++m_pos;
            return true;
        }
        if (c == L'\'') {
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size()) {
                    error = "unterminated string at " + std::to_string(t.pos);
                    return false;
                }
                wchar_t d = m_text[m_pos++];
                if (d == L'\'') {
                    if (m_pos < m_text.size() && m_text[m_pos] == L'\'') {  // '' is a quote inside a string
                        t.text += L'\'';
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                t.text += d;
            }
            t.type = Token::Quoted;
            return true;
        }
        while (m_pos < m_text.size() && !iswspace(m_text[m_pos]) && m_text[m_pos] != L'=' && m_text[m_pos] != L'\'')
            t.text += m_text[m_pos++];
        if (t.text == L"{")
            t.type = Token::Open;
        else if (t.text == L"}")
            t.type = Token::Close;
        else
            t.type = Token::Word;
        return true;
    }

private:
    const std::wstring& m_text;
    size_t m_pos = 0;
};

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (towlower(a[i]) != towlower(b[i])) return false;
    return i == a.size() && b[i] == 0;
}

class Parser {
public:
    Parser(const std::wstring& text, std::string& error) : m_lex(text), m_error(error) {}

    bool Script(RegScript& out) {
        if (!Advance()) return false;
        while (m_tok.type != Token::End) {
            RegNode root;
            if (m_tok.type != Token::Word) return Fail("hive name expected");
            root.name = m_tok.text;
            if (!Advance()) return false;
            if (m_tok.type != Token::Open) return Fail("'{' expected after hive");
            if (!Advance() || !Items(root)) return false;
            out.roots.push_back(std::move(root));
        }
        return true;
    }

private:
    bool Advance() { return m_lex.Next(m_tok, m_error); }
    bool Fail(const char* what) {
        m_error = std::string(what) + " at " + std::to_string(m_tok.pos);
        return false;
    }
    bool IsName() const { return m_tok.type == Token::Word || m_tok.type == Token::Quoted; }

    // Items up to and including the closing brace.
    bool Items(RegNode& parent) {
        for (;;) {
            if (m_tok.type == Token::Close) return Advance();
            if (m_tok.type == Token::End) return Fail("'}' expected");
            RegNode node;
            if (!Item(node)) return false;
            parent.children.push_back(std::move(node));
        }
    }

    bool Item(RegNode& node) {
        if (m_tok.type == Token::Word && EqualsNoCase(m_tok.text, L"val")) {
            node.isValue = true;
            if (!Advance()) return false;
            if (!IsName()) return Fail("value name expected");
            node.name = m_tok.text;
            if (!Advance()) return false;
            if (m_tok.type != Token::Equals) return Fail("'=' expected after value name");
            return Advance() && Value(node);
        }
        if (m_tok.type == Token::Word) {
            if (EqualsNoCase(m_tok.text, L"NoRemove"))
                node.mark = RegNode::Mark::NoRemove;
            else if (EqualsNoCase(m_tok.text, L"ForceRemove"))
                node.mark = RegNode::Mark::ForceRemove;
            else if (EqualsNoCase(m_tok.text, L"Delete"))
                node.mark = RegNode::Mark::Delete;
            if (node.mark != RegNode::Mark::None && !Advance()) return false;
        }
        if (!IsName()) return Fail("key name expected");
        node.name = m_tok.text;
        if (!Advance()) return false;
        if (m_tok.type == Token::Equals) {
            if (!Advance() || !Value(node)) return false;
        }
        if (m_tok.type == Token::Open) {
            if (!Advance()) return false;
            return Items(node);
        }
        return true;
    }

    // "s 'text'" or "d 'number'" / "d number".
    bool Value(RegNode& node) {
        if (m_tok.type != Token::Word) return Fail("value type expected");
        bool isString = EqualsNoCase(m_tok.text, L"s");
        bool isDword = EqualsNoCase(m_tok.text, L"d");
        if (!isString && !isDword) return Fail("value type must be s or d");
        if (!Advance()) return false;
        if (isString) {
            if (m_tok.type != Token::Quoted) return Fail("quoted string expected");
            node.kind = RegNode::Kind::String;
            node.text = m_tok.text;
            return Advance();
        }
        if (m_tok.type != Token::Quoted && m_tok.type != Token::Word) return Fail("number expected");
        const std::wstring& t = m_tok.text;
        size_t i = 0;
        unsigned base = 10;
        if (t.size() > 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) {
            base = 16;
            i = 2;
        }
        if (i >= t.size()) return Fail("number expected");
        uint64_t v = 0;
        for (; i < t.size(); ++i) {
            wchar_t c = towlower(t[i]);
            unsigned d;
            if (c >= L'0' && c <= L'9')
                d = c - L'0';
            else if (base == 16 && c >= L'a' && c <= L'f')
                d = 10 + (c - L'a');
            else
                return Fail("bad digit in number");
            v = v * base + d;
            if (v > 0xFFFFFFFFull) return Fail("number out of range");
        }
        node.kind = RegNode::Kind::Dword;
        node.number = static_cast<uint32_t>(v);
        return Advance();
    }

    Lexer m_lex;
    std::string& m_error;
    Token m_tok;
};

}  // namespace

bool ExpandRegVariables(const std::wstring& in, const std::map<std::wstring, std::wstring>& vars, std::wstring& out,
                        std::string& error) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'%') {
            out += in[i];
            continue;
        }
        size_t end = in.find(L'%', i + 1);
        if (end == std::wstring::npos) {
            error = "unterminated variable at " + std::to_string(i);
            return false;
        }
        if (end == i + 1) {
            out += L'%';
        } else {
            auto it = vars.find(in.substr(i + 1, end - i - 1));
            if (it == vars.end()) {
                error = "unknown variable at " + std::to_string(i);
                return false;
            }
            out += it->second;
        }
        i = end;
    }
    return true;
}

bool ParseRegScript(const std::wstring& text, RegScript& out, std::string& error) {
    out.roots.clear();
    Parser parser(text, error);
    return parser.Script(out);
}

}  // namespace qern
