// The hostile inputs: broken and odd files of every container the window offers, strange
// names and special files. All made at test time from a few short clips.
#pragma once

#include <string>
#include <vector>

#include "hostile_support.h"

namespace vintrel::hostile {

enum class Outcome { Converts, Fails, Either };

struct HostileCase {
  std::string id;
  std::string source;  // as the programs get it: absolute, or relative to the sources folder
  Outcome cli = Outcome::Either;
  Outcome encoder = Outcome::Either;
  std::string encoderOutput;  // set when the case is about the output (the source itself)
  // Runaway cases (time, memory or indirection bombs) get a row of figures each; when they
  // convert, the output may not pass this many seconds.
  bool runaway = false;
  double longestOutput = 0;
};

struct CaseFolders {
  fs::path work;     // base clips, not cases themselves
  fs::path sources;  // every case's file
  fs::path cliOut;   // the CLI's output folder (some cases plant files there)
};

// Makes every case's file. Cases whose premise the machine cannot give (an unreadable file
// when permissions do not bind) are left out. Fails the test when a base clip cannot be made.
std::vector<HostileCase> MakeHostileCases(const CaseFolders& folders, bool permissionsBind);

}  // namespace vintrel::hostile
