// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/LptPortList.h"

#include "channels/UdevWatch.h"
#include "platform/OwnerDispatcher.h"

namespace plenar {

LptPortList::LptPortList(OwnerDispatcher* owner) : owner_(owner) {}

LptPortList::~LptPortList() {
  *alive_ = false;
  watch_.reset();
  auto subscribers = std::move(subscribers_);
  for (auto& [id, s] : subscribers) {
    if (s.gone) s.gone();
  }
}

void LptPortList::refresh() {
  auto listed = listParallelPorts(procRoot_);
  {
    std::lock_guard lock(mutex_);
    ports_ = std::move(listed);
    listed_ = true;
  }
  changed();
}

std::vector<LptPortEntry> LptPortList::ports() {
  {
    std::lock_guard lock(mutex_);
    if (listed_) return ports_;
  }
  auto listed = listParallelPorts(procRoot_);
  std::lock_guard lock(mutex_);
  if (!listed_) {
    ports_ = std::move(listed);
    listed_ = true;
  }
  return ports_;
}

std::optional<std::uint16_t> LptPortList::listedIoBase(int number) {
  std::lock_guard lock(mutex_);
  std::optional<std::uint16_t> base;
  for (const auto& port : ports_) {
    if (port.number == number) base = port.ioBase;
  }
  return base;
}

void LptPortList::watch() {
  if (!owner_ || watch_) return;
  // Created before the ports are listed (by the first subscriber), so that no port falls
  // between the list and the watch.
  watch_ = std::make_unique<UdevWatch>(
      std::vector<UdevWatch::Match>{{"printer", nullptr}, {"parport", nullptr}},
      [owner = owner_, alive = alive_, this](bool) {
        owner->post([alive, this] {
          if (*alive) refresh();
        });
      });
}

int LptPortList::subscribe(std::function<void()> changed, std::function<void()> gone) {
  const int id = nextSubscriber_++;
  subscribers_[id] = Subscriber{std::move(changed), std::move(gone)};
  return id;
}

void LptPortList::unsubscribe(int id) {
  subscribers_.erase(id);
}

void LptPortList::changed() {
  auto run = [this] {
    // A subscriber may unsubscribe (or rebuild) while being told.
    std::vector<std::function<void()>> calls;
    for (auto& [id, s] : subscribers_) {
      if (s.changed) calls.push_back(s.changed);
    }
    for (auto& c : calls) c();
  };
  if (owner_ && !owner_->isOwnerThread()) {
    owner_->post([alive = alive_, run] {
      if (*alive) run();
    });
    return;
  }
  run();
}

}  // namespace plenar
