// What the terminal says of the level a batch's outputs declare and of their size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/command_line.h"
#include "levels/phone_levels.h"

namespace vintrel::cli {

// The level the encoder gives files of these settings; none when no level admits them.
std::optional<levels::Level> LevelOfSettings(const ConversionSettings& settings);

// "H.263 Profile 0 Level 45"; past the table, the codec and "beyond" its highest level.
std::string LevelText(const ConversionSettings& settings);

// "1.2 MB", "850 kB": decimal units, as phones and cards count.
std::string SizeText(std::uintmax_t bytes);

// "H.263 Profile 0 Level 10, about 0.9 MB per minute": the settings' bitrates over a minute.
std::string DryRunLevelLine(const ConversionSettings& settings);

}  // namespace vintrel::cli
