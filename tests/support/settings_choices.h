// Settings for tests, by picker name instead of by position; pickers not named keep their defaults.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "app/settings.h"
#include "engine/command_line.h"

namespace vintrel::testing_support {

// Stored({{Picker::FrameSize, 3}}, "/out"): indexes as setup.ini keeps them.
StoredSettings Stored(std::initializer_list<std::pair<Picker, int>> chosen, std::string folder = {});
// Choices({{Picker::FrameRate, "25.0"}}, "/out"): the texts a window or the CLI hands a batch.
ConversionSettings Choices(std::initializer_list<std::pair<Picker, std::string_view>> chosen = {},
                           std::string folder = {});
// The indexes in setup.ini's order, blank-separated: "2 2 0 1".
std::string IndexesText(const StoredSettings& settings);

}  // namespace vintrel::testing_support
