// A small journal of the outputs the encoders write: each output is noted
// before its encoder starts and again when its file is settled (finished,
// or removed as partial). An output noted as started by a program that is
// gone without settling it is a partial file a crash left behind; the next
// start removes it.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tarquel {

class TOutputJournal {
 public:
  // `path` is the journal file; `owner` names this running program so that
  // no other, earlier or later, has the same name.
  TOutputJournal(std::string path, std::string owner) : Path_(std::move(path)), Owner_(std::move(owner)) {}

  // Before the encoder starts on `output`, a path that was free until now.
  void Started(const std::string& output) const;
  // Once `output` is finished or removed.
  void Settled(const std::string& output) const;

  // At start-up: removes every output whose program is gone (by
  // `ownerAlive`) without settling it, when it is a regular file written
  // since it was noted; keeps the journal's lines of programs that still
  // run. Returns the removed paths.
  static std::vector<std::string> RemoveUnfinished(const std::string& path,
                                                   const std::function<bool(const std::string& owner)>& ownerAlive);

 private:
  void Append(const std::string& line) const;

  std::string Path_;
  std::string Owner_;
};

}  // namespace tarquel
