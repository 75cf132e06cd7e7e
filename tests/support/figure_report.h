#pragma once

#include <string>
#include <vector>

namespace vintrel::testing_support {

// Lines of figures that the test program prints, and saves as <build folder>/fileName, when it
// ends. One report per test program: the first call names its file.
std::vector<std::string>& ReportedFigures(const std::string& fileName);

}  // namespace vintrel::testing_support
