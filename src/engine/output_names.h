#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vintrel {

// Why a path cannot be passed between double quotes on the encoder's command line, or empty.
// Nothing inside the quotes is escaped, so a quote would end the argument early and a backslash
// just before the closing quote would swallow it.
std::string QuotingProblem(std::string_view path);

// Picks each output path of one batch so that no file writes over what an earlier file of the
// same batch produced, nor over a source of the batch: "holiday.3gp", then "holiday (2).3gp".
// Names with equal folds (FoldName: letter case, normal forms, compatibility forms) count as one,
// whatever the folder.
class OutputNames {
 public:
  void Clear();
  // A source of this batch: never chosen as an output.
  void ReserveSource(std::string_view path);
  // An output this batch has produced.
  void Claim(std::string_view outputPath);
  // The plain path when it is free, otherwise the first free numbered name beside it.
  std::string Choose(const std::string& plainOutputPath);
  // Whether two spellings name one place, or would once the files that links lead to exist.
  bool Same(std::string_view a, std::string_view b) const;

 private:
  std::string Key(std::string_view path) const;
  bool Taken(const std::string& path) const;

  std::unordered_set<std::string> taken_;
  // Where the search for a plain path's next free number resumes, so long runs of equal
  // names stay linear.
  std::unordered_map<std::string, int> nextNumber_;
};

}  // namespace vintrel
