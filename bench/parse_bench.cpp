// Parsing: the saver's tokenizer and extractor against libxml2's SAX parser,
// gumbo and a memchr scan on the same bytes; the adversarial pages; the
// memory the tokenizer needs beyond its input.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "acquire/standings_table.h"
#include "bench/bench_pages.h"
#include "bench/heap_counter.h"
#include "bench/parse_peers.h"

namespace {

constexpr std::size_t kMiB = 1u << 20;

// Made once, on first use, outside every timing.
const std::string& Page(const std::string& name) {
    static std::map<std::string, std::string> pages;
    auto it = pages.find(name);
    if (it != pages.end()) return it->second;
    std::string page;
    if (name == "typical") page = TypicalPage();
    else if (name == "large") page = LargePage(10 * kMiB);
    else if (name == "quote_8MiB") page = RepeatedPage("<a b=\"", 8 * kMiB);
    else if (name == "quote_16MiB") page = RepeatedPage("<a b=\"", 16 * kMiB);
    else if (name == "equals_8MiB") page = RepeatedPage("<a =", 8 * kMiB);
    else if (name == "equals_16MiB") page = RepeatedPage("<a =", 16 * kMiB);
    else if (name == "attr_distinct_1MiB") page = AttributePage(kMiB, true);
    else if (name == "attr_distinct_2MiB") page = AttributePage(2 * kMiB, true);
    else if (name == "attr_distinct_32KiB") page = AttributePage(32 * 1024, true);
    else if (name == "attr_distinct_64KiB") page = AttributePage(64 * 1024, true);
    else if (name == "attr_common_1MiB") page = AttributePage(kMiB, false);
    else if (name == "attr_common_2MiB") page = AttributePage(2 * kMiB, false);
    else std::abort();
    return pages.emplace(name, std::move(page)).first->second;
}

using Job = std::function<void(const std::string&)>;

const std::map<std::string, Job>& Jobs() {
    static const std::map<std::string, Job> jobs = {
        {"saver", [](const std::string& p) { SaverRows(p); benchmark::DoNotOptimize(theStandings.GetSize()); }},
        {"reader", [](const std::string& p) { benchmark::DoNotOptimize(ReadAttributes(p)); }},
        {"tokenizer", [](const std::string& p) { benchmark::DoNotOptimize(TokenizeOnly(p)); }},
        {"libxml2_sax", [](const std::string& p) { benchmark::DoNotOptimize(LibxmlSaxRows(p)); }},
        {"gumbo", [](const std::string& p) { benchmark::DoNotOptimize(GumboRows(p)); }},
        {"memchr", [](const std::string& p) { benchmark::DoNotOptimize(CountMarkupStarts(p)); }},
    };
    return jobs;
}

void Time(benchmark::State& state, const std::string& pageName, const std::string& jobName) {
    const std::string& page = Page(pageName);
    const Job& job = Jobs().at(jobName);
    for (auto _ : state) job(page);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
    state.counters["input_bytes"] = static_cast<double>(page.size());
    theStandings.RemoveAll();
}

// Peak growth of the heap while the job runs, the input being made before;
// for the saver also what it keeps afterwards (the rows).
void Memory(benchmark::State& state, const std::string& pageName, const std::string& jobName) {
    const std::string& page = Page(pageName);
    const Job& job = Jobs().at(jobName);
    const std::size_t longest = std::max(LongestText(page), LongestQuotedValue(page));
    std::int64_t peak = 0, kept = 0;
    for (auto _ : state) {
        theStandings.RemoveAll();
        heap::BeginWindow();
        job(page);
        kept = heap::Current();
        peak = heap::EndWindow();
    }
    theStandings.RemoveAll();
    state.counters["input_bytes"] = static_cast<double>(page.size());
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["kept_bytes"] = static_cast<double>(kept);
    state.counters["longest_text_bytes"] = static_cast<double>(longest);
}

void Add(const std::string& pageName, const std::string& jobName, int repetitions, double minTime) {
    benchmark::RegisterBenchmark(("parse/" + pageName + "/" + jobName).c_str(),
                                 [=](benchmark::State& s) { Time(s, pageName, jobName); })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true)
        ->MinTime(minTime);
}

void AddMemory(const std::string& pageName, const std::string& jobName) {
    benchmark::RegisterBenchmark(("memory/" + pageName + "/" + jobName).c_str(),
                                 [=](benchmark::State& s) { Memory(s, pageName, jobName); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

}  // namespace

bool CheckParsePeers() {
    bool ok = true;
    for (const char* name : {"typical", "large"}) {
        const std::string& page = Page(name);
        SaverRows(page);
        const TextRows saver = SaverRowsAsText();
        theStandings.RemoveAll();
        if (saver.size() < 21) {
            std::fprintf(stderr, "scorvane_bench: the saver takes only %zu rows from the %s page\n", saver.size(), name);
            ok = false;
        }
        for (auto [peer, rows] : {std::pair{"libxml2", LibxmlSaxRows(page)}, std::pair{"gumbo", GumboRows(page)}}) {
            // The saver reads the whole page but keeps only the rows a
            // league can have; the peers keep every row.
            if (rows.size() > static_cast<std::size_t>(kMaxStandingsRows)) rows.resize(kMaxStandingsRows);
            const std::string diff = CompareRows(saver, rows);
            if (!diff.empty()) {
                std::fprintf(stderr, "scorvane_bench: %s does not do the saver's job on the %s page: %s\n", peer, name,
                             diff.c_str());
                ok = false;
            }
        }
    }
    return ok;
}

void RegisterParseBenchmarks() {
    for (const char* page : {"typical", "large"}) {
        for (const char* job : {"saver", "libxml2_sax", "gumbo", "memchr"}) Add(page, job, 5, 0.2);
    }
    for (const char* page : {"quote_8MiB", "quote_16MiB", "equals_8MiB", "equals_16MiB", "attr_distinct_1MiB",
                             "attr_distinct_2MiB", "attr_common_1MiB"})
        Add(page, "saver", 5, 0.2);
    for (const char* page : {"quote_8MiB", "equals_8MiB"}) Add(page, "memchr", 5, 0.2);
    Add("attr_common_1MiB", "reader", 3, 0.01);
    Add("attr_common_2MiB", "reader", 3, 0.01);
    Add("attr_distinct_32KiB", "reader", 3, 0.01);
    Add("attr_distinct_64KiB", "reader", 3, 0.01);

    for (const char* page : {"typical", "large"}) {
        for (const char* job : {"tokenizer", "saver", "libxml2_sax", "gumbo"}) AddMemory(page, job);
    }
    for (const char* page : {"quote_8MiB", "equals_8MiB", "attr_distinct_1MiB", "attr_common_1MiB"})
        AddMemory(page, "saver");
    AddMemory("attr_common_1MiB", "reader");
}
