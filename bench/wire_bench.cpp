// What a hostile web service can make the main loop do: parse an answer
// with very many keys, and decode a body sent in one-byte chunks. Both must
// grow linearly with the answer: the time per key (per chunk) stays about
// the same from the smallest answer to the largest, where a quadratic cost
// grows with N (it once did: 100,000 keys took 30 s, 1 MB of chunks 20 s).

#include <benchmark/benchmark.h>

#include <string>

#include "platform/linux/http_wire.hpp"
#include "shared/json.hpp"

namespace {

// Time per key or chunk ("per_item", in seconds), and the fit to O(N).
void perItem(benchmark::State& state) {
    state.SetComplexityN(state.range(0));
    state.counters["per_item"] = benchmark::Counter(
        static_cast<double>(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// {"k0":0,"k1":1,…} with `keys` members, then as many repeats of them.
std::string manyKeys(std::int64_t keys, bool repeated) {
    std::string text = "{";
    for (int pass = 0; pass < (repeated ? 2 : 1); ++pass) {
        for (std::int64_t i = 0; i < keys; ++i) {
            if (text.size() > 1)
                text += ',';
            text += "\"k" + std::to_string(i) + "\":" + std::to_string(i);
        }
    }
    return text + "}";
}

void BM_JsonDistinctKeys(benchmark::State& state) {
    const std::string text = manyKeys(state.range(0), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(mivo::json::parse(text));
    perItem(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JsonDistinctKeys)
    ->RangeMultiplier(2)
    ->Range(25'000, 200'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_JsonRepeatedKeys(benchmark::State& state) {
    const std::string text = manyKeys(state.range(0), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(mivo::json::parse(text));
    perItem(state);
}
BENCHMARK(BM_JsonRepeatedKeys)
    ->RangeMultiplier(2)
    ->Range(25'000, 200'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// `bytes` of body in chunks of one byte, all arriving in one read.
void BM_ChunkedOneByteChunks(benchmark::State& state) {
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        wire += "1\r\nx\r\n";
    wire += "0\r\n\r\n";
    for (auto _ : state) {
        mivo::linux_desktop::HttpResponseReader reader(false);
        benchmark::DoNotOptimize(reader.feed(wire));
    }
    perItem(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wire.size()));
}
BENCHMARK(BM_ChunkedOneByteChunks)
    ->RangeMultiplier(2)
    ->Range(256 * 1024, 4 * 1024 * 1024)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
