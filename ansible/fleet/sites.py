# SPDX-License-Identifier: GPL-3.0-or-later
"""Simulated shop sites for the plenar.printer collection: one plenar-printer-sim per site, on
the link that site's printer uses, an inventory that points Ansible at them, and the checks of
what each printer was left with.

Used by scripts/fleet.sh (hundreds of sites) and by the integration test in tests/ansible (a
handful). Every process started here is stopped here, by its process id.
"""

import json
import os
import re
import signal
import shutil
import subprocess
import tempfile
import time

# The chain's profile as plenar_profile takes it, and what a printer's state must show after
# it (paths in the simulator's state file, the value each must hold).
PROFILE = {
    'codepage': 'CP850',
    'switches': {'font': '12x24', 'density': 'dark', 'buzzer': True, 'cutter': True},
    'times': {'sleep': 300, 'power_off': 3600},
    'paper_type': 'receipt',
    'retract_time': 45,
    'bluetooth': {'name': 'shop', 'password': 'bt-secret-15', 'mode': 'single',
                  'password_check': True},
}
EXPECTED = [
    (('settings', 'codePage'), 2),
    # dark 0x01, font 12x24 0x40, cutter 0x20, buzzer 0x04
    (('settings', 'switchByte'), 0x65),
    (('settings', 'sleepTime'), 300),
    (('settings', 'powerOffTime'), 3600),
    (('settings', 'paperType'), 0),
    (('settings', 'retractionTime'), 45),
    (('settings', 'bluetooth', 'name'), 'shop'),
    (('settings', 'bluetooth', 'password'), 'bt-secret-15'),
]

# The printer as list-usb shows it: the simulator's USB printer has the serial number PLENAR0001.
USB_ID = 'VID_1234&PID_811E&SN_PLENAR0001'
PRELOAD = 'libumockdev-preload.so.0'


class Site(object):
    """One shop: its printer's simulator and how Ansible reaches it."""

    def __init__(self, root, name, kind, fault=None, serial_no='1'):
        self.name = name
        self.kind = kind  # serial, net, usb or lpt
        self.fault = fault  # e.g. 'silent', 'close-after:6'
        self.serial_no = serial_no
        self.dir = os.path.join(root, name)
        self.proc = None
        self.port = 0  # net: the UDP port
        self.umockdev_dir = None  # usb, lpt: the simulator's testbed

    @property
    def tty(self):
        return os.path.join(self.dir, 'tty')

    @property
    def state_path(self):
        return os.path.join(self.dir, 'state.json')

    @property
    def record_path(self):
        return os.path.join(self.dir, 'record.jsonl')

    @property
    def out_path(self):
        return os.path.join(self.dir, 'sim.out')

    def command(self, sim):
        argv = [sim, '--state', self.state_path, '--record', self.record_path]
        if self.kind == 'serial':
            argv += ['--serial-link', self.tty]
        elif self.kind == 'net':
            argv += ['--udp', '127.0.0.1:%d' % self.port]
        elif self.kind == 'usb':
            argv += ['--usb']
        else:
            argv += ['--lpt', '1']
        if self.fault:
            argv += ['--fault', self.fault]
        return argv

    def read_announcement(self):
        """True once the simulator said "ready"; takes the port or testbed it announced."""
        try:
            with open(self.out_path, encoding='utf-8', errors='replace') as f:
                text = f.read()
        except OSError:
            return False
        m = re.search(r'^udp 127\.0\.0\.1:(\d+)$', text, re.M)
        if m:
            self.port = int(m.group(1))
        m = re.search(r'^(?:usb|lpt) UMOCKDEV_DIR=(\S+)$', text, re.M)
        if m:
            self.umockdev_dir = m.group(1)
        return re.search(r'^ready$', text, re.M) is not None

    def printer(self):
        """The site's entry of plenar_profile's `printers`."""
        link = {'serial': {'serial': self.tty}, 'net': {'net': '127.0.0.1:%d' % self.port},
                'usb': {'usb': USB_ID}, 'lpt': {'lpt': 1}}[self.kind]
        link.update(name=self.name, device={'name': self.name, 'serial_no': self.serial_no})
        return link

    def environment(self):
        """What plenar needs to see the site's virtual USB printer or parallel port."""
        if self.kind not in ('usb', 'lpt'):
            return {}
        # An AddressSanitizer build of plenar accepts the preload before its runtime.
        asan = os.environ.get('ASAN_OPTIONS')
        return {'UMOCKDEV_DIR': self.umockdev_dir, 'LD_PRELOAD': PRELOAD,
                'ASAN_OPTIONS': (asan + ':' if asan else '') + 'verify_asan_link_order=0'}

    def host_vars(self, plenar_path):
        return {
            'plenar_printers': [self.printer()],
            'plenar_state_dir': os.path.join(self.dir, 'plenar'),
            'plenar_path': plenar_path,
            'plenar_environment': self.environment(),
        }

    def state(self):
        try:
            with open(self.state_path, encoding='utf-8') as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def frames(self):
        """How many frames and raw sequences the printer has received, the link test's
        (identify, rate switches: sent before an apply decides, with --verify) left out."""
        count = 0
        try:
            with open(self.record_path, encoding='utf-8', errors='replace') as f:
                for line in f:
                    if ('"kind":"frame"' in line or '"kind":"sequence"' in line) and \
                            '"meaning":"identify' not in line and \
                            '"meaning":"switch rate' not in line:
                        count += 1
        except OSError:
            pass
        return count

    def check(self, expected=None, device=True):
        """What differs from the profile in the printer's state ([] when it matches)."""
        state = self.state()
        problems = []
        wanted = list(expected if expected is not None else EXPECTED)
        if device:
            wanted += [(('settings', 'deviceName'), self.name),
                       (('settings', 'serialNumber'), self.serial_no)]
        for path, value in wanted:
            here = state
            for key in path:
                here = here.get(key) if isinstance(here, dict) else None
            if here != value:
                problems.append('%s is %r, not %r' % ('.'.join(path), here, value))
        return problems


