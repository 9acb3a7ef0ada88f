// What the adapter costs: the same "fromJweb" request sent to the external through the
// host's method table (under the SDK's mock kernel) and to the engine's host object directly.
#include "tonalweaver_ext.cpp"  // one object per binary, as the SDK expects

#include <benchmark/benchmark.h>

namespace c74::max {
extern "C" std::vector<c74::min::atoms>* object_getoutput(void* object, int outlet);
}  // namespace c74::max

namespace {

namespace mx = c74::max;
using GimmeMethod = void (*)(mx::t_object*, mx::t_symbol*, long, mx::t_atom*);

struct Request {
  const char* name;
  const char* type;
  const char* json;
};
constexpr Request kRequests[] = {
    {"parse_chord", "parse_chord", R"({"chord":"Cm7","request_id":"bench"})"},
    {"generate_voicing", "generate_voicing", R"({"chord":"Dm9","style":"velmaro","octave":3})"},
    {"progression", "generate_progression",
     R"({"slots":[{"chord":"Dm7","style":"closed"},{"chord":"G7","style":"closed"},{"chord":"Cmaj7","style":"closed"}],"auto_voice_lead":true})"},
};

struct Surroundings {
  tw::InMemoryClipboard clipboard;
  tw::HeadlessPowerNotifications power;
  tw::ProcessWideState state;
  Surroundings() {
    tw::max_external::surroundings() = {&clipboard, &power, &state, [] { return std::string(); },
                                        tw::engineCorpusLoaders(), [] { return true; }};
    static const bool registered = [] {
      ext_main(nullptr);
      return true;
    }();
    (void)registered;
  }
};

void throughTheExternal(benchmark::State& state, const Request& request) {
  Surroundings surroundings;
  auto* maxobj = reinterpret_cast<mx::t_object*>(
      c74::min::wrapper_new<tonalweaver_ext>(mx::gensym("tonalweaver"), 0, nullptr));
  mx::t_symbol* selector = mx::gensym("fromJweb");
  const auto method = reinterpret_cast<GimmeMethod>(reinterpret_cast<void (*)()>(mx::zgetfn(maxobj, selector)));
  std::array<mx::t_atom, 2> arguments{};
  mx::atom_setsym(&arguments[0], mx::gensym(request.type));
  mx::atom_setsym(&arguments[1], mx::gensym(request.json));
  auto& log = *mx::object_getoutput(maxobj, 0);
  for (auto _ : state) {
    method(maxobj, selector, 2, arguments.data());
    if (log.size() > 1024) log.clear();  // the mock keeps every message; keep its memory flat
  }
  mx::object_free(maxobj);
}

void throughTheHostLayer(benchmark::State& state, const Request& request) {
  Surroundings surroundings;
  tw::ManualTimers timers;
  tw::TonalweaverObject object{tw::HostServices{surroundings.clipboard, timers, surroundings.power,
                                                surroundings.state, ""}};
  std::size_t bytes = 0;
  object.setOutletSink([&bytes](int, const tw::Atoms& atoms) { bytes += atoms.back().name().size(); });
  const tw::Atoms message{tw::Atom::symbol("fromJweb"), tw::Atom::symbol(request.type),
                          tw::Atom::symbol(request.json)};
  for (auto _ : state) object.receive(message);
  benchmark::DoNotOptimize(bytes);
}

[[maybe_unused]] const bool registered = [] {
  for (const auto& request : kRequests) {
    benchmark::RegisterBenchmark((std::string("external/") + request.name).c_str(), throughTheExternal, request);
    benchmark::RegisterBenchmark((std::string("hostLayer/") + request.name).c_str(), throughTheHostLayer, request);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
