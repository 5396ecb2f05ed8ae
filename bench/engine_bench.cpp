// Engine speed over real Japanese prose (bench/make-corpus.sh). The floor is
// MeCab itself: its C interface over the same sentences, nothing else. The
// tokenizer and analyze should stay within a small multiple of it.
//
// Usage: engine_bench [--corpus=FILE] [benchmark flags]

#include "correction/local_correction_service.hpp"
#include "correction/rule_pack.hpp"
#include "correction/textlint/textlint_japanese_bridge.hpp"
#include "correction/textlint/textlint_japanese_grammar_rule.hpp"
#include "morphology/ipadic.hpp"
#include "morphology/mecab_japanese_tokenizer.hpp"
#include "shared/text.hpp"

#include <benchmark/benchmark.h>
#include <mecab.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace mivo;

std::vector<std::string> gCorpus;
// textlint answers in milliseconds: it runs over a prefix of the corpus, and
// analyze runs again over the same prefix for its ratio.
std::size_t gTextlintSentences = 2000;

std::vector<std::string> readCorpus(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && text::isValidUtf8(line))
            lines.push_back(line);
    }
    return lines;
}

std::vector<CompletedSentenceCandidate> candidates() {
    std::vector<CompletedSentenceCandidate> out;
    out.reserve(gCorpus.size());
    for (const auto& s : gCorpus) {
        CompletedSentenceCandidate c;
        c.id = text::makeUuid();
        c.text = s;
        c.range = TextRange{0, text::characterCount(s)};
        c.japaneseRatio = 1;
        out.push_back(std::move(c));
    }
    return out;
}

// Every benchmark walks the corpus in the same order, one sentence per
// iteration, so per-iteration times compare sentence for sentence.

// MeCab's C interface with the dictionary our tokenizer opens, and the least
// any use of its result costs: walking the nodes.
void BM_Mecab(benchmark::State& state) {
    const auto dictionary = SealedIPADic::locate();
    if (!dictionary) {
        state.SkipWithError("MeCab dictionary unavailable");
        return;
    }
    std::string folder = dictionary->url().string();
    std::string name = "bench", d = "-d", r = "-r", rc = "/dev/null";
    char* argv[] = {name.data(), d.data(), folder.data(), r.data(), rc.data()};
    mecab_t* tagger = mecab_new(5, argv);
    if (tagger == nullptr) {
        state.SkipWithError("MeCab could not open the dictionary");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& s = gCorpus[i];
        std::size_t bytes = 0;
        for (const mecab_node_t* n = mecab_sparse_tonode2(tagger, s.data(), s.size()); n;
             n = n->next) {
            bytes += n->length;
        }
        benchmark::DoNotOptimize(bytes);
        if (++i == gCorpus.size())
            i = 0;
    }
    mecab_destroy(tagger);
    state.SetItemsProcessed(state.iterations());
}

