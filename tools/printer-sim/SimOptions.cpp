// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimOptions.h"

#include <charconv>
#include <stdexcept>

#include "shared/Frame.h"
#include "shared/RateCodes.h"

namespace plenar::sim {

namespace {
long long number(const std::string& option, const std::string& text) {
  long long n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw std::invalid_argument(option + " needs a number, not '" + text + "'");
  }
  return n;
}

const char* simUsageCore() {
  return "usage: plenar-printer-sim [options]\n"
         "  --serial-link PATH    serve a serial link: PATH becomes a link to a pseudo-terminal\n"
         "  --udp [ADDR:PORT]     serve UDP (default 127.0.0.1:5100; port 0 picks a free one);\n"
         "                        UDP on the default address is on when no link is named\n"
         "  --udp-follows-ip      a new Ethernet address (1F 49) moves the UDP link to it, same\n"
         "                        port, as a printer on a network does (loopback: 127.x.y.z)\n"
         "  --usb [VID:PID]       serve a virtual USB printer through umockdev (default "
         "1234:811E);\n"
         "                        prints \"usb UMOCKDEV_DIR=DIR\": run the tool with that and\n"
         "                        LD_PRELOAD=libumockdev-preload.so.0. SIGUSR1 plugs it in,\n"
         "                        SIGUSR2 unplugs it\n"
         "  --usb-unplug-after-frames N  the USB device is unplugged when its N-th frame arrives\n"
         "  --usb-replug-ms MS    how long the USB device is away when the printer restarts into\n"
         "                        or out of its boot loader (default 500)\n"
         "  --lpt N               serve parallel port N as /dev/lp(N-1) and /dev/parport(N-1)\n"
         "                        through umockdev (the USB device's testbed with --usb); prints\n"
         "                        \"lpt UMOCKDEV_DIR=DIR\" for the tool as with --usb\n"
         "  --lpt-fault SPEC      busy, offline, paper-out, busy-reads:N, claim-refused,\n"
         "                        write-error-after:N, vanish-after:N (bytes)\n"
         "  --baud RATE           serial rate at power-up (default: stored rate, else 9600)\n"
         "  --pace                deliver serial bytes at the line rate (10 bits per byte)\n"
         "  --model TAG           model tag answered to identify (default PLENAR80)\n"
         "  --read-chunk N        data bytes per memory read reply, 0..2032 (default 256)\n"
         "  --no-boot             a lone 0x61 does not enter the boot loader\n"
         "  --refuse-settings     every setting frame is refused (not acknowledged, not stored)\n"
         "  --record FILE         one JSON object per line for everything received\n"
         "  --state FILE          printer state, loaded at start, saved on every change\n"
         "  --fault SPEC          silent, drop-every:N, corrupt-header-every:N,\n"
         "                        corrupt-data-every:N, delay:MS, noise:N, close-after:N, split:N\n"
         "  --stream N            N printers one after another, each with a fresh state (--state\n"
         "                        with {n}, --record too); each leaves once set up and quiet\n"
         "  --stream-idle-ms MS   how long a set-up printer stays quiet before it leaves (500)\n"
         "  --stream-gap-ms MS    how long the bench stays empty between printers (1000)\n"
         "  --stream-pull K:F     printer K is pulled out when its F-th frame has arrived; the\n"
         "                        next comes 4 s later at the soonest\n"
         "  --seed N              seed of the noise bytes (default 1)\n";
}

// The options that choose and shape the printer's links; false for any other.
bool parseLinkOption(const std::string& a, const std::vector<std::string>& args, std::size_t& i,
                     const std::function<const std::string&()>& value, SimOptions& o) {
  if (a == "--serial-link") {
    o.serialLink = value();
    return true;
  }
  // --udp and --usb take a value when one follows, else their default.
  auto valueOr = [&](const char* fallback) {
    return i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0 ? args[++i]
                                                                  : std::string(fallback);
  };
  if (a == "--udp") {
    o.udp = valueOr(kDefaultUdp);
    return true;
  }
  if (a == "--udp-follows-ip") {
    o.udpFollowsIp = true;
    return true;
  }
  if (a == "--usb") {
    o.usb = valueOr(kDefaultUsb);
    return true;
  }
  if (a == "--usb-unplug-after-frames") {
    long long n = number(a, value());
    if (n < 0 || n > 1'000'000'000) throw std::invalid_argument(a + " must be 0 or more");
    o.usbUnplugAfterFrames = static_cast<int>(n);
    return true;
  }
  if (a == "--usb-replug-ms") {
    long long n = number(a, value());
    if (n < 0 || n > 60'000) throw std::invalid_argument(a + " must be 0..60000");
    o.usbReplugMs = static_cast<int>(n);
    return true;
  }
  if (parseUsbHostOption(a, value, o.usbHost)) {
    if (!o.usb) o.usb = kDefaultUsb;
    return true;
  }
  if (a == "--lpt") {
    long long n = number(a, value());
    if (n < 1 || n > 255) throw std::invalid_argument("--lpt must be 1..255");
    o.lpt = static_cast<int>(n);
    return true;
  }
  if (a == "--lpt-fault") {
    if (auto err = parseLptFault(value(), o.lptFaults)) throw std::invalid_argument(*err);
    return true;
  }
  return false;
}

}  // namespace

const char* simUsage() {
  static const std::string text = std::string(simUsageCore()) + usbHostUsage();
  return text.c_str();
}

SimOptions parseSimOptions(const std::vector<std::string>& args, bool& help) {
  SimOptions o;
  help = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (parseLinkOption(a, args, i, value, o)) {
    } else if (a == "--baud") {
      long long rate = number(a, value());
      if (rate <= 0 || rate > 1'000'000 || !rateToCode(static_cast<int>(rate))) {
        throw std::invalid_argument("--baud: the printer has no rate code for " + args[i]);
      }
      o.baud = static_cast<int>(rate);
    } else if (a == "--pace") {
      o.pace = true;
    } else if (a == "--model") {
      o.model = value();
      if (o.model->size() > 8) throw std::invalid_argument("--model: at most 8 characters");
    } else if (a == "--read-chunk") {
      long long n = number(a, value());
      if (n < 0 || n > static_cast<long long>(kMaxReadData)) {
        throw std::invalid_argument("--read-chunk must be 0..2032");
      }
      o.readChunk = static_cast<int>(n);
    } else if (a == "--no-boot") {
      o.boot = false;
    } else if (a == "--refuse-settings") {
      o.refuseSettings = true;
    } else if (a == "--record") {
      o.recordFile = value();
    } else if (a == "--state") {
      o.stateFile = value();
    } else if (a == "--fault") {
      if (auto err = parseFault(value(), o.faults)) throw std::invalid_argument(*err);
    } else if (parseStreamOption(a, value, o.stream)) {
    } else if (a == "--seed") {
      o.seed = static_cast<std::uint64_t>(number(a, value()));
    } else {
      throw std::invalid_argument("unknown option '" + a + "'");
    }
  }
  if (o.serialLink.empty() && !o.udp && !o.usb && o.lpt == 0) o.udp = kDefaultUdp;
  if (o.usb && o.stream.count > 0 && o.stateFile.find("{n}") != std::string::npos) {
    takeUsbStream(o.stream, o.usbHost, o.stateFile, o.recordFile);
  }
  if (o.stream.count > 0 && o.stateFile.find("{n}") == std::string::npos) {
    throw std::invalid_argument("--stream needs --state with {n}: each printer has its own state");
  }
  return o;
}

}  // namespace plenar::sim
