#include "bench/reliability/PbxLog.h"

#include <windows.h>

#include <rapidjson/document.h>

#include "tests/support/TestSupport.h"

namespace reliability {

namespace {

std::string String(const rapidjson::Value& object, const char* name)
{
    if (!object.IsObject())
        return "";
    auto m = object.FindMember(name);
    return m != object.MemberEnd() && m->value.IsString() ? std::string(m->value.GetString(), m->value.GetStringLength())
                                                          : std::string();
}

long long Integer(const rapidjson::Value& object, const char* name)
{
    if (!object.IsObject())
        return 0;
    auto m = object.FindMember(name);
    return m != object.MemberEnd() && m->value.IsInt64() ? m->value.GetInt64() : 0;
}

bool Flag(const rapidjson::Value& object, const char* name)
{
    if (!object.IsObject())
        return false;
    auto m = object.FindMember(name);
    return m != object.MemberEnd() && m->value.IsBool() && m->value.GetBool();
}

bool Has(const rapidjson::Value& object, const char* name)
{
    return object.IsObject() && object.HasMember(name);
}

PbxLine Read(const std::string& text)
{
    PbxLine line;
    line.raw = text;
    rapidjson::Document doc;
    doc.Parse(text.c_str(), text.size());
    if (doc.HasParseError() || !doc.IsObject())
        return line;
    if (Has(doc, "sent")) {
        const rapidjson::Value& sent = doc["sent"];
        line.kind = PbxLine::Sent;
        line.path = String(sent, "path");
        line.conn = static_cast<int>(Integer(sent, "conn"));
        line.peer = Flag(sent, "peer");
        if (Has(sent, "msg")) {
            line.mt = String(sent["msg"], "mt");
            line.callMsg = String(sent["msg"], "msg");
            line.call = Integer(sent["msg"], "call");
        }
        return line;
    }
    line.path = String(doc, "path");
    line.conn = static_cast<int>(Integer(doc, "conn"));
    std::string event = String(doc, "event");
    if (event == "open") {
        line.kind = PbxLine::Open;
    } else if (event == "closed") {
        line.kind = PbxLine::Closed;
        line.code = static_cast<int>(Integer(doc, "code"));
    } else if (event == "away") {
        line.kind = PbxLine::Away;
    } else if (event == "back") {
        line.kind = PbxLine::Back;
    } else if (String(doc, "control") == "no connection") {
        line.kind = PbxLine::NoConnection;
        line.path = String(doc, "to");
    } else if (Has(doc, "msg")) {
        const rapidjson::Value& msg = doc["msg"];
        line.mt = String(msg, "mt");
        line.kind = line.mt == "FakePbx" ? PbxLine::Control : PbxLine::Request;
        line.type = String(msg, "type");
        line.response = Has(msg, "response");
        line.dropped = Flag(doc, "dropped");
        if (Has(doc, "violations") && doc["violations"].IsArray())
            for (const auto& v : doc["violations"].GetArray())
                if (v.IsString())
                    line.violations.push_back(v.GetString());
    }
    return line;
}

}  // namespace

std::vector<PbxLine> ReadPbxLog()
{
    wchar_t path[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"FAKE_PBX_LOG", path, _countof(path));
    std::vector<PbxLine> lines;
    if (!path[0])
        return lines;
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(path);
    std::string all(bytes.begin(), bytes.end());
    size_t pos = 0;
    // Only whole lines: the PBX may be writing the last one.
    for (size_t end; (end = all.find('\n', pos)) != std::string::npos; pos = end + 1)
        lines.push_back(Read(all.substr(pos, end - pos)));
    return lines;
}

}  // namespace reliability