void BM_Tokenize(benchmark::State& state) {
    const JapaneseTokenizer* tokenizer = MecabJapaneseTokenizer::shared();
    if (tokenizer == nullptr) {
        state.SkipWithError("MeCab dictionary unavailable");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tokenizer->tokenize(gCorpus[i]));
        if (++i == gCorpus.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void analyzeLoop(benchmark::State& state, const LocalCorrectionService& service,
                 std::size_t count) {
    auto sentences = candidates();
    sentences.resize(std::min(count, sentences.size()));
    const LocalCorrectionOptions options{true};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(service.analyze(sentences[i], options));
        if (++i == sentences.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

const LocalCorrectionService& serviceWithoutTextlint() {
    static const LocalCorrectionService service;
    return service;
}

void BM_AnalyzePrefix(benchmark::State& state) {
    analyzeLoop(state, serviceWithoutTextlint(), gTextlintSentences);
}

// The default engine with a bridge of its own, enabled and warm; the bridge
// caches 128 texts, so walking more distinct sentences than that asks
// textlint every time.
void BM_AnalyzeWithTextlint(benchmark::State& state) {
    TextlintJapaneseBridge::Settings settings;
    settings.enabled = true;
    static TextlintJapaneseBridge bridge(settings);
    if (!bridge.isAvailable()) {
        state.SkipWithError("textlint is not installed (scripts/setup.sh installs it)");
        return;
    }
    bridge.lint("ウォームアップの文です。");
    const auto& base = serviceWithoutTextlint();
    std::shared_ptr<const JapaneseTokenizer> tokenizer(std::shared_ptr<void>{}, base.tokenizer());
    LocalCorrectionService::Rules plain{
        base.rules().front(),
        std::make_shared<TextlintJapaneseGrammarRule>(
            bridge, loadRulePack(TextlintJapaneseGrammarRule::packName, &textlintRulePackFromJson,
                                 TextlintJapaneseGrammarRule::fallbackRulePack()))};
    const LocalCorrectionService service(tokenizer, base.morphologyRules(), plain);
    analyzeLoop(state, service, gTextlintSentences);
}

// One line of 50,000 Characters (a pasted log, a paragraph without 。): its
// cost per Character is that of ordinary sentences, not a multiple of it.
void BM_AnalyzeLongLine(benchmark::State& state) {
    CompletedSentenceCandidate line;
    line.id = text::makeUuid();
    for (std::size_t i = 0, n = 0; n < 50'000; ++i) {
        line.text += gCorpus[i % gCorpus.size()];
        n += static_cast<std::size_t>(text::characterCount(gCorpus[i % gCorpus.size()]));
    }
    line.text = text::characterPrefix(line.text, 50'000);
    line.range = TextRange{0, 50'000};
    const LocalCorrectionOptions options{true};
    for (auto _ : state)
        benchmark::DoNotOptimize(serviceWithoutTextlint().analyze(line, options));
    state.SetItemsProcessed(state.iterations());
}

void BM_ConstructService(benchmark::State& state) {
    MecabJapaneseTokenizer::shared();  // the tagger is process-wide: not part of each build
    for (auto _ : state) {
        LocalCorrectionService service;
        benchmark::DoNotOptimize(service);
    }
}

// Collects per-iteration times for the summary lines.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}

    std::map<std::string, double> nanosPerIteration;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.iterations > 0 && !r.error_occurred) {
                // "BM_Analyze/iterations:N" -> "BM_Analyze"
                const std::string name = r.benchmark_name();
                nanosPerIteration[name.substr(0, name.find('/'))] = r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    // The engine in the process under measure runs without textlint unless
    // the caller asked for it.
    ::setenv("MIVO_TEXTLINT_BRIDGE", "0", 0);
    std::string corpus = MIVO_DEFAULT_CORPUS;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--corpus=", 9) == 0) {
            corpus = argv[i] + 9;
        } else if (std::strncmp(argv[i], "--textlint-sentences=", 21) == 0) {
            gTextlintSentences = std::strtoul(argv[i] + 21, nullptr, 10);
        } else {
            rest.push_back(argv[i]);
        }
    }
    gCorpus = readCorpus(corpus);
    if (gCorpus.empty()) {
        std::cerr << "engine_bench: no sentences in " << corpus
                  << " (make one with bench/make-corpus.sh)\n";
        return 2;
    }
    std::cout << "corpus: " << gCorpus.size() << " sentences from " << corpus << "\n";
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    // Exactly one pass over the corpus each, so the ratios compare the same
    // sentences.
    const auto pass = static_cast<benchmark::IterationCount>(gCorpus.size());
    benchmark::RegisterBenchmark("BM_Mecab", BM_Mecab)
        ->Iterations(pass)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_Tokenize", BM_Tokenize)
        ->Iterations(pass)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_Analyze",
                                 [](benchmark::State& state) {
                                     analyzeLoop(state, serviceWithoutTextlint(), gCorpus.size());
                                 })
        ->Iterations(pass)
        ->Unit(benchmark::kMicrosecond);
    gTextlintSentences = std::max<std::size_t>(1, std::min(gTextlintSentences, gCorpus.size()));
    const auto prefix = static_cast<benchmark::IterationCount>(gTextlintSentences);
    benchmark::RegisterBenchmark("BM_AnalyzePrefix", BM_AnalyzePrefix)
        ->Iterations(prefix)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_AnalyzeWithTextlint", BM_AnalyzeWithTextlint)
        ->Iterations(prefix)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_AnalyzeLongLine", BM_AnalyzeLongLine)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ConstructService", BM_ConstructService)
        ->Unit(benchmark::kMillisecond);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.nanosPerIteration;
    auto ratio = [&](const char* a, const char* b) -> std::string {
        auto ia = t.find(a);
        auto ib = t.find(b);
        if (ia == t.end() || ib == t.end() || ib->second <= 0)
            return "n/a";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", ia->second / ib->second);
        return buf;
    };
    std::cout << "tokenize/mecab ratio: " << ratio("BM_Tokenize", "BM_Mecab") << "\n";
    std::cout << "analyze/mecab ratio: " << ratio("BM_Analyze", "BM_Mecab") << "\n";
    std::cout << "analyze/tokenize ratio: " << ratio("BM_Analyze", "BM_Tokenize") << "\n";
    std::cout << "textlint/analyze ratio: " << ratio("BM_AnalyzeWithTextlint", "BM_AnalyzePrefix")
              << "\n";
    benchmark::Shutdown();
    return 0;
}
