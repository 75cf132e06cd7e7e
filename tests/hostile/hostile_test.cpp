// Every hostile input through vintrel-cli (one batch) and through the encoder (one run each):
// nothing crashes or trips a sanitizer, every failure says why, nothing partial is left, and
// every source stays byte for byte as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "engine/command_line.h"
#include "hostile_cases.h"

namespace vintrel::hostile {
namespace {

struct Route {
  bool converted = false;
  bool crashed = false;
  bool sanitizerReport = false;
  std::string reason;  // empty when converted
  std::string output;
  bool hung = false;
  double seconds = 0;
  long peakRssKb = 0;
  double outputSeconds = 0;  // of a converted runaway case
};

// Whatever the input, the encoder stays within this.
constexpr long kMemoryGoalKb = 400 * 1024;

struct Tally {
  int tried = 0, converted = 0, failedWithReason = 0, crashes = 0, sanitizerReports = 0;
  int unexpected = 0, sourcesChanged = 0, partialFiles = 0;
  double seconds = 0;
};

std::string LastLine(const std::string& text) {
  std::istringstream in(text);
  std::string last;
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
  }
  return last;
}

bool Matches(Outcome expected, bool converted) {
  return expected == Outcome::Either || (expected == Outcome::Converts) == converted;
}

class HostileInputs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    permissionsBind_ = MakePermissionsBind();
    box_ = new Sandbox("hostile");
    folders_ = {box_->Make("work"), box_->Make("sources"), box_->Make("out-cli")};
    encoderOut_ = box_->Make("out-enc");
    cases_ = MakeHostileCases(folders_, permissionsBind_);
    if (::testing::Test::HasFatalFailure()) return;
    sourcesBefore_ = ListTree(folders_.sources);
    cliOutBefore_ = ListTree(folders_.cliOut);
    for (const HostileCase& c : cases_) before_.push_back(FingerprintOf(SourcePath(c)));
    RunCli();
    RunEncoder();
  }

  static void TearDownTestSuite() {
    PrintTable();
    delete box_;
    box_ = nullptr;
  }

  static fs::path SourcePath(const HostileCase& c) {
    const fs::path source(c.source);
    return source.is_absolute() ? source : folders_.sources / source;
  }
  static std::string CliOutput(const HostileCase& c) {
    return (folders_.cliOut / (BaseNameFromPath(c.source) + ".3gp")).string();
  }
  static std::string EncoderOutput(const HostileCase& c) {
    return c.encoderOutput.empty() ? (encoderOut_ / (c.id + ".3gp")).string() : c.encoderOutput;
  }

  static void RunCli() {
    std::vector<std::string> argv{box_->Cli().string(), "--output", folders_.cliOut.string(), "--"};
    for (const HostileCase& c : cases_) argv.push_back(c.source);
    const auto start = std::chrono::steady_clock::now();
    cliRun_ = RunProgram(argv, Within(1500, folders_.sources));
    cli_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t failedList = cliRun_.out.find("\nFailed:\n");
    for (const HostileCase& c : cases_) {
      Route route;
      route.output = CliOutput(c);
      const std::string entry = "\n  " + c.source + ": ";
      const std::size_t at =
          failedList == std::string::npos ? failedList : cliRun_.out.find(entry, failedList);
      if (at == std::string::npos) {
        route.converted = true;
      } else {
        const std::size_t from = at + entry.size();
        route.reason = cliRun_.out.substr(from, cliRun_.out.find('\n', from) - from);
      }
      route.crashed = route.reason.find("by signal") != std::string::npos || cliRun_.Crashed();
      route.sanitizerReport = HasSanitizerReport(route.reason);
      cliRoutes_.push_back(route);
    }
  }

  static void RunEncoder() {
    const auto start = std::chrono::steady_clock::now();
    for (const HostileCase& c : cases_) {
      Route route;
      route.output = EncoderOutput(c);
      const auto started = std::chrono::steady_clock::now();
      // A runaway that is not stopped holds a frame or decodes a picture bomb for minutes at least.
      const RunResult run = RunProgram(EncoderArgs(box_->Encoder(), c.source, route.output),
                                       Within(c.runaway ? 60 : 300, folders_.sources));
      route.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      route.peakRssKb = run.peakRssKb;
      route.hung = run.timedOut;
      route.converted = run.exitCode == 0;
      if (route.converted && c.runaway) ProbeClip(route.output, &route.outputSeconds);
      route.crashed = run.Crashed();
      route.sanitizerReport = HasSanitizerReport(run.out + run.err);
      if (!route.converted) route.reason = LastLine(run.err);
      encoderRoutes_.push_back(route);
    }
    encoder_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  static void PrintTable();

  static inline bool permissionsBind_ = false;
  static inline Sandbox* box_ = nullptr;
  static inline CaseFolders folders_;
  static inline fs::path encoderOut_;
  static inline std::vector<HostileCase> cases_;
  static inline std::vector<Fingerprint> before_;
  static inline std::vector<std::string> sourcesBefore_, cliOutBefore_;
  static inline RunResult cliRun_;
  static inline std::vector<Route> cliRoutes_, encoderRoutes_;
  static inline Tally cli_, encoder_;
};

