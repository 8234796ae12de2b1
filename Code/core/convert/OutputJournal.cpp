#include "OutputJournal.h"
#include "Utf8Paths.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

namespace tarquel {

namespace {

namespace fs = std::filesystem;

// One line a note, fields separated by tabs, the path last (it may hold
// tabs, never a line end):
//   started <owner> <seconds on the file-time clock> <path>
//   settled <owner> <path>
struct TNote {
  std::string kind, owner, path;
  std::int64_t time = 0;
};

bool ParseNote(const std::string& line, TNote& note) {
  std::istringstream in(line);
  if (!std::getline(in, note.kind, '\t') || !std::getline(in, note.owner, '\t')) return false;
  if (note.kind == "started") {
    std::string time;
    if (!std::getline(in, time, '\t')) return false;
    try {
      note.time = std::stoll(time);
    } catch (const std::exception&) {
      return false;
    }
  } else if (note.kind != "settled") {
    return false;
  }
  std::getline(in, note.path, '\n');
  return !note.path.empty() && !note.owner.empty();
}

// Times on the clock of file times, in whole seconds, so that a note and a
// file's last write compare directly.
std::int64_t Seconds(fs::file_time_type time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

std::int64_t Now() { return Seconds(fs::file_time_type::clock::now()); }

// A file written at or after `noted`, allowing for file times kept coarser
// than the clock.
bool WrittenSince(const fs::path& path, std::int64_t noted) {
  std::error_code error;
  const auto written = fs::last_write_time(path, error);
  return !error && Seconds(written) + 1 >= noted;
}

}  // namespace

void TOutputJournal::Append(const std::string& line) const {
  // The path may not hold a line end: the note would read as two.
  if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) return;
  std::ofstream out(PathOf(Path_), std::ios::app | std::ios::binary);
  out << line << '\n';
  out.flush();
}

void TOutputJournal::Started(const std::string& output) const {
  Append("started\t" + Owner_ + "\t" + std::to_string(Now()) + "\t" + output);
}

void TOutputJournal::Settled(const std::string& output) const { Append("settled\t" + Owner_ + "\t" + output); }

std::vector<std::string> TOutputJournal::RemoveUnfinished(
    const std::string& path, const std::function<bool(const std::string& owner)>& ownerAlive) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) return {};
  std::vector<std::string> kept;
  // The open notes of each owner, by output path: when it was noted.
  std::map<std::pair<std::string, std::string>, std::int64_t> open;
  std::map<std::string, bool> alive;
  std::string line;
  while (std::getline(in, line)) {
    TNote note;
    if (!ParseNote(line, note)) continue;
    auto [known, fresh] = alive.try_emplace(note.owner, false);
    if (fresh) known->second = ownerAlive(note.owner);
    if (known->second) {
      kept.push_back(line);
    } else if (note.kind == "started") {
      open[{note.owner, note.path}] = note.time;
    } else {
      open.erase({note.owner, note.path});
    }
  }
  in.close();

  std::vector<std::string> removed;
  for (const auto& [key, noted] : open) {
    const fs::path output = PathOf(key.second);
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(output, error)) || !WrittenSince(output, noted)) continue;
    if (fs::remove(output, error)) removed.push_back(key.second);
  }

  // The notes of programs still running stay; the rest are done with.
  const std::string temporary = path + ".new";
  {
    std::ofstream out(PathOf(temporary), std::ios::trunc | std::ios::binary);
    for (const std::string& note : kept) out << note << '\n';
    if (!out.flush()) return removed;
  }
  std::error_code error;
  fs::rename(PathOf(temporary), PathOf(path), error);
  return removed;
}

}  // namespace tarquel
