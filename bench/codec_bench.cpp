// The standard codec's speed on 1 MiB typed lists, written and read back, also as a share of a
// plain memcpy's throughput measured in the same run ("of_memcpy").
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstring>

#include "flutter_glue/byte_streams.h"
#include "flutter_glue/standard_codec_serializer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBytes = 1 << 20;
double memcpy_bytes_per_second = 0;

template <typename List>
void WriteAndRead(benchmark::State& state) {
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();
  const flutter::EncodableValue value = List(kBytes / sizeof(typename List::value_type), 1);
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    std::vector<std::uint8_t> bytes;
    flutter::ByteBufferStreamWriter writer(&bytes);
    serializer.WriteValue(value, &writer);
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(serializer.ReadValue(&reader));
  }
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
  state.counters["of_memcpy"] =
      state.iterations() * kBytes / elapsed.count() / memcpy_bytes_per_second;
}

BENCHMARK(WriteAndRead<std::vector<double>>)->Name("DoubleList1MiB");
BENCHMARK(WriteAndRead<std::vector<std::uint8_t>>)->Name("ByteList1MiB");

double MemcpyBytesPerSecond() {
  const std::vector<std::uint8_t> source(kBytes, 7);
  std::vector<std::uint8_t> destination(kBytes);
  const Clock::time_point start = Clock::now();
  for (int round = 0; round < 2000; ++round) {
    std::memcpy(destination.data(), source.data(), kBytes);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  return 2000 * kBytes / elapsed.count();
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
