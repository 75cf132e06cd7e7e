#include "figure_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "temp_folder.h"

namespace vintrel::testing_support {

std::vector<std::string>& ReportedFigures(const std::string& fileName) {
  class Report : public ::testing::Environment {
   public:
    explicit Report(std::string name) : name_(std::move(name)) {}
    void TearDown() override {
      std::string text;
      for (const std::string& line : figures) text += line + "\n";
      std::printf("\n%s", text.c_str());
      WriteFile(std::filesystem::path(VINTREL_REPORT_DIR) / name_, text);
    }
    std::vector<std::string> figures;

   private:
    std::string name_;
  };
  // gtest owns and deletes the environment after the run.
  static Report* const report =
      static_cast<Report*>(::testing::AddGlobalTestEnvironment(new Report(fileName)));
  return report->figures;
}

}  // namespace vintrel::testing_support
