// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UsbArrivals.h"

#include <algorithm>

#include "channels/UsbContext.h"
#include "channels/UsbDeviceSet.h"

namespace plenar {
namespace {

using Clock = std::chrono::steady_clock;

// A look without a hot-plug report, in case one was missed.
constexpr std::chrono::seconds kLookAnyway{1};

bool listed(const std::vector<std::string>& now, const std::string& entry) {
  return std::find(now.begin(), now.end(), entry) != now.end();
}

}  // namespace

UsbArrivals::UsbArrivals(Select select, std::chrono::milliseconds settle)
    : select_(std::move(select)), settle_(settle) {
  owner_.start();
  try {
    context_ = std::make_unique<UsbContext>(owner_, [this](bool) { changed_ = true; });
  } catch (...) {
    owner_.stop();
    throw;
  }
}

UsbArrivals::~UsbArrivals() {
  context_.reset();
  owner_.stop();
}

std::vector<std::string> UsbArrivals::look() {
  lastLook_ = Clock::now();
  UsbDeviceSet devices(context_->get());
  std::vector<std::string> entries;
  for (const auto& d : devices.devices()) entries.push_back(d.entry);
  return select_(entries);
}

bool UsbArrivals::due() {
  return changed_.exchange(false) || !settling_.empty() || Clock::now() - lastLook_ >= kLookAnyway;
}

std::vector<std::string> UsbArrivals::attachedNow() {
  std::vector<std::string> now = look();
  seen_.insert(now.begin(), now.end());
  return now;
}

std::optional<std::string> UsbArrivals::arrival() {
  if (!due()) return std::nullopt;
  const std::vector<std::string> now = look();
  // One that left is forgotten: when it comes back it is a new arrival.
  std::erase_if(seen_, [&](const std::string& e) { return !listed(now, e); });
  std::erase_if(settling_, [&](const auto& s) { return !listed(now, s.first); });
  for (const auto& entry : now) {
    if (seen_.count(entry)) continue;
    const auto since = settling_.emplace(entry, lastLook_).first->second;
    if (lastLook_ - since < settle_) continue;
    settling_.erase(entry);
    seen_.insert(entry);
    return entry;
  }
  return std::nullopt;
}

bool UsbArrivals::gone(const std::string& entry) {
  if (!due()) return false;
  if (listed(look(), entry)) return false;
  seen_.erase(entry);
  return true;
}

}  // namespace plenar
