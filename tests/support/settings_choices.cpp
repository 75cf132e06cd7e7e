#include "settings_choices.h"

namespace vintrel::testing_support {

StoredSettings Stored(std::initializer_list<std::pair<Picker, int>> chosen, std::string folder) {
  StoredSettings settings;
  for (const auto& [picker, index] : chosen) settings.pickers[picker] = index;
  settings.outputFolder = std::move(folder);
  return settings;
}

ConversionSettings Choices(std::initializer_list<std::pair<Picker, std::string_view>> chosen,
                           std::string folder) {
  ConversionSettings settings = ConversionSettingsFor(StoredSettings{});
  for (const auto& [picker, text] : chosen) settings.pickers[picker] = text;
  settings.OutputFolder = std::move(folder);
  return settings;
}

std::string IndexesText(const StoredSettings& settings) {
  std::string text;
  for (int index : settings.pickers.values) text += (text.empty() ? "" : " ") + std::to_string(index);
  return text;
}

}  // namespace vintrel::testing_support