class Simulators(object):
    """The running simulators of a set of sites."""

    def __init__(self, sim):
        self.sim = sim
        self.sites = []
        # umockdev's testbed holds a Unix socket per device, and a socket's path has at most
        # 107 bytes: the testbeds live under a short folder in /tmp, not under the work folder.
        self.testbeds = None

    def start(self, sites, timeout=60.0):
        """Starts a simulator per site and waits until each said "ready"; RuntimeError naming
        the sites that did not."""
        for site in sites:
            self._spawn(site)
        self._wait_ready(sites, timeout)

    def _spawn(self, site):
        os.makedirs(site.dir, exist_ok=True)
        env = dict(os.environ)
        if self.testbeds is None:
            self.testbeds = tempfile.mkdtemp(prefix='plenar-sites-')
        # umockdev makes its testbed under TMPDIR: one folder per site keeps them apart.
        if site not in self.sites:
            self.sites.append(site)
        env['TMPDIR'] = os.path.join(self.testbeds, str(self.sites.index(site)))
        os.makedirs(env['TMPDIR'], exist_ok=True)
        with open(site.out_path, 'w', encoding='utf-8') as out:
            # A session of its own: Ctrl-C reaches the script, which stops the simulators.
            site.proc = subprocess.Popen(site.command(self.sim), stdout=out,
                                         stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                         env=env, start_new_session=True)

    def _wait_ready(self, sites, timeout):
        waiting = list(sites)
        deadline = time.monotonic() + timeout
        while waiting and time.monotonic() < deadline:
            waiting = [s for s in waiting if not s.read_announcement() and s.proc.poll() is None]
            if waiting:
                time.sleep(0.05)
        failed = [s for s in sites if not s.read_announcement()]
        if failed:
            raise RuntimeError('simulators not ready: %s (see %s)' % (
                ', '.join(s.name for s in failed[:10]), failed[0].out_path))

    def restart(self, site, fault=None, timeout=30.0):
        """Stops the site's simulator and starts it again on the same link and state, with
        `fault` instead of the one it had."""
        self._stop([site])
        site.fault = fault
        os.remove(site.out_path)
        self._spawn(site)
        self._wait_ready([site], timeout)

    def stop(self):
        self._stop(self.sites)
        if self.testbeds is not None:
            shutil.rmtree(self.testbeds, ignore_errors=True)
            self.testbeds = None

    @staticmethod
    def _stop(sites, grace=10.0):
        running = [s for s in sites if s.proc is not None and s.proc.poll() is None]
        for site in running:
            try:
                os.kill(site.proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + grace
        for site in running:
            try:
                site.proc.wait(max(0.0, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                os.kill(site.proc.pid, signal.SIGKILL)
                site.proc.wait()

    def cpu_seconds(self):
        """CPU time the running simulators have used so far."""
        ticks = os.sysconf('SC_CLK_TCK')
        total = 0.0
        for site in self.sites:
            try:
                with open('/proc/%d/stat' % site.proc.pid, encoding='ascii') as f:
                    fields = f.read().rsplit(')', 1)[1].split()
                total += (int(fields[11]) + int(fields[12])) / ticks
            except (OSError, IndexError, ValueError):
                pass
        return total


def write_inventory(path, sites, plenar_path, group='shops', group_vars=None, host_vars=None,
                    per_host=1):
    """An inventory of the sites (JSON, which Ansible's YAML inventory reads fast): a host per
    site, or with `per_host` a host per that many consecutive sites, its printers in one module
    run (at most one site with a umockdev testbed each: a host has one environment). Returns
    {host: [sites]}."""
    hosts = {}
    members = {}
    for start in range(0, len(sites), per_host):
        chunk = sites[start:start + per_host]
        if sum(1 for s in chunk if s.environment()) > 1:
            raise ValueError('%s: more than one USB or parallel site on a host' % chunk[0].name)
        entry = chunk[0].host_vars(plenar_path)
        entry['plenar_printers'] = [s.printer() for s in chunk]
        entry['plenar_environment'] = dict(
            next((s.environment() for s in chunk if s.environment()), {}))
        entry.update(host_vars(chunk[0]) if host_vars else {})
        hosts[chunk[0].name] = entry
        members[chunk[0].name] = chunk
    inventory = {group: {'hosts': hosts, 'vars': dict(group_vars or {})}}
    with open(path, 'w', encoding='utf-8') as f:
        json.dump(inventory, f, indent=1)
    return members


class PlaybookRun(object):
    """One ansible-playbook run: its exit code, wall and CPU time, and each host's outcome
    from the tree callback's report."""

    def __init__(self, rc, wall, cpu, hosts, log):
        self.rc = rc
        self.wall = wall
        self.cpu = cpu
        self.hosts = hosts  # host -> {'status': ok|changed|failed|unreachable|missing, 'result'}
        self.log = log

    def names(self, status):
        return sorted(h for h, r in self.hosts.items() if r['status'] == status)

    def count(self, status):
        return len(self.names(status))


def run_playbook(playbook, inventory, tree_dir, log_path, args=(), env=None, expected_hosts=()):
    """Runs ansible-playbook and reads the tree report it left (one JSON file per host)."""
    if os.path.isdir(tree_dir):
        for name in os.listdir(tree_dir):
            os.remove(os.path.join(tree_dir, name))
    else:
        os.makedirs(tree_dir)
    run_env = dict(os.environ)
    run_env.update(env or {})
    run_env.update(ANSIBLE_CALLBACKS_ENABLED='tree', ANSIBLE_CALLBACK_TREE_DIR=tree_dir,
                   ANSIBLE_LOAD_CALLBACK_PLUGINS='1')
    before = os.times()
    start = time.monotonic()
    with open(log_path, 'w', encoding='utf-8') as log:
        proc = subprocess.Popen(['ansible-playbook', '-i', inventory, playbook] + list(args),
                                stdout=log, stderr=subprocess.STDOUT, env=run_env,
                                stdin=subprocess.DEVNULL)
        try:
            rc = proc.wait()
        except BaseException:
            # Interrupted (Ctrl-C, SIGTERM): the playbook goes too.
            proc.terminate()
            try:
                proc.wait(30)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            raise
    wall = time.monotonic() - start
    after = os.times()
    cpu = (after.children_user - before.children_user) + \
        (after.children_system - before.children_system)
    # The outcome from the play recap (the tree report leaves out `failed`), the result from
    # the tree report.
    hosts = {}
    for name in expected_hosts:
        hosts[name] = {'status': 'missing', 'result': None}
    recap = re.compile(r'^(\S+)\s+: ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+'
                       r'failed=(\d+)\s+skipped=(\d+)')
    with open(log_path, encoding='utf-8', errors='replace') as log:
        for line in log:
            m = recap.match(line)
            if not m:
                continue
            ok, changed, unreachable, failed, skipped = (int(g) for g in m.groups()[1:])
            if unreachable:
                status = 'unreachable'
            elif failed:
                status = 'failed'
            elif changed:
                status = 'changed'
            elif ok:
                status = 'ok'
            else:
                status = 'skipped' if skipped else 'missing'
            hosts[m.group(1)] = {'status': status, 'result': None}
    for name in os.listdir(tree_dir):
        with open(os.path.join(tree_dir, name), encoding='utf-8') as f:
            hosts.setdefault(name, {'status': 'missing'})['result'] = json.load(f)
    return PlaybookRun(rc, wall, cpu, hosts, log_path)
