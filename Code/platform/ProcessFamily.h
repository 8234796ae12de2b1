// Which processes of a list descend from a root: shared by the process
// tables of every OS. Private to the platform's sources.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarquel::platform {

struct ProcessLink {
  std::uint32_t id = 0;
  std::uint32_t parent = 0;
};

// `root` and every process whose chain of parents reaches it. `linked`,
// when given, says whether a process really is the child of the parent it
// names (where ids are reused, an orphan may name a stranger that took its
// dead parent's id).
inline std::unordered_set<std::uint32_t> ProcessFamily(
    const std::vector<ProcessLink>& list, std::uint32_t root,
    const std::function<bool(std::uint32_t child, std::uint32_t parent)>& linked = nullptr) {
  std::unordered_map<std::uint32_t, std::uint32_t> parentOf;
  for (const auto& p : list) parentOf.emplace(p.id, p.parent);
  std::unordered_set<std::uint32_t> family{root};
  for (const auto& p : list) {
    // Walks up until a known member, the root of the tree or a loop.
    std::vector<std::uint32_t> chain;
    std::uint32_t at = p.id;
    bool member = false;
    for (std::size_t steps = 0; steps <= list.size(); ++steps) {
      if (family.contains(at)) {
        member = true;
        break;
      }
      chain.push_back(at);
      const auto up = parentOf.find(at);
      if (up == parentOf.end() || up->second == 0 || up->second == at) break;
      if (linked && !linked(at, up->second)) break;
      at = up->second;
    }
    if (member) family.insert(chain.begin(), chain.end());
  }
  return family;
}

}  // namespace tarquel::platform
