// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchArrivals.h"

#include <glob.h>
#include <sys/stat.h>

#include <array>
#include <tuple>

#include "platform/UdpSocket.h"
#include "shared/Frame.h"

namespace plenar {
namespace {

using Clock = std::chrono::steady_clock;


// A look is due when `every` has passed since the last one.
class Pace {
 public:
  explicit Pace(std::chrono::milliseconds every) : every_(every) {}
  bool due() {
    const auto now = Clock::now();
    if (started_ && now - last_ < every_) return false;
    started_ = true;
    last_ = now;
    return true;
  }

 private:
  std::chrono::milliseconds every_;
  Clock::time_point last_{};
  bool started_ = false;
};

class SerialGlobWatch : public ArrivalWatch {
 public:
  SerialGlobWatch(std::string pattern, LinkSnapshot rates)
      : pattern_(std::move(pattern)), rates_(std::move(rates)) {}

  std::vector<LinkSnapshot> attachedNow() override {
    std::vector<LinkSnapshot> out;
    for (const auto& [path, id] : look()) {
      seen_[path] = id;
      out.push_back(linkOf(path));
    }
    return out;
  }

  std::optional<LinkSnapshot> arrival() override {
    if (!pace_.due()) return std::nullopt;
    const auto now = look();
    // A port that went away (or was replaced) is forgotten: when it comes back it is a new one.
    for (auto it = seen_.begin(); it != seen_.end();) {
      auto found = now.find(it->first);
      it = found == now.end() || found->second != it->second ? seen_.erase(it) : std::next(it);
    }
    for (const auto& [path, id] : now) {
      if (seen_.count(path)) continue;
      seen_[path] = id;
      return linkOf(path);
    }
    return std::nullopt;
  }

  bool replaced(const LinkSnapshot& link) const override {
    auto it = seen_.find(link.serialPort);
    const auto id = identity(link.serialPort);
    return it == seen_.end() || !id || *id != it->second;
  }

  bool gone(const LinkSnapshot& link) override {
    auto it = seen_.find(link.serialPort);
    if (it == seen_.end()) return true;
    const auto id = identity(link.serialPort);
    if (id && *id == it->second) return false;
    seen_.erase(it);
    return true;
  }

 private:
  // The device behind the path (through symlinks) and the path's own inode: a port that comes
  // back with the same device number is still a new arrival when its link was made again.
  using Identity = std::tuple<dev_t, ino_t, ino_t>;
  static std::optional<Identity> identity(const std::string& path) {
    struct stat st {
    }, own{};
    if (::stat(path.c_str(), &st) != 0 || ::lstat(path.c_str(), &own) != 0) return std::nullopt;
    return Identity{S_ISCHR(st.st_mode) ? st.st_rdev : st.st_dev, st.st_ino, own.st_ino};
  }
  std::map<std::string, Identity> look() const {
    std::map<std::string, Identity> out;
    glob_t g{};
    if (::glob(pattern_.c_str(), 0, nullptr, &g) == 0) {
      for (std::size_t i = 0; i < g.gl_pathc; ++i) {
        if (auto id = identity(g.gl_pathv[i])) out[g.gl_pathv[i]] = *id;
      }
    }
    ::globfree(&g);
    return out;
  }
  LinkSnapshot linkOf(const std::string& path) const {
    LinkSnapshot l = rates_;
    l.kind = LinkKind::Serial;
    l.serialPort = path;
    return l;
  }

  std::string pattern_;
  LinkSnapshot rates_;
  std::map<std::string, Identity> seen_;
  Pace pace_{std::chrono::milliseconds(250)};
};

class FactoryAddressWatch : public ArrivalWatch {
 public:
  explicit FactoryAddressWatch(LinkSnapshot factory) : factory_(std::move(factory)) {}

  std::vector<LinkSnapshot> attachedNow() override {
    silenceSeen_ = false;
    if (answersIdentify(factory_, kWait)) return {factory_};
    silenceSeen_ = true;
    return {};
  }

  std::optional<LinkSnapshot> arrival() override {
    if (!pace_.due()) return std::nullopt;
    const bool answers = answersIdentify(factory_, kWait);
    if (!answers) {
      silenceSeen_ = true;
      return std::nullopt;
    }
    if (!silenceSeen_) return std::nullopt;  // the same printer, still there
    silenceSeen_ = false;
    return factory_;
  }

  // Two printers of one model answer alike: the network cannot tell one from another.
  bool replaced(const LinkSnapshot&) const override { return false; }

  // The factory address has gone silent: the printer was taken away or moved by its profile.
  bool gone(const LinkSnapshot&) override {
    if (!pace_.due()) return false;
    if (answersIdentify(factory_, kWait)) return false;
    silenceSeen_ = true;
    return true;
  }

 private:
  static constexpr std::chrono::milliseconds kWait{300};
  LinkSnapshot factory_;
  bool silenceSeen_ = false;
  Pace pace_{std::chrono::milliseconds(500)};
};

}  // namespace

bool answersIdentify(const LinkSnapshot& link, std::chrono::milliseconds wait) {
  UdpSocket socket;
  try {
    socket.activate(link.ipAddress, link.udpPort);
  } catch (const std::exception&) {
    return false;
  }
  // The identify request, as the link test sends it.
  socket.send(identifyFrame());
  const auto deadline = Clock::now() + wait;
  std::array<std::uint8_t, 2100> reply{};
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    const std::size_t n = socket.receive(reply, std::max(left, std::chrono::milliseconds(1)));
    if (n > 0 && answerStart(std::span(reply.data(), n))) return true;
  }
  return false;
}

std::unique_ptr<ArrivalWatch> serialGlobWatch(const std::string& pattern,
                                              const LinkSnapshot& rates) {
  return std::make_unique<SerialGlobWatch>(pattern, rates);
}

std::unique_ptr<ArrivalWatch> factoryAddressWatch(const LinkSnapshot& factory) {
  return std::make_unique<FactoryAddressWatch>(factory);
}

}  // namespace plenar
