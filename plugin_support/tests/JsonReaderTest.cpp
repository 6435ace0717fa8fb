#include "plugin_support/Json.h"

#include "plugin_support/tests/CountingAllocator.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using testing_support::ProgramFolder;
using testing_support::ReadFileBytes;

namespace {
std::unique_ptr<CJsonValue> Parse(const std::wstring& text) { return std::unique_ptr<CJsonValue>(JsonParse(text.c_str())); }

struct AcceptCase {
    const wchar_t* text;
    bool accepted;
};

TEST(JsonReader, AcceptsAndRejectsWholeTexts)
{
    const AcceptCase cases[] = {
        {L"", false},
        {L" \t\r\n", false},
        {L"[]", true},
        {L"[ \r\n ]", true},
        {L"{}", true},
        {L"{ \t }", true},
        {L" [1] \r\n", true},
        {L"[1] x", false},
        {L"1 2", false},
        {L"{}{}", false},
        {L"[1,]", false},
        {L"{\"a\":1,}", false},
        {L"[1 2]", false},
        {L"{\"a\" 1}", false},
        {L"{\"a\"}", false},
        {L"{a:1}", false},
        {L"{'a':1}", false},
        {L"['a']", false},
        {L"0", true},
        {L"012", false},
        {L"-", false},
        {L"-a", false},
        {L"1.", false},
        {L"1.e5", false},
        {L".5", false},
        {L"+1", false},
        {L"1e", false},
        {L"1e+", false},
        {L"1E-7", true},
        {L"\"a\nb\"", false},
        {L"\"a\rb\"", false},
        {L"\"a\x01" L"b\"", false},
        {L"\"a\tb\"", true},
        {L"\"\\u00e9\"", true},
        {L"\"\\u00e\"", false},
        {L"\"\\u00\"", false},
        {L"\"\\u", false},
        {L"\"\\u00g9\"", false},
        {L"\"\\x41\"", false},
        {L"\"\\a\"", false},
        {L"\"\\'\"", false},
        {L"\"\\", false},
        {L"\"abc", false},
        {L"true", true},
        {L"TRUE", true},
        {L"False", true},
        {L"nULL", true},
        {L"tru", false},
        {L"nul", false},
        {L"truex", false},
        {L"NaN", false},
        {L"Infinity", false},
        {L"[,]", false},
        {L"[,1]", false},
        {L"{,}", false},
        {L"[1", false},
        {L"[1,", false},
        {L"{\"a\":", false},
        {L"{\"a\":1", false},
        {L"[\"a\",{\"b\":[null]}]", true},
    };
    for (const AcceptCase& c : cases) {
        std::unique_ptr<CJsonValue> value = Parse(c.text);
        EXPECT_EQ(c.accepted, value != nullptr) << "text: " << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(JsonReader, ReadsNumbers)
{
    struct Case {
        const wchar_t* text;
        double value;
    };
    const Case cases[] = {
        {L"0", 0},        {L"150", 150},      {L"-7", -7},      {L"1.5e2", 150}, {L"2E-1", 0.2},
        {L"1e+2", 100},   {L"0.25", 0.25},    {L"-12.5", -12.5}, {L"1E0", 1},    {L"0e999999999", 0},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CJsonValue> value = Parse(c.text);
        ASSERT_TRUE(value && value->IsNumber()) << testing::PrintToString(std::wstring(c.text));
        EXPECT_DOUBLE_EQ(c.value, value->AsNumber()) << testing::PrintToString(std::wstring(c.text));
    }
    std::unique_ptr<CJsonValue> minusZero = Parse(L"-0");
    ASSERT_TRUE(minusZero);
    EXPECT_EQ(0.0, minusZero->AsNumber());
    EXPECT_TRUE(std::signbit(minusZero->AsNumber()));
}

TEST(JsonReader, HugeExponentsEndQuickly)
{
    std::unique_ptr<CJsonValue> big = Parse(L"1e999999999");
    ASSERT_TRUE(big);
    EXPECT_TRUE(std::isinf(big->AsNumber()));
    EXPECT_GT(big->AsNumber(), 0);
    std::unique_ptr<CJsonValue> negative = Parse(L"-1e999999999");
    ASSERT_TRUE(negative);
    EXPECT_TRUE(std::isinf(negative->AsNumber()));
    EXPECT_LT(negative->AsNumber(), 0);
    std::unique_ptr<CJsonValue> tiny = Parse(L"1e-999999999");
    ASSERT_TRUE(tiny);
    EXPECT_EQ(0.0, tiny->AsNumber());
    // An exponent with more digits than a double holds exactly.
    std::unique_ptr<CJsonValue> longer = Parse(L"[5e99999999999999999999999999]");
    ASSERT_TRUE(longer);
    EXPECT_TRUE(std::isinf(longer->Child(0)->AsNumber()));
}

TEST(JsonReader, ReadsStringsUnitByUnit)
{
    std::unique_ptr<CJsonValue> value = Parse(L"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\u00E9\\uD834\\uDD1E\\uDFAA\ta\"");
    ASSERT_TRUE(value && value->IsString());
    EXPECT_EQ(std::wstring(L"\"\\/\b\f\n\r\t\x00E9\x00E9\xD834\xDD1E\xDFAA\ta"), value->AsString());
}

TEST(JsonReader, BuildsTrees)
{
    std::unique_ptr<CJsonValue> root = Parse(L"{\"b\":[1,\"x\",true,null,{}],\"a\":{\"n\":2},\"a\":false,\"\":0}");
    ASSERT_TRUE(root && root->IsObject());
    EXPECT_EQ(3u, root->CountChildren());
    EXPECT_TRUE(root->HasChild(L"a"));
    EXPECT_FALSE(root->HasChild(L"A"));
    EXPECT_TRUE(root->HasChild(L""));
    ASSERT_TRUE(root->Child(L"a")->IsBool());  // the last of the two a members
    EXPECT_FALSE(root->Child(L"a")->AsBool());
    EXPECT_EQ(nullptr, root->Child(L"missing"));
    EXPECT_EQ((std::vector<std::wstring>{L"", L"a", L"b"}), root->ObjectKeys());

    const CJsonValue* array = root->Child(L"b");
    ASSERT_TRUE(array && array->IsArray());
    EXPECT_EQ(5u, array->CountChildren());
    EXPECT_TRUE(array->HasChild(4));
    EXPECT_FALSE(array->HasChild(5));
    EXPECT_EQ(nullptr, array->Child(5));
    EXPECT_TRUE(array->Child(1)->IsString());
    EXPECT_TRUE(array->Child(3)->IsNull());
    EXPECT_TRUE(array->Child(4)->IsObject());
    EXPECT_EQ(0u, array->Child(4)->CountChildren());
    // Asking another kind for children gives nothing.
    EXPECT_EQ(nullptr, array->Child(L"a"));
    EXPECT_EQ(nullptr, root->Child(static_cast<size_t>(0)));
    EXPECT_EQ(0u, array->Child(0)->CountChildren());
    EXPECT_TRUE(array->ObjectKeys().empty());
}

// Arrays around the length where the reader's element buffer gives way to a growing vector.
TEST(JsonReader, ReadsArraysOfEveryLength)
{
    const size_t lengths[] = {0, 1, 7, 8, 9, 16, 17, 33, 100};
    for (size_t length : lengths) {
        std::wstring text = L"[";
        for (size_t i = 0; i < length; ++i)
            text += (i ? L"," : L"") + std::to_wstring(i);
        text += L"]";
        std::unique_ptr<CJsonValue> array = Parse(L" " + text + L" ");
        ASSERT_TRUE(array && array->IsArray()) << length;
        ASSERT_EQ(length, array->CountChildren());
        for (size_t i = 0; i < length; ++i)
            EXPECT_EQ(static_cast<double>(i), array->Child(i)->AsNumber()) << length << " " << i;
        EXPECT_EQ(text, array->Stringify());
    }
}

TEST(JsonReader, OrdersNamesByUnsignedUnits)
{
    std::unique_ptr<CJsonValue> root = Parse(L"{\"\\u00e9\":1,\"z\":2,\"ab\":3,\"a\":4,\"\\uFFFF\":5,\"B\":6}");
    ASSERT_TRUE(root);
    EXPECT_EQ((std::vector<std::wstring>{L"B", L"a", L"ab", L"z", L"\x00E9", L"\xFFFF"}), root->ObjectKeys());
}

TEST(JsonReader, BoundsNesting)
{
    std::wstring deepest = std::wstring(kJsonMaxDepth, L'[') + std::wstring(kJsonMaxDepth, L']');
    EXPECT_TRUE(Parse(deepest));
    std::wstring tooDeep = std::wstring(kJsonMaxDepth + 1, L'[') + std::wstring(kJsonMaxDepth + 1, L']');
    EXPECT_FALSE(Parse(tooDeep));
    std::wstring objects;
    for (int i = 0; i <= kJsonMaxDepth; ++i)
        objects += L"{\"a\":";
    objects += L"1" + std::wstring(kJsonMaxDepth + 1, L'}');
    EXPECT_FALSE(Parse(objects));
    // A hostile PBX message of many openings neither crashes nor hangs.
    EXPECT_FALSE(Parse(std::wstring(100000, L'[')));
    EXPECT_FALSE(Parse(std::wstring(100000, L'{')));
}

TEST(JsonReader, FailedParsesFreeEverything)
{
    const wchar_t* failing[] = {
        L"[1,\"two\",[3,{\"four\":[5,6,{\"x\":\"y\"}]}],[7,8",
        L"{\"a\":[1,2,3],\"b\":{\"c\":{\"d\":[true,false,\"text text text text text\"]}},\"e\":}",
        L"{\"a\":1,\"a\":2,\"b\":[\"s\",\"t\"] x",
        L"[[[[[[[[[[\"deep\",1,2,3]]]]]]]]]] 1",
        // Failing at, just past and well past the eighth element of an array.
        L"[\"a long text 1\",\"a long text 2\",3,4,5,6,7,8 9]",
        L"[\"a long text 1\",\"a long text 2\",3,4,5,6,7,8,9,]",
        L"{\"a\":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,[\"inner\",{\"b\":\"c\"}],19,20,x]}",
    };
    for (const wchar_t* text : failing) {
        long before = LiveAllocations();
        CJsonValue* value = JsonParse(text);
        long after = LiveAllocations();
        EXPECT_EQ(nullptr, value);
        EXPECT_EQ(before, after) << testing::PrintToString(std::wstring(text));
    }
    std::wstring tooDeep = std::wstring(kJsonMaxDepth, L'[') + L"{\"a\":[1]}" + std::wstring(kJsonMaxDepth, L']');
    long before = LiveAllocations();
    EXPECT_EQ(nullptr, JsonParse(tooDeep.c_str()));
    EXPECT_EQ(before, LiveAllocations());
    // The counter does see the reader's blocks: a successful parse holds some until deleted.
    CJsonValue* ok = JsonParse(L"{\"a\":[1,\"x\"]}");
    ASSERT_TRUE(ok);
    EXPECT_GT(LiveAllocations(), before);
    delete ok;
    EXPECT_EQ(before, LiveAllocations());
}

TEST(JsonReader, ReadsEightBitText)
{
    std::unique_ptr<CJsonValue> value(JsonParse("{\"a\":[1,\"b\"]}"));
    ASSERT_TRUE(value && value->IsObject());
    EXPECT_EQ(L"b", value->Child(L"a")->Child(1)->AsString());
    EXPECT_EQ(nullptr, JsonParse(static_cast<const char*>(nullptr)));
    EXPECT_EQ(nullptr, JsonParse("[1,]"));
}

TEST(JsonReader, CopiesAndOwnsTrees)
{
    std::unique_ptr<CJsonValue> root = Parse(L"{\"a\":[1,{\"b\":\"c\"}],\"d\":\"e\"}");
    ASSERT_TRUE(root);
    long before = LiveAllocations();
    {
        CJsonValue copy(*root);
        EXPECT_EQ(root->Stringify(), copy.Stringify());
        EXPECT_NE(root->Child(L"a"), copy.Child(L"a"));  // deep: new children
        CJsonValue assigned(3);
        assigned = copy;
        EXPECT_EQ(root->Stringify(), assigned.Stringify());
        CJsonValue& self = assigned;
        assigned = self;
        EXPECT_EQ(root->Stringify(), assigned.Stringify());
    }
    EXPECT_EQ(before, LiveAllocations());

    // Building from containers moves the pointers in and leaves the source empty.
    JsonArray items;
    items.push_back(new CJsonValue(1));
    items.push_back(new CJsonValue(L"x"));
    CJsonValue* array = new CJsonValue(std::move(items));
    EXPECT_TRUE(items.empty());
    JsonObject members;
    members[L"k"] = array;
    CJsonValue object(std::move(members));
    EXPECT_TRUE(members.empty());
    EXPECT_EQ(L"{\"k\":[1,\"x\"]}", object.Stringify());
}

// Assigning a value of one kind to a value of another replaces the payload and frees the old.
TEST(JsonReader, AssignsAcrossKinds)
{
    const wchar_t* texts[] = {L"\"a text longer than a few units\"", L"[1,[2,\"three three\"],{}]",
                              L"{\"k\":{\"l\":[\"m\"]},\"n\":null}", L"true", L"-2.5", L"null"};
    for (const wchar_t* from : texts) {
        for (const wchar_t* to : texts) {
            long base = LiveAllocations();
            long targetBlocks;  // the blocks of the target's own tree
            {
                std::unique_ptr<CJsonValue> alone = Parse(to);
                targetBlocks = LiveAllocations() - base;
            }
            std::unique_ptr<CJsonValue> source = Parse(from), target = Parse(to);
            ASSERT_TRUE(source && target);
            long before = LiveAllocations();
            *target = *source;
            EXPECT_EQ(std::wstring(from), target->Stringify()) << testing::PrintToString(std::wstring(to));
            EXPECT_EQ(std::wstring(from), source->Stringify());
            target.reset();
            EXPECT_EQ(before - targetBlocks, LiveAllocations()) << testing::PrintToString(std::wstring(from) + L" onto " + to);
        }
    }
}

std::wstring Utf8ToWide(const std::vector<BYTE>& bytes)
{
    if (bytes.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                                static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                        static_cast<int>(bytes.size()), &text[0], n);
    return text;
}

TEST(JsonReader, CaseFiles)
{
    std::wstring folder = ProgramFolder() + L"plugin_json_cases\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*.json").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << "no case files beside the test program";
    int yes = 0, no = 0;
    do {
        std::wstring name = found.cFileName;
        bool expected = name[0] == L'y';
        ASSERT_TRUE(expected || name[0] == L'n') << testing::PrintToString(name);
        std::wstring text = Utf8ToWide(ReadFileBytes(folder + name));
        std::unique_ptr<CJsonValue> value = Parse(text);
        EXPECT_EQ(expected, value != nullptr) << testing::PrintToString(name);
        (expected ? yes : no)++;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_GE(yes, 15);
    EXPECT_GE(no, 25);
}
}  // namespace