TEST_F(HostileInputs, ThereAreEnoughCasesWithDistinctOutputs) {
  EXPECT_GE(cases_.size(), 100u);
  std::set<std::string> outputs;
  for (const HostileCase& c : cases_)
    EXPECT_TRUE(outputs.insert(CliOutput(c)).second) << c.id << " " << c.source;
  if (!permissionsBind_)
    std::printf("permission bits do not bind here: the unreadable-file case is left out\n");
}

TEST_F(HostileInputs, NothingCrashesOrTripsASanitizer) {
  EXPECT_FALSE(cliRun_.Crashed()) << "vintrel-cli: signal " << cliRun_.signal
                                  << (cliRun_.timedOut ? ", timed out" : "");
  EXPECT_FALSE(HasSanitizerReport(cliRun_.out + cliRun_.err)) << cliRun_.err;
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    const Route& cli = cliRoutes_[i];
    const Route& enc = encoderRoutes_[i];
    cli_.crashes += cli.crashed;
    cli_.sanitizerReports += cli.sanitizerReport;
    encoder_.crashes += enc.crashed;
    encoder_.sanitizerReports += enc.sanitizerReport;
    EXPECT_FALSE(cli.crashed || cli.sanitizerReport) << cases_[i].id << " via vintrel-cli: " << cli.reason;
    EXPECT_FALSE(enc.crashed || enc.sanitizerReport) << cases_[i].id << " via the encoder: " << enc.reason;
  }
}

TEST_F(HostileInputs, EveryFailureIsReportedWithAReason) {
  int failures = 0;
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    for (auto [route, tally, name] : {std::tuple{&cliRoutes_[i], &cli_, "vintrel-cli"},
                                      std::tuple{&encoderRoutes_[i], &encoder_, "the encoder"}}) {
      ++tally->tried;
      if (route->converted) {
        ++tally->converted;
        continue;
      }
      ++failures;
      const bool saysWhy =
          route->reason.size() > 8 && (tally == &cli_ || route->reason.starts_with("Error: "));
      tally->failedWithReason += saysWhy;
      EXPECT_TRUE(saysWhy) << cases_[i].id << " via " << name << ": reason \"" << route->reason << "\"";
    }
  }
  // The CLI's exit status owns up to the failures.
  EXPECT_EQ(cliRun_.exitCode, cli_.converted == cli_.tried ? 0 : 1);
  EXPECT_GT(failures, 0);
}

TEST_F(HostileInputs, OutcomesAreTheExpectedOnes) {
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    const HostileCase& c = cases_[i];
    const bool cliOk = Matches(c.cli, cliRoutes_[i].converted);
    const bool encOk = Matches(c.encoder, encoderRoutes_[i].converted);
    cli_.unexpected += !cliOk;
    encoder_.unexpected += !encOk;
    EXPECT_TRUE(cliOk) << c.id << " via vintrel-cli: "
                       << (cliRoutes_[i].converted ? "converted" : cliRoutes_[i].reason);
    EXPECT_TRUE(encOk) << c.id << " via the encoder: "
                       << (encoderRoutes_[i].converted ? "converted" : encoderRoutes_[i].reason);
  }
}

TEST_F(HostileInputs, OutputsAreCompleteAndNothingPartialIsLeft) {
  std::set<std::string> cliExpected(cliOutBefore_.begin(), cliOutBefore_.end());
  std::set<std::string> encoderExpected;
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    for (const Route* route : {&cliRoutes_[i], &encoderRoutes_[i]}) {
      if (!route->converted) continue;
      const fs::path output(route->output);
      (route == &cliRoutes_[i] ? cliExpected : encoderExpected).insert(output.filename().string());
      const std::string head = ReadFile(output).substr(0, 11);
      EXPECT_TRUE(head.size() == 11 && head.substr(4, 7) == "ftyp3gp") << cases_[i].id << ": " << output;
      EXPECT_TRUE(ProbeClip(output)) << cases_[i].id << ": " << output << " does not read back";
    }
  }
  for (auto [folder, expected, tally] : {std::tuple{folders_.cliOut, &cliExpected, &cli_},
                                         std::tuple{encoderOut_, &encoderExpected, &encoder_}}) {
    for (const std::string& entry : ListTree(folder)) {
      if (expected->count(entry)) continue;
      ++tally->partialFiles;
      ADD_FAILURE() << "left behind: " << folder / entry;
    }
  }
}

