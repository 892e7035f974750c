#include <gtest/gtest.h>

#include "com/RegScript.h"

using qern::ExpandRegVariables;
using qern::ParseRegScript;
using qern::RegNode;
using qern::RegScript;

namespace {

RegScript Parse(const std::wstring& text) {
    RegScript script;
    std::string error;
    EXPECT_TRUE(ParseRegScript(text, script, error)) << error;
    return script;
}

std::string ParseError(const std::wstring& text) {
    RegScript script;
    std::string error;
    EXPECT_FALSE(ParseRegScript(text, script, error));
    return error;
}

}  // namespace

TEST(RegScript, ParsesNestedKeysValuesAndMarks) {
    RegScript s = Parse(
        L"HKCR\n{\n"
        L"  'A.B.1' = s 'A Class'\n  {\n    CLSID = s '{1}'\n    'Insertable'\n  }\n"
        L"  NoRemove CLSID\n  {\n"
        L"    ForceRemove '{1}' = s 'A Class'\n    {\n"
        L"      InprocServer32 = s 'c:\\x.dll'\n      {\n        val ThreadingModel = s 'Apartment'\n      }\n"
        L"      'MiscStatus' = s '0' { '1' = s '131473' }\n"
        L"      Delete Old\n"
        L"      val Flags = d 0x10\n"
        L"    }\n  }\n}\n");
    ASSERT_EQ(s.roots.size(), 1u);
    const RegNode& hkcr = s.roots[0];
    EXPECT_EQ(hkcr.name, L"HKCR");
    ASSERT_EQ(hkcr.children.size(), 2u);

    const RegNode& progId = hkcr.children[0];
    EXPECT_EQ(progId.name, L"A.B.1");
    EXPECT_EQ(progId.kind, RegNode::Kind::String);
    EXPECT_EQ(progId.text, L"A Class");
    EXPECT_EQ(progId.mark, RegNode::Mark::None);
    ASSERT_EQ(progId.children.size(), 2u);
    EXPECT_EQ(progId.children[0].name, L"CLSID");
    EXPECT_EQ(progId.children[0].text, L"{1}");
    EXPECT_EQ(progId.children[1].name, L"Insertable");
    EXPECT_EQ(progId.children[1].kind, RegNode::Kind::None);

    const RegNode& clsidRoot = hkcr.children[1];
    EXPECT_EQ(clsidRoot.mark, RegNode::Mark::NoRemove);
    ASSERT_EQ(clsidRoot.children.size(), 1u);
    const RegNode& cls = clsidRoot.children[0];
    EXPECT_EQ(cls.mark, RegNode::Mark::ForceRemove);
    ASSERT_EQ(cls.children.size(), 4u);
    const RegNode& server = cls.children[0];
    ASSERT_EQ(server.children.size(), 1u);
    EXPECT_TRUE(server.children[0].isValue);
    EXPECT_EQ(server.children[0].name, L"ThreadingModel");
    EXPECT_EQ(server.children[0].text, L"Apartment");
    EXPECT_EQ(cls.children[1].children[0].name, L"1");
    EXPECT_EQ(cls.children[1].children[0].text, L"131473");
    EXPECT_EQ(cls.children[2].mark, RegNode::Mark::Delete);
    EXPECT_TRUE(cls.children[3].isValue);
    EXPECT_EQ(cls.children[3].kind, RegNode::Kind::Dword);
    EXPECT_EQ(cls.children[3].number, 0x10u);
}

TEST(RegScript, QuotesAndNumbers) {
    RegScript s = Parse(L"HKCU { K = s 'it''s' { val D = d '42' val H = d 0xFFFFFFFF } }");
    const RegNode& k = s.roots[0].children[0];
    EXPECT_EQ(k.text, L"it's");
    EXPECT_EQ(k.children[0].number, 42u);
    EXPECT_EQ(k.children[1].number, 0xFFFFFFFFu);
}

TEST(RegScript, RejectsMalformedScripts) {
    EXPECT_NE(ParseError(L"HKCR { A = s 'x' ").find("'}' expected"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR { A = s 'unterminated }").find("unterminated"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR { A = q 'x' }").find("type"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR { val = s 'x' }").find("value name expected"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR { val V s 'x' }").find("'=' expected"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR { val V = d 0x100000000 }").find("range"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR { val V = d 12z }").find("digit"), std::string::npos);
    EXPECT_NE(ParseError(L"{ }").find("hive"), std::string::npos);
    EXPECT_NE(ParseError(L"HKCR A").find("'{' expected"), std::string::npos);
}

TEST(RegScript, ExpandsVariables) {
    std::wstring out;
    std::string error;
    ASSERT_TRUE(ExpandRegVariables(L"a %MODULE%, 101 %% b", {{L"MODULE", L"c:\\m.dll"}}, out, error));
    EXPECT_EQ(out, L"a c:\\m.dll, 101 % b");
    EXPECT_FALSE(ExpandRegVariables(L"%OTHER%", {{L"MODULE", L"x"}}, out, error));
    EXPECT_FALSE(ExpandRegVariables(L"50% off", {}, out, error));
}
