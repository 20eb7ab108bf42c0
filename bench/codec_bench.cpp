// The standard codec's speed: 1 MiB typed lists encoded and decoded, as a share of a plain memcpy's
// speed measured in the same run ("of_memcpy"), and the "start" call with a 2 KiB configuration.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstring>

#include "flutter_glue/standard_method_codec.h"

namespace {

using flutter::EncodableValue;

constexpr std::size_t kBytes = 1 << 20;
double memcpy_bytes_per_second = 0;

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

// Looks at the decoded value in place, as a channel handler does.
struct InspectingResult : flutter::MethodResult<> {
  void SuccessInternal(const EncodableValue* value) override { benchmark::DoNotOptimize(value); }
  void ErrorInternal(const std::string&, const std::string&, const EncodableValue*) override {}
  void NotImplementedInternal() override {}
};

template <typename List>
void EncodeAndDecode(benchmark::State& state) {
  const EncodableValue value = List(kBytes / sizeof(typename List::value_type), 1);
  InspectingResult result;
  for (auto _ : state) {
    const auto envelope = Codec().EncodeSuccessEnvelope(&value);
    Codec().DecodeAndProcessResponseEnvelope(envelope->data(), envelope->size(), &result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
  state.counters["of_memcpy"] = benchmark::Counter(kBytes / memcpy_bytes_per_second,
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

void StartCall(benchmark::State& state) {
  const flutter::MethodCall<> call("start", std::make_unique<EncodableValue>(flutter::EncodableMap{
      {EncodableValue("config"), EncodableValue(std::string(2048, 'k'))}}));
  for (auto _ : state) {
    const auto bytes = Codec().EncodeMethodCall(call);
    benchmark::DoNotOptimize(Codec().DecodeMethodCall(bytes->data(), bytes->size()));
  }
}

BENCHMARK(EncodeAndDecode<std::vector<double>>)->Name("DoubleList1MiB");
BENCHMARK(EncodeAndDecode<std::vector<std::uint8_t>>)->Name("ByteList1MiB");
BENCHMARK(StartCall)->Name("StartCall2KiB");

double MemcpyBytesPerSecond() {
  const std::vector<std::uint8_t> source(kBytes, 7);
  std::vector<std::uint8_t> destination(kBytes);
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < 2000; ++round) {
    std::memcpy(destination.data(), source.data(), kBytes);
    benchmark::ClobberMemory();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return 2000.0 * kBytes / elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
  // glibc hands large blocks back to the kernel on every free, so each round would measure the
  // kernel faulting fresh pages in rather than the codec; keep freed memory in the process.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  memcpy_bytes_per_second = MemcpyBytesPerSecond();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
