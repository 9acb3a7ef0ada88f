// `tonalweaver host` over a pipe, as another program drives it: a batch of "parse_chord"
// lines written as fast as the pipe takes them (throughput, process start included), and
// one line at a time, each written only after the previous reply arrived (round trip).
#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kSymbols[] = {"Cm7",   "F7",     "Bbmaj7", "Ebmaj7", "Am7b5", "D7b9",  "Gm6",
                                "C13#11", "F#o7",  "Bb7sus4", "A7#5#9", "Dbmaj9", "E/G#", "G7alt",
                                "Fm(maj7)", "Cadd9", "Ab6/9", "Bø7",   "D+",     "Esus2"};

std::string parseChordLine(const char* symbol) {
  return std::string(R"(["fromJweb","parse_chord","{\"chord\":\")") + symbol + R"(\"}"])" + "\n";
}

// One host process with both ends of its standard streams in our hands.
class HostProcess {
 public:
  HostProcess() {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[0]);
      close(in[1]);
      close(out[0]);
      close(out[1]);
      // Another build's command can be measured with TONALWEAVER_BINARY=path.
      const char* binary = std::getenv("TONALWEAVER_BINARY");
      if (!binary) binary = TONALWEAVER_BINARY;
      execl(binary, binary, "host", "--clipboard", "memory", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toHost_ = in[1];
    fromHost_ = out[0];
  }
  ~HostProcess() {
    closeInput();
    if (fromHost_ >= 0) close(fromHost_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

  void write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(toHost_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("write to host failed");
      done += static_cast<std::size_t>(n);
    }
  }
  void closeInput() {
    if (toHost_ >= 0) close(toHost_);
    toHost_ = -1;
  }
  // Reads until `lines` newlines have arrived (or end of output); returns how many did.
  std::size_t readLines(std::size_t lines) {
    std::size_t seen = 0;
    char buffer[1 << 16];
    while (seen < lines) {
      const ssize_t n = ::read(fromHost_, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t i = 0; i < n; ++i) seen += buffer[i] == '\n';
    }
    return seen;
  }

 private:
  pid_t pid_ = -1;
  int toHost_ = -1;
  int fromHost_ = -1;
};

void BM_HostPipeParseChordBatch(benchmark::State& state) {
  signal(SIGPIPE, SIG_IGN);
  const auto lines = static_cast<std::size_t>(state.range(0));
  std::string input;
  for (std::size_t i = 0; i < lines; ++i) input += parseChordLine(kSymbols[i % std::size(kSymbols)]);
  std::size_t answered = 0;
  for (auto _ : state) {
    HostProcess host;
    std::thread writer([&] {
      host.write(input);
      host.closeInput();
    });
    answered = host.readLines(lines);
    writer.join();
  }
  if (answered != lines) state.SkipWithError("the host did not answer every line");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
}
BENCHMARK(BM_HostPipeParseChordBatch)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HostPipeRoundTrip(benchmark::State& state) {
  signal(SIGPIPE, SIG_IGN);
  HostProcess host;
  std::size_t i = 0;
  for (auto _ : state) {
    host.write(parseChordLine(kSymbols[i++ % std::size(kSymbols)]));
    if (host.readLines(1) != 1) {
      state.SkipWithError("no reply");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_HostPipeRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
