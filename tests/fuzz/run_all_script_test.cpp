// fuzz/run-all as a person runs it, with stand-ins for the compiler, CMake and the fuzz
// targets so that it finishes in a moment: where it looks for the targets, where it writes,
// and whether its exit status tells the truth.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = TONALWEAVER_SOURCE_DIR;

void writeScript(const fs::path& path, const std::string& body) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n" << body;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
}

struct ScriptRun {
  int status = -1;
  std::string out;
};

class FuzzRunAll : public testing::Test {
 protected:
  void SetUp() override {
    scratch_ = fs::temp_directory_path() / ("tw-fuzz-run-all-" + std::to_string(getpid()));
    fs::remove_all(scratch_);
    // The build itself is not under test: these stand in for the compiler and CMake.
    writeScript(scratch_ / "bin" / "clang++", "exit 0\n");
    writeScript(scratch_ / "bin" / "cmake", "exit 0\n");
  }
  void TearDown() override { fs::remove_all(scratch_); }

  // A target that fuzzes: libFuzzer's fork-mode progress line, then its final one.
  void workingTarget(const fs::path& build, const std::string& name) {
    writeScript(build / "fuzz" / ("fuzz_" + name),
                "echo '#512: cov: 40 ft: 90 corp: 12 exec/s: 512 oom/timeout/crash: 0/0/0 time: 1s job: 1 dft_time: 0'\n"
                "echo '#1024: cov: 41 ft: 95 corp: 13 exec/s: 512 oom/timeout/crash: 0/0/0 time: 2s job: 2 dft_time: 0'\n");
  }

  ScriptRun runAll(const std::string& buildSetting, const std::vector<std::string>& targets) {
    std::string command = "cd '" + kCheckout.string() + "' && PATH='" + (scratch_ / "bin").string() +
                          "':\"$PATH\" TONALWEAVER_FUZZ_BUILD='" + buildSetting + "' fuzz/run-all 1";
    for (const auto& t : targets) command += " " + t;
    command += " 2>&1";
    ScriptRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
      const int raw = pclose(pipe);
      run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return run;
  }

  fs::path scratch_;
};

TEST_F(FuzzRunAll, AbsoluteAndRelativeBuildFoldersBothFindTheirTargets) {
  const fs::path build = scratch_ / "build";
  workingTarget(build, "chord_symbol");
  workingTarget(build, "request");
  const std::string relative = fs::relative(build, kCheckout).string();
  for (const std::string& setting : {build.string(), relative}) {
    const ScriptRun run = runAll(setting, {"chord_symbol", "request"});
    EXPECT_EQ(run.status, 0) << setting << "\n" << run.out;
    EXPECT_NE(run.out.find("chord_symbol           1024"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("request                1024"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(build / "fuzz-work" / "logs" / "request.log")) << setting;
  }
  // Nothing is written into a copy of the folder's path inside the checkout.
  EXPECT_FALSE(fs::exists(kCheckout / build.relative_path()));
}

TEST_F(FuzzRunAll, ATargetThatDoesNotStartOrRunsNothingFailsTheRun) {
  const fs::path build = scratch_ / "build";
  workingTarget(build, "request");
  writeScript(build / "fuzz" / "fuzz_progression_text", "echo 'INFO: Seed: 1'\n");  // starts, runs nothing
  // fuzz_chord_symbol was never built.
  const ScriptRun run = runAll(build.string(), {"request", "chord_symbol", "progression_text"});
  EXPECT_NE(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("fuzz target chord_symbol ran no inputs"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("fuzz target progression_text ran no inputs"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("fuzz target request ran no inputs"), std::string::npos) << run.out;
}

}  // namespace