TEST_F(HostileInputs, SourcesStayByteIdentical) {
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    const bool same = FingerprintOf(SourcePath(cases_[i])) == before_[i];
    cli_.sourcesChanged += !same;
    EXPECT_TRUE(same) << cases_[i].id << ": " << cases_[i].source;
  }
  // Nothing new beside the sources either (a name must never run as a command).
  EXPECT_EQ(ListTree(folders_.sources), sourcesBefore_);
}

TEST_F(HostileInputs, RunawaysStayShortAndWithinTheMemoryGoal) {
  // One that does not end in time is a crash above: its time limit is shorter.
  int runaways = 0;
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    const HostileCase& c = cases_[i];
    const Route& run = encoderRoutes_[i];
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's own memory would be counted too
    EXPECT_LE(run.peakRssKb, kMemoryGoalKb) << c.id << ": " << c.source;
#endif
    runaways += c.runaway;
    if (c.runaway && run.converted) {
      EXPECT_LE(run.outputSeconds, c.longestOutput) << c.id << ": " << c.source;
    }
  }
  EXPECT_GE(runaways, 5);
}

void HostileInputs::PrintTable() {
  std::ostringstream table;
  table << "route        cases  converted  failed-with-reason  unexpected  crashes  sanitizer  partial-left  "
           "seconds\n";
  for (auto [name, t] : {std::pair{"vintrel-cli", &cli_}, std::pair{"encoder", &encoder_}}) {
    char line[160];
    std::snprintf(line, sizeof line, "%-12s %5d  %9d  %18d  %10d  %7d  %9d  %12d  %7.1f\n", name, t->tried,
                  t->converted, t->failedWithReason, t->unexpected, t->crashes, t->sanitizerReports,
                  t->partialFiles, t->seconds);
    table << line;
  }
  table << "sources changed: " << cli_.sourcesChanged << " of " << cases_.size() << "\n";
  // Leftovers of these are counted with all the others in partial-left above.
  table << "\nrunaway case                         encoder     seconds  peak-RSS-MB  output-s  hung\n";
  std::size_t peak = 0;
  for (std::size_t i = 0; i < cases_.size() && i < encoderRoutes_.size(); ++i) {
    const Route& run = encoderRoutes_[i];
    if (run.peakRssKb > encoderRoutes_[peak].peakRssKb) peak = i;
    char line[200];
    std::snprintf(line, sizeof line, "%-36s %-10s %7.1f  %11.0f  %8.2f  %4d\n",
                  fs::path(cases_[i].source).filename().c_str(), run.converted ? "converted" : "failed",
                  run.seconds, run.peakRssKb / 1024.0, run.outputSeconds, run.hung);
    if (cases_[i].runaway) table << line;
  }
  if (!encoderRoutes_.empty()) {
    table << "peak RSS of any encoder run: " << encoderRoutes_[peak].peakRssKb / 1024 << " MB ("
          << fs::path(cases_[peak].source).filename().string() << "), goal " << kMemoryGoalKb / 1024
          << " MB\n";
  }
  std::printf("\n%s", table.str().c_str());
  WriteFile(fs::path(VINTREL_REPORT_DIR) / "hostile-report.txt", table.str());

  // Case by case, for whoever reads why a number moved.
  std::ostringstream detail;
  for (std::size_t i = 0; i < cases_.size() && i < cliRoutes_.size() && i < encoderRoutes_.size(); ++i) {
    std::string shown = cases_[i].source.substr(cases_[i].source.rfind('/') + 1).substr(0, 60);
    for (char& ch : shown) ch = (ch == '\n' || ch == '\t' || ch == '\r') ? '?' : ch;
    detail << cases_[i].id << "  " << shown
           << "\n    cli: " << (cliRoutes_[i].converted ? "converted" : cliRoutes_[i].reason)
           << "\n    encoder: " << (encoderRoutes_[i].converted ? "converted" : encoderRoutes_[i].reason)
           << "\n";
  }
  WriteFile(fs::path(VINTREL_REPORT_DIR) / "hostile-cases.txt", detail.str());
}

}  // namespace
}  // namespace vintrel::hostile
