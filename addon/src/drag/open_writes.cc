#include "drag/open_writes.h"

#include "drag/drag_session.h"

namespace kestrovan {

void OpenWrites::open(const std::string& token, OpenWrite write) {
  writes_[token] = std::move(write);
}

std::shared_ptr<FilePromiseDragSession> OpenWrites::sessionOf(const std::string& token) const {
  auto entry = writes_.find(token);
  if (entry == writes_.end()) return nullptr;
  std::shared_ptr<FilePromiseDragSession> session = entry->second.session.lock();
  if (!session || !session->inActiveSessions()) return nullptr;
  return session;
}

port::Progress* OpenWrites::progressOf(const std::string& token,
                                       const FilePromiseDragSession* opener) const {
  auto entry = writes_.find(token);
  if (entry == writes_.end() || entry->second.opener != opener) return nullptr;
  return entry->second.progress.get();
}

std::optional<OpenWrite> OpenWrites::close(const std::string& token,
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

bool completeOpenWrite(const std::string& token, const std::optional<std::string>& errorMessage) {
  // Found first, then called: completing calls out (to the drop target's
  // handler), and the lookup is over by then.
  std::shared_ptr<FilePromiseDragSession> session = openWrites().sessionOf(token);
  if (!session) return false;
  session->completeToken(token, errorMessage);
  return true;
}

bool updateOpenWriteProgress(const std::string& token, double fractionCompleted) {
  std::shared_ptr<FilePromiseDragSession> session = openWrites().sessionOf(token);
  if (!session) return false;
  // A NaN fraction is ignored, yet the write is open: still true.
  session->updateProgress(token, fractionCompleted);
  return true;
}

}  // namespace kestrovan
