// The standard codec's speed: bulk typed lists against a plain memcpy of the same bytes measured
// in the same run, and the "start" call the Dart side sends with a tunnel configuration.
//
// glibc hands blocks of 1 MiB back to the kernel on every free by default, so each round would
// pay for faulting fresh pages in, which measures the kernel rather than the codec. The program
// therefore keeps freed memory in the process; pass --fresh_pages to measure with glibc's defaults.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_call.h"
#include "flutter_glue/method_result.h"
#include "flutter_glue/standard_method_codec.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr std::size_t kListBytes = 1 << 20;

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

// Looks at the decoded value in place, as a channel handler does, without copying it.
class InspectingResult : public flutter::MethodResult<> {
 protected:
  void SuccessInternal(const EncodableValue* result) override { benchmark::DoNotOptimize(result); }
  void ErrorInternal(const std::string&, const std::string&, const EncodableValue*) override {}
  void NotImplementedInternal() override {}
};

EncodableValue DoubleList() {
  std::vector<double> list(kListBytes / sizeof(double));
  for (std::size_t i = 0; i < list.size(); ++i) list[i] = static_cast<double>(i) * 0.5;
  return EncodableValue(std::move(list));
}

EncodableValue ByteList() {
  std::vector<std::uint8_t> list(kListBytes);
  for (std::size_t i = 0; i < list.size(); ++i) list[i] = static_cast<std::uint8_t>(i * 31);
  return EncodableValue(std::move(list));
}

void Memcpy1MiB(benchmark::State& state) {
  const std::vector<std::uint8_t> source = std::get<std::vector<std::uint8_t>>(ByteList());
  std::vector<std::uint8_t> destination(kListBytes);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), kListBytes);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kListBytes));
}

template <EncodableValue (*Make)()>
void Encode(benchmark::State& state) {
  const EncodableValue value = Make();
  for (auto _ : state) {
    auto envelope = Codec().EncodeSuccessEnvelope(&value);
    benchmark::DoNotOptimize(envelope->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kListBytes));
}

template <EncodableValue (*Make)()>
void Decode(benchmark::State& state) {
  const EncodableValue value = Make();
  const auto envelope = Codec().EncodeSuccessEnvelope(&value);
  InspectingResult result;
  for (auto _ : state) {
    Codec().DecodeAndProcessResponseEnvelope(envelope->data(), envelope->size(), &result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kListBytes));
}

template <EncodableValue (*Make)()>
void EncodeAndDecode(benchmark::State& state) {
  const EncodableValue value = Make();
  InspectingResult result;
  for (auto _ : state) {
    const auto envelope = Codec().EncodeSuccessEnvelope(&value);
    Codec().DecodeAndProcessResponseEnvelope(envelope->data(), envelope->size(), &result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kListBytes));
}

// A WireGuard configuration of about 2 KiB, as the Dart side sends it with "start".
std::string TwoKiBConfig() {
  std::string config =
      "[Interface]\nPrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\n"
      "Address = 10.64.0.2/32, fd00:64::2/128\nDNS = 10.64.0.1\nMTU = 1420\n";
  for (int peer = 0; config.size() < 2048 - 200; ++peer) {
    config +=
        "\n[Peer]\nPublicKey = xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=\n"
        "AllowedIPs = 0.0.0.0/0, ::/0\nEndpoint = vpn" +
        std::to_string(peer) + ".example.net:51820\nPersistentKeepalive = 25\n";
  }
  config.resize(2048, '#');
  return config;
}

void StartCall(benchmark::State& state) {
  const flutter::MethodCall<> call(
      "start", std::make_unique<EncodableValue>(
                   EncodableMap{{EncodableValue("config"), EncodableValue(TwoKiBConfig())}}));
  for (auto _ : state) {
    const auto encoded = Codec().EncodeMethodCall(call);
    const auto decoded = Codec().DecodeMethodCall(encoded->data(), encoded->size());
    benchmark::DoNotOptimize(decoded->arguments());
  }
}

BENCHMARK(Memcpy1MiB);
BENCHMARK(EncodeAndDecode<DoubleList>)->Name("DoubleList1MiB/EncodeAndDecode");
BENCHMARK(EncodeAndDecode<ByteList>)->Name("ByteList1MiB/EncodeAndDecode");
BENCHMARK(Encode<DoubleList>)->Name("DoubleList1MiB/Encode");
BENCHMARK(Decode<DoubleList>)->Name("DoubleList1MiB/Decode");
BENCHMARK(Encode<ByteList>)->Name("ByteList1MiB/Encode");
BENCHMARK(Decode<ByteList>)->Name("ByteList1MiB/Decode");
BENCHMARK(StartCall)->Name("StartCall2KiB/EncodeAndDecode")->Unit(benchmark::kNanosecond);

// Prints the usual table, then each 1 MiB figure as a ratio to the memcpy of the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes == run.counters.end()) continue;
      throughput_[run.benchmark_name()] = bytes->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto memcpy_run = throughput_.find("Memcpy1MiB");
    if (memcpy_run == throughput_.end()) return;
    std::printf("\nThroughput against memcpy of 1 MiB (%.2f GB/s):\n", memcpy_run->second / 1e9);
    for (const auto& [name, bytes_per_second] : throughput_) {
      if (name == memcpy_run->first) continue;
      std::printf("  %-32s %7.2f GB/s  ratio %.3f\n", name.c_str(), bytes_per_second / 1e9,
                  bytes_per_second / memcpy_run->second);
    }
  }

 private:
  std::map<std::string, double> throughput_;
};

}  // namespace

int main(int argc, char** argv) {
  bool fresh_pages = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh_pages") == 0) {
      fresh_pages = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (!fresh_pages) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
