#include "bench/reliability/MessageMutator.h"

#include <windows.h>

#include <cstdio>

#include "rapidjson/document.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"

namespace reliability {

namespace {

typedef rapidjson::UTF16<wchar_t> Wide;
typedef rapidjson::GenericDocument<Wide> Document;
typedef rapidjson::GenericValue<Wide> Value;
constexpr unsigned kParseFlags = rapidjson::kParseIterativeFlag;

// Texts that try to cut a bus value, plant one, or be taken as a format or an entity.
const wchar_t* const kPlanted[] = {
    L"</value><value keyword=\"Event\">Idle",
    L"</value>\r\n <value keyword=\"Type\">10</value>\r\n",
    L"</data>",
    L"&amp;lt;value keyword=&quot;CallID&quot;&gt;",
    L"%s%n%s%n%x%x%x",
    L"<value keyword=\"Sender\">PLUGINTELEPHONYORKANE</value>",
    L"\U0001F4DE\xD800\xDC00\xFFFF\x202E",
    L"0",
    L"",
    L"x-alert",
    L"del",
    L"CallInfo",
};

const char* const kEdgeNumbers[] = {
    "0",           "-1",          "2147483647",  "2147483648", "-2147483648", "-2147483649", "4294967295",
    "4294967296",  "1e308",       "-1e308",      "1e-320",     "0.5",         "-0.0",        "9007199254740993",
    "7.99999999",  "1E3",         "123456789012345678901234567890",
};

// Every value of the document, found without recursion (a mutated text can nest deeply).
std::vector<Value*> AllValues(Document& document, size_t* depth)
{
    std::vector<Value*> values;
    std::vector<std::pair<Value*, size_t>> stack = {{&document, 1}};
    *depth = 0;
    while (!stack.empty()) {
        auto [value, level] = stack.back();
        stack.pop_back();
        values.push_back(value);
        if (level > *depth)
            *depth = level;
        if (value->IsObject())
            for (auto& member : value->GetObject())
                stack.push_back({&member.value, level + 1});
        else if (value->IsArray())
            for (auto& element : value->GetArray())
                stack.push_back({&element, level + 1});
    }
    return values;
}

std::wstring Write(const Document& document)
{
    rapidjson::GenericStringBuffer<Wide> buffer;
    rapidjson::Writer<rapidjson::GenericStringBuffer<Wide>, Wide, Wide> writer(buffer);
    document.Accept(writer);
    // GetSize counts bytes, not characters.
    return std::wstring(buffer.GetString(), buffer.GetSize() / sizeof(wchar_t));
}

std::wstring HugeText(size_t length, Random& r)
{
    std::wstring text;
    text.reserve(length);
    const wchar_t* pieces[] = {L"a", L"0", L"<", L">", L"&", L"\"", L"\\", L"%s", L"\u00fc", L"\U0001F4DE", L"\r\n"};
    const bool uniform = r.Chance(50);
    while (text.size() < length) {
        if (uniform)
            text += L'9';
        else if (r.Chance(2))
            text += kPlanted[r.Below(_countof(kPlanted))];
        else
            text += pieces[r.Below(_countof(pieces))];
    }
    text.resize(length);
    return text;
}

}  // namespace

std::wstring MessageMutator::BitFlip(std::wstring text, Random& r) const
{
    if (text.empty())
        return text;
    size_t flips = 1 + r.Below(8);
    for (size_t i = 0; i < flips; ++i) {
        size_t at = r.Below(text.size());
        // Mostly the low bits (ASCII neighbours), now and then the high ones (surrogates).
        unsigned bit = r.Chance(80) ? static_cast<unsigned>(r.Below(7)) : static_cast<unsigned>(r.Below(16));
        text[at] = static_cast<wchar_t>(text[at] ^ (1u << bit));
    }
    // A text ends at its first terminator: keep only what the receiver would see.
    return text.substr(0, text.find(L'\0'));
}

std::wstring MessageMutator::Truncate(std::wstring text, Random& r) const
{
    return text.substr(0, r.Below(text.size() + 1));
}

std::wstring MessageMutator::Splice(std::wstring text, Random& r) const
{
    const std::wstring& other = m_corpus[r.Below(m_corpus.size())];
    size_t from = r.Below(other.size()), length = r.Below(other.size() - from + 1);
    text.insert(r.Below(text.size() + 1), other.substr(from, length));
    return text;
}

std::wstring MessageMutator::Nest(std::wstring text, Random& r) const
{
    static const size_t depths[] = {2, 100, 254, 255, 256, 257, 1000, 100000};
    size_t depth = depths[r.Below(_countof(depths))];
    bool objects = r.Chance(50);
    std::wstring open = objects ? L"{\"peer\":" : L"[", close = objects ? L"}" : L"]";
    std::wstring nested;
    for (size_t i = 0; i < depth; ++i)
        nested += open;
    nested += r.Chance(50) ? L"{\"e164\":\"123\"}" : L"1";
    if (r.Chance(90))
        for (size_t i = 0; i < depth; ++i)
            nested += close;
    // In place of a member's value where there is one, else the whole text.
    size_t colon = text.find(L':', r.Below(text.size() + 1));
    if (colon == std::wstring::npos)
        return nested;
    size_t end = text.find_first_of(L",}", colon);
    text.replace(colon + 1, end == std::wstring::npos ? std::wstring::npos : end - colon - 1, nested);
    return text;
}

std::wstring MessageMutator::ReplaceValue(const std::wstring& text, int kind, Random& r) const
{
    Document document;
    document.Parse<kParseFlags>(text.c_str());
    if (document.HasParseError())
        return BitFlip(text, r);
    size_t depth = 0;
    std::vector<Value*> values = AllValues(document, &depth);
    // The writer recurses; deep documents get a textual mutation instead.
    if (depth > 200)
        return BitFlip(text, r);
    auto& alloc = document.GetAllocator();
    // Mostly a value below the root: the message's members are what the dispatcher reads.
    Value* target = values.size() > 1 && r.Chance(95) ? values[1 + r.Below(values.size() - 1)] : values[0];
    switch (kind) {
    case 0: {  // another type
        switch (r.Below(9)) {
        case 0: target->SetNull(); break;
        case 1: target->SetBool(r.Chance(50)); break;
        case 2: target->SetInt(static_cast<int>(r.Next())); break;
        case 3: target->SetDouble(static_cast<double>(r.Below(100000)) / 7.0); break;
        case 4: target->SetString(L"x", alloc); break;
        case 5: target->SetObject(); break;
        case 6: target->SetArray(); break;
        case 7:
            target->SetObject();
            target->AddMember(Value(L"e164", alloc), Value(L"0301", alloc), alloc);
            break;
        default:
            target->SetArray();
            target->PushBack(Value(1), alloc).PushBack(Value(L"a", alloc), alloc);
            break;
        }
        return Write(document);
    }
    case 1: {  // an edge number, written as text in place of the value
        target->SetString(L"\x01NUMBER\x01", alloc);
        std::wstring out = Write(document);
        size_t at = out.find(L"\"\\u0001NUMBER\\u0001\"");
        if (at == std::wstring::npos)
            return out;
        const char* number = kEdgeNumbers[r.Below(_countof(kEdgeNumbers))];
        return out.replace(at, 20, std::wstring(number, number + strlen(number)));
    }
    case 2: {  // a huge string
        size_t length = static_cast<size_t>(1) << (8 + r.Below(11));
        if (length > hugeLimit)
            length = hugeLimit;
        std::wstring huge = HugeText(length, r);
        target->SetString(huge.c_str(), static_cast<rapidjson::SizeType>(huge.size()), alloc);
        return Write(document);
    }
    default: {  // a planted text
        const wchar_t* planted = kPlanted[r.Below(_countof(kPlanted))];
        target->SetString(planted, static_cast<rapidjson::SizeType>(wcslen(planted)), alloc);
        return Write(document);
    }
    }
}

std::wstring MessageMutator::Make(uint64_t seed, uint64_t index) const
{
    Random r(seed * 0x100000001B3ull ^ (index + 1) * 0x9E3779B97F4A7C15ull);
    std::wstring text = m_corpus[r.Below(m_corpus.size())];
    size_t steps = 1 + r.Below(3);
    for (size_t i = 0; i < steps; ++i) {
        size_t pick = r.Below(100);
        if (pick < 25)
            text = BitFlip(text, r);
        else if (pick < 37)
            text = Truncate(text, r);
        else if (pick < 57)
            text = ReplaceValue(text, 0, r);
        else if (pick < 67)
            text = ReplaceValue(text, 1, r);
        else if (pick < 71)
            text = ReplaceValue(text, 2, r);
        else if (pick < 83)
            text = ReplaceValue(text, 3, r);
        else if (pick < 88)
            text = Nest(text, r);
        else
            text = Splice(text, r);
    }
    return text;
}

std::vector<std::wstring> ReadLines(const wchar_t* path)
{
    std::vector<std::wstring> lines;
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return lines;
    std::string line;
    auto flush = [&] {
        if (!line.empty()) {
            int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
            std::wstring text(n, L'\0');
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &text[0], n);
            lines.push_back(text);
        }
        line.clear();
    };
    for (int c; (c = fgetc(file)) != EOF;) {
        if (c == '\n')
            flush();
        else if (c != '\r')
            line += static_cast<char>(c);
    }
    flush();
    fclose(file);
    return lines;
}

}  // namespace reliability
