// The JSON reader against RapidJSON on the messages a PBX sends: both build a document tree
// from the same UTF-16 texts, as the receive thread hands them to the dispatcher. Rounds of
// the two alternate so that a busy machine hurts both alike; the figure is the median round.
//
//   JsonBench <pbx_messages.jsonl> [seconds per side]
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "rapidjson/document.h"

#include "bench/BenchStats.h"
#include "bench/reliability/MessageMutator.h"
#include "plugin_support/Json.h"

namespace {

typedef rapidjson::GenericDocument<rapidjson::UTF16<wchar_t>> WideDocument;

// Messages per second of one round of at least the given seconds.
template <class Parse>
double Round(const std::vector<std::wstring>& texts, double seconds, Parse parse)
{
    size_t done = 0;
    double start = bench::Now(), elapsed = 0;
    do {
        for (const std::wstring& text : texts)
            parse(text.c_str());
        done += texts.size();
        elapsed = bench::Now() - start;
    } while (elapsed < seconds);
    return (double)done / elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: JsonBench <pbx_messages.jsonl> [seconds]\n");
        return 2;
    }
    double seconds = argc > 2 ? _wtof(argv[2]) : 3.0;
    std::vector<std::wstring> texts = reliability::ReadLines(argv[1]);
    if (texts.empty()) {
        fwprintf(stderr, L"JsonBench: no messages in %ls\n", argv[1]);
        return 1;
    }
    size_t chars = 0;
    for (const std::wstring& t : texts)
        chars += t.size();

    // Both must read every message, or the race is not the same race.
    for (const std::wstring& t : texts) {
        std::unique_ptr<CJsonValue> ours(JsonParse(t.c_str()));
        WideDocument theirs;
        theirs.Parse(t.c_str());
        if (!ours || theirs.HasParseError()) {
            fwprintf(stderr, L"JsonBench: a reader refused %ls\n", t.c_str());
            return 1;
        }
    }

    auto ours = [](const wchar_t* text) { delete JsonParse(text); };
    auto theirs = [](const wchar_t* text) {
        WideDocument document;
        document.Parse(text);
    };
    const int rounds = 7;
    std::vector<double> oursRate, theirsRate;
    for (int i = 0; i < rounds; ++i) {
        oursRate.push_back(Round(texts, seconds / rounds, ours));
        theirsRate.push_back(Round(texts, seconds / rounds, theirs));
    }
    double a = bench::Median(oursRate), b = bench::Median(theirsRate);
    double perMessage = (double)chars / (double)texts.size();
    bench::Row("P5", bench::Fmt("JSON reader, %.0f recorded PBX messages (UTF-16, ", (double)texts.size()) +
                         bench::Fmt("%.0f chars each on average)", perMessage),
               bench::Fmt("%.0f msg/s", a), bench::Fmt("RapidJSON %.0f msg/s", b), a / b, "≥ 0.5×", a / b >= 0.5);
    return 0;
}
