// Requests end to end through the host object: a host message in, the serialised reply out
// of the outlet.
#include <benchmark/benchmark.h>

#include "host/tonalweaver_object.hpp"

namespace {

struct Host {
  tw::InMemoryClipboard clipboard;
  tw::ManualTimers timers;
  tw::HeadlessPowerNotifications power;
  tw::ProcessWideState state;
  tw::TonalweaverObject object{tw::HostServices{clipboard, timers, power, state, ""}};
  std::size_t bytesOut = 0;
  std::size_t messagesOut = 0;
  Host() {
    object.setOutletSink([this](int, const tw::Atoms& atoms) {
      ++messagesOut;
      bytesOut += atoms.back().name().size();
    });
  }
};

void parseChordRequest(benchmark::State& state) {
  Host host;
  const tw::Atoms message{tw::Atom::symbol("fromJweb"), tw::Atom::symbol("parse_chord"),
                          tw::Atom::symbol(R"({"chord":"Cm7","request_id":"bench"})")};
  for (auto _ : state) host.object.receive(message);
  benchmark::DoNotOptimize(host.bytesOut);
  state.counters["reply_bytes"] = static_cast<double>(host.bytesOut) / static_cast<double>(state.iterations());
}
BENCHMARK(parseChordRequest);

void parseChordRequestVaried(benchmark::State& state) {
  Host host;
  const std::vector<tw::Atoms> messages{
      {tw::Atom::symbol("parse_chord"), tw::Atom::symbol(R"({"chord":"F#m7b5/C"})")},
      {tw::Atom::symbol("parse_chord"), tw::Atom::symbol(R"({"chord":"Bb13#11"})")},
      {tw::Atom::symbol("parse_chord"), tw::Atom::symbol(R"({"chord":"Ebmaj9"})")},
      {tw::Atom::symbol(R"({"type":"parse_chord","payload":{"chord":"G7alt"},"request_id":"x"})")}};
  std::size_t next = 0;
  for (auto _ : state) {
    host.object.receive(messages[next]);
    next = (next + 1) % messages.size();
  }
  benchmark::DoNotOptimize(host.bytesOut);
}
BENCHMARK(parseChordRequestVaried);

void supportedQualitiesRequest(benchmark::State& state) {
  Host host;
  const tw::Atoms message{tw::Atom::symbol("fromJweb"), tw::Atom::symbol("get_supported_qualities"),
                          tw::Atom::symbol("{}")};
  for (auto _ : state) host.object.receive(message);
  benchmark::DoNotOptimize(host.bytesOut);
  state.counters["pieces"] = static_cast<double>(host.messagesOut) / static_cast<double>(state.iterations());
  state.counters["bytes"] = static_cast<double>(host.bytesOut) / static_cast<double>(state.iterations());
}
BENCHMARK(supportedQualitiesRequest)->Unit(benchmark::kMicrosecond);

void versionRequest(benchmark::State& state) {
  Host host;
  const tw::Atoms message{tw::Atom::symbol("get_version")};
  for (auto _ : state) host.object.receive(message);
  benchmark::DoNotOptimize(host.bytesOut);
}
BENCHMARK(versionRequest);

}  // namespace

BENCHMARK_MAIN();
