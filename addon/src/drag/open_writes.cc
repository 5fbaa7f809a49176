#include "drag/open_writes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "drag/drag_session.h"

namespace kestrovan {

size_t OpenWrites::TokenHash::operator()(std::string_view token) const {
  uint64_t hash = 0x9E3779B97F4A7C15ULL ^ token.size();
  const auto mix = [&hash](uint64_t word) {
    hash = (hash ^ word) * 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 31;
  };
  if (token.size() >= 16) {
    // A token is a random UUID's text: its first and last eight characters
    // (64 random bits between them) tell tokens apart. Other texts are still
    // compared whole; they only share buckets.
    uint64_t first;
    uint64_t last;
    std::memcpy(&first, token.data(), 8);
    std::memcpy(&last, token.data() + token.size() - 8, 8);
    mix(first);
    mix(last);
    return static_cast<size_t>(hash);
  }
  uint64_t word = 0;
  std::memcpy(&word, token.data(), std::min<size_t>(token.size(), 8));
  mix(word);
  if (token.size() > 8) {
    word = 0;
    std::memcpy(&word, token.data() + 8, token.size() - 8);
    mix(word);
  }
  return static_cast<size_t>(hash);
}

void OpenWrites::open(const std::string& token, OpenWrite write) {
  writes_[token] = std::move(write);
}

std::shared_ptr<FilePromiseDragSession> OpenWrites::sessionOf(std::string_view token) const {
  auto entry = writes_.find(token);
  if (entry == writes_.end()) return nullptr;
  std::shared_ptr<FilePromiseDragSession> session = entry->second.session.lock();
  if (!session || !session->inActiveSessions()) return nullptr;
  return session;
}

port::Progress* OpenWrites::progressOf(std::string_view token,
                                       const FilePromiseDragSession* opener) const {
  auto entry = writes_.find(token);
  if (entry == writes_.end() || entry->second.opener != opener) return nullptr;
  return entry->second.progress.get();
}

std::optional<OpenWrite> OpenWrites::close(std::string_view token,
                                           const FilePromiseDragSession* opener) {
  auto entry = writes_.find(token);
  if (entry == writes_.end() || entry->second.opener != opener) return std::nullopt;
  OpenWrite write = std::move(entry->second);
  writes_.erase(entry);
  return write;
}

std::vector<std::pair<std::string, OpenWrite>> OpenWrites::closeAll(
    const FilePromiseDragSession* opener) {
  std::vector<std::pair<std::string, OpenWrite>> closed;
  for (auto entry = writes_.begin(); entry != writes_.end();) {
    if (entry->second.opener != opener) {
      ++entry;
      continue;
    }
    closed.emplace_back(entry->first, std::move(entry->second));
    entry = writes_.erase(entry);
  }
  std::sort(closed.begin(), closed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return closed;
}

size_t OpenWrites::countOpenedBy(const FilePromiseDragSession* opener) const {
  size_t count = 0;
  for (const auto& [token, write] : writes_) {
    if (write.opener == opener) ++count;
  }
  return count;
}

OpenWrites& openWrites() {
  static auto* writes = new OpenWrites();
  return *writes;
}

bool completeOpenWrite(std::string_view token, const std::optional<std::string>& errorMessage) {
  // Found first, then called: completing calls out (to the drop target's
  // handler), and the lookup is over by then.
  std::shared_ptr<FilePromiseDragSession> session = openWrites().sessionOf(token);
  if (!session) return false;
  session->completeToken(token, errorMessage);
  return true;
}

bool updateOpenWriteProgress(std::string_view token, double fractionCompleted) {
  std::shared_ptr<FilePromiseDragSession> session = openWrites().sessionOf(token);
  if (!session) return false;
  // A NaN fraction is ignored, yet the write is open: still true.
  session->updateProgress(token, fractionCompleted);
  return true;
}

}  // namespace kestrovan
