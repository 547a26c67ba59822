#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A chain's fleet on one machine: N simulated shop sites, the plenar.printer collection's
fleet playbook run on them with real ansible-playbook, every printer's state checked against
the profile, and the figures. scripts/fleet.sh runs it; see the collection's README, "Fleet".

Runs, in order:
  first     the fleet playbook: every good site changed, the faulty ones failed and named
  bare      the same inventory with one `command: /bin/true` task: Ansible's own cost
  rerun     again: nothing changed, no frame sent to a good site
  mended    the faulty sites' simulators restarted without their fault, the playbook limited
            to them: each completed
  ssh       a smaller set of new sites reached over SSH (an sshd started here, on loopback,
            with a key made here)
"""

import argparse
import getpass
import json
import os
import resource
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import sites  # noqa: E402  pylint: disable=wrong-import-position

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def site_kind(i):
    # Of every twenty sites: one USB, one parallel, ten on the network (the odd ones), eight
    # serial.
    k = i % 20
    if k == 0:
        return 'usb'
    if k == 10:
        return 'lpt'
    return 'net' if k % 2 else 'serial'


def site_fault(i):
    # One site in a hundred (the eighth of each hundred, a network one): alternately a printer
    # that never answers and one that drops the link part-way.
    if i % 100 != 7:
        return None
    return 'silent' if (i // 100) % 2 == 0 else 'close-after:6'


def make_sites(root, prefix, count, faults=True):
    out = []
    for i in range(count):
        out.append(sites.Site(root, '%s-%04d' % (prefix, i + 1), site_kind(i),
                              fault=site_fault(i) if faults else None,
                              serial_no=str(100000 + i)))
    return out


def check_limits(n):
    """Raises the soft descriptor limit to the hard one and says what the limits are."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if hard == resource.RLIM_INFINITY or soft < hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
        soft = hard
    nproc = resource.getrlimit(resource.RLIMIT_NPROC)[0]
    with open('/proc/sys/kernel/pid_max', encoding='ascii') as f:
        pid_max = int(f.read())
    with open('/proc/sys/kernel/pty/max', encoding='ascii') as f:
        pty_max = int(f.read())
    print('limits: open files %s, processes %s, pid_max %d, pseudo-terminals %d' % (
        soft, 'unlimited' if nproc == resource.RLIM_INFINITY else nproc, pid_max, pty_max))
    # Each simulator is a process with up to 3 threads; the playbook adds its forks' processes.
    if nproc != resource.RLIM_INFINITY and nproc < 4 * n + 500:
        print('warning: the process limit (ulimit -u %d) is near what %d sites need' % (nproc, n))
    if pty_max < n:
        print('warning: only %d pseudo-terminals for %d sites' % (pty_max, n))


class Sshd(object):
    """An sshd of our own on a loopback port, in the foreground, with its own keys."""

    def __init__(self, folder):
        self.folder = folder
        self.proc = None
        self.port = 0
        self.key = os.path.join(folder, 'client_key')

    def start(self):
        os.makedirs(self.folder, exist_ok=True)
        for key in ('host_key', 'client_key'):
            path = os.path.join(self.folder, key)
            if not os.path.exists(path):
                subprocess.run(['ssh-keygen', '-q', '-t', 'ed25519', '-N', '', '-f', path],
                               check=True)
        shutil.copy(self.key + '.pub', os.path.join(self.folder, 'authorized_keys'))
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            self.port = s.getsockname()[1]
        config = os.path.join(self.folder, 'sshd_config')
        with open(config, 'w', encoding='utf-8') as f:
            f.write('\n'.join([
                'ListenAddress 127.0.0.1:%d' % self.port,
                'HostKey %s' % os.path.join(self.folder, 'host_key'),
                'PidFile none',
                'AuthorizedKeysFile %s' % os.path.join(self.folder, 'authorized_keys'),
                'AuthenticationMethods publickey',
                'PasswordAuthentication no',
                'KbdInteractiveAuthentication no',
                'UsePAM no',
                'StrictModes no',
                'PermitRootLogin prohibit-password',
                'AllowUsers %s' % getpass.getuser(),
                # Fifty forks connect at once.
                'MaxStartups 200',
                'MaxSessions 200',
                'Subsystem sftp internal-sftp',
                'LogLevel ERROR',
            ]) + '\n')
        if os.geteuid() == 0:
            os.makedirs('/run/sshd', mode=0o755, exist_ok=True)
        self.proc = subprocess.Popen(['/usr/sbin/sshd', '-D', '-e', '-f', config],
                                     stdout=open(os.path.join(self.folder, 'sshd.log'), 'w'),
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                     start_new_session=True)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError('sshd ended at once; see %s/sshd.log' % self.folder)
            try:
                socket.create_connection(('127.0.0.1', self.port), 0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError('sshd does not listen on port %d' % self.port)

    def cpu_seconds(self):
        """CPU time of sshd and the sessions it has ended (the modules it ran among them)."""
        with open('/proc/%d/stat' % self.proc.pid, encoding='ascii') as f:
            fields = f.read().rsplit(')', 1)[1].split()
        return sum(int(x) for x in fields[11:15]) / os.sysconf('SC_CLK_TCK')

    def host_vars(self, site):
        return {
            'ansible_connection': 'ssh',
            'ansible_host': '127.0.0.1',
            'ansible_port': self.port,
            'ansible_user': getpass.getuser(),
            'ansible_ssh_private_key_file': self.key,
            'ansible_ssh_common_args': '-o UserKnownHostsFile=/dev/null '
                                       '-o StrictHostKeyChecking=no -o LogLevel=ERROR',
        }

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                os.kill(self.proc.pid, signal.SIGKILL)
                self.proc.wait()


class SiteOutcomes(object):
    """A playbook run's outcome per site: a host's, or with several printers per host, each
    printer's from the host's report."""

    def __init__(self, run, members):
        self.wall = run.wall
        self.cpu = run.cpu
        self.hosts = len(members)
        self.sites = {}
        for host, chunk in members.items():
            outcome = run.hosts.get(host, {'status': 'missing', 'result': None})
            printers = dict((p.get('name'), p) for p in
                            ((outcome.get('result') or {}).get('printers') or []))
            for site in chunk:
                status = outcome['status']
                if status in ('ok', 'changed', 'failed') and site.name in printers:
                    p = printers[site.name]
                    status = 'failed' if p.get('failed') else (
                        'changed' if p.get('changed') else 'ok')
                self.sites[site.name] = status

    def status(self, name):
        return self.sites.get(name, 'missing')

    def names(self, status):
        return sorted(n for n, s in self.sites.items() if s == status)

    def count(self, status):
        return len(self.names(status))


class Report(object):
    def __init__(self):
        self.lines = []
        self.problems = []

    def say(self, text):
        print(text, flush=True)
        self.lines.append(text)

    def fail(self, text):
        self.say('PROBLEM: ' + text)
        self.problems.append(text)


def names_list(names, limit=30):
    if not names:
        return '-'
    shown = ', '.join(names[:limit])
    return shown + (' and %d more' % (len(names) - limit) if len(names) > limit else '')


def run_figures(report, label, run):
    report.say('%-7s %5d sites: ok %d, changed %d, failed %d, unreachable %d, missing %d; '
               'wall %.1f s, CPU %.1f s = %.3f CPU-s per host (%d hosts)' % (
                   label, len(run.sites), run.count('ok'), run.count('changed'),
                   run.count('failed'), run.count('unreachable'), run.count('missing'),
                   run.wall, run.cpu, run.cpu / max(run.hosts, 1), run.hosts))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('sites', type=int, nargs='?', default=1000)
    parser.add_argument('--bin', required=True, help='folder of plenar and plenar-printer-sim')
    parser.add_argument('--work', required=True, help='folder for the sites, inventories, logs')
    parser.add_argument('--forks', type=int, default=50)
    parser.add_argument('--ssh-sites', type=int, default=50)
    parser.add_argument('--no-bare', action='store_true', help='leave out the bare run')
    parser.add_argument('--strategy', default='linear',
                        help='linear, free, or mitogen_linear / mitogen_free (ansible-mitogen)')
    parser.add_argument('--printers-per-host', type=int, default=1,
                        help='sites (printers) per inventory host, one module run each (1..10)')
    parser.add_argument('--collections', default=os.path.join(SOURCE, 'ansible'),
                        help='the collections path holding plenar.printer (default: the sources)')
    args = parser.parse_args()
    if not 1 <= args.printers_per_host <= 10:
        parser.error('--printers-per-host: 1..10 (a host has one USB or parallel site at most)')

    # SIGTERM (fleet.sh's trap on Ctrl-C) ends the run through the clean-up below.
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(130))
    work = os.path.abspath(args.work)
    marker = os.path.join(work, '.plenar-fleet')
    if os.path.exists(work) and os.listdir(work) and not os.path.exists(marker):
        parser.error('%s is not empty and not a folder of an earlier run' % work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    open(marker, 'w').close()
    check_limits(args.sites + args.ssh_sites)
    plenar = os.path.join(os.path.abspath(args.bin), 'plenar')
    sims = sites.Simulators(os.path.join(os.path.abspath(args.bin), 'plenar-printer-sim'))
    sshd = Sshd(os.path.join(work, 'ssh'))
    report = Report()
    try:
        run_fleet(args, work, plenar, sims, sshd, report)
    finally:
        sshd.stop()
        sims.stop()
    if report.problems:
        print('%d problem(s): %s' % (len(report.problems), '; '.join(report.problems)))
        return 1
    return 0


def start_fleet(args, work, sims, report):
    """The sites of the run, their simulators started; returns (fleet, faulty names, good)."""
    fleet = make_sites(os.path.join(work, 'sites'), 'shop', args.sites)
    faulty = [s.name for s in fleet if s.fault]
    good = [s for s in fleet if not s.fault]
    start = time.monotonic()
    sims.start(fleet, timeout=120 + args.sites * 0.05)
    counts = dict((k, sum(1 for s in fleet if s.kind == k)) for k in ('serial', 'net', 'usb', 'lpt'))
    report.say('sites: %d (serial %d, net %d, usb %d, lpt %d), %d with a fault: %s; '
               'simulators ready in %.1f s' % (
                   len(fleet), counts['serial'], counts['net'], counts['usb'], counts['lpt'],
                   len(faulty), names_list(faulty), time.monotonic() - start))
    return fleet, faulty, good


def write_bare_playbook(work):
    """A play that runs nothing on each host: Ansible's own cost."""
    path = os.path.join(work, 'bare.yml')
    with open(path, 'w', encoding='utf-8') as f:
        f.write('- name: Bare\n  hosts: shops\n  gather_facts: false\n'
                '  environment: "{{ plenar_environment | default({}) }}"\n'
                '  tasks:\n    - name: Nothing\n      ansible.builtin.command: /bin/true\n')
    return path


def ansible_environment(args, work):
    """The environment of every ansible-playbook run of the fleet."""
    env = {
        'ANSIBLE_COLLECTIONS_PATH': os.path.abspath(args.collections),
        'ANSIBLE_FORKS': str(args.forks),
        'ANSIBLE_STRATEGY': args.strategy,
        'ANSIBLE_PIPELINING': 'True',
        'ANSIBLE_HOST_KEY_CHECKING': 'False',
        'ANSIBLE_LOCAL_TEMP': os.path.join(work, 'tmp'),
        'ANSIBLE_REMOTE_TMP': os.path.join(work, 'tmp'),
        'ANSIBLE_NOCOLOR': '1',
        'ANSIBLE_RETRY_FILES_ENABLED': '0',
        'ANSIBLE_DISPLAY_SKIPPED_HOSTS': '0',
        # One task per host: a connection of its own each, and no master left behind.
        'ANSIBLE_SSH_ARGS': '-o ControlMaster=no -o ControlPersist=no',
    }
    if args.strategy.startswith('mitogen'):
        try:
            import ansible_mitogen  # pylint: disable=import-outside-toplevel
        except ImportError:
            raise SystemExit('--strategy %s needs ansible-mitogen (apt-get install '
                             'ansible-mitogen)' % args.strategy)
        env['ANSIBLE_STRATEGY_PLUGINS'] = os.path.join(
            os.path.dirname(ansible_mitogen.__file__), 'plugins', 'strategy')
    return env


def check_first(report, first, faulty, good):
    """The first run failed exactly the faulty sites and changed every good one, and every good
    printer now holds the profile."""
    report.say('first   failed sites: %s' % names_list(first.names('failed') +
                                                      first.names('unreachable')))
    if sorted(first.names('failed')) != sorted(faulty):
        report.fail('the failed sites are not the faulty ones: %s' % names_list(
            sorted(set(first.names('failed')) ^ set(faulty))))
    if first.count('changed') != len(good):
        report.fail('%d good sites did not change' % (len(good) - first.count('changed')))
    start = time.monotonic()
    wrong = [(s.name, s.check()) for s in good]
    wrong = [(n, p) for n, p in wrong if p]
    report.say('state   %d of %d good printers match the profile (checked in %.1f s)%s' % (
        len(good) - len(wrong), len(good), time.monotonic() - start,
        '' if not wrong else '; differ: %s' % names_list(['%s (%s)' % (n, p[0]) for n, p in wrong])))
    if wrong:
        report.fail('%d printers differ from the profile' % len(wrong))


def check_rerun(report, rerun, good, frames, first, bare):
    """The rerun changed nothing and sent no frame to a good site."""
    sent = [s.name for s in good if s.frames() != frames[s.name]]
    report.say('rerun   good sites that received a frame: %d; failed: %s' % (
        len(sent), names_list(rerun.names('failed'))))
    if sent or rerun.count('changed'):
        report.fail('the rerun changed %d sites and sent frames to %d' % (
            rerun.count('changed'), len(sent)))
    if bare:
        report.say('ratio   first %.2fx, rerun %.2fx the bare run (wall); %.2fx, %.2fx (CPU)' % (
            first.wall / bare.wall, rerun.wall / bare.wall, first.cpu / bare.cpu,
            rerun.cpu / bare.cpu))


def mend_faulty(report, fleet, faulty, members, sims, play):
    """The faulty sites restarted without their fault: a run limited to them completes them."""
    by_name = dict((s.name, s) for s in fleet)
    for name in faulty:
        sims.restart(by_name[name])
    limit = sorted(set(h for h, chunk in members.items()
                       if any(site.name in faulty for site in chunk)))
    mended = play('mended', 'plenar.printer.fleet', ['--limit', ','.join(limit)], limit)
    still = [n for n in faulty if by_name[n].check()]
    changed = [n for n in faulty if mended.status(n) == 'changed']
    report.say('mended  %d faulty sites restarted without their fault: changed %d, '
               'failed %d; printers matching the profile %d' % (
                   len(faulty), len(changed), mended.count('failed'),
                   len(faulty) - len(still)))
    if len(changed) != len(faulty) or still:
        report.fail('the mended sites were not completed: %s' % names_list(still))


def run_fleet(args, work, plenar, sims, sshd, report):
    fleet, faulty, good = start_fleet(args, work, sims, report)
    inventory = os.path.join(work, 'inventory.json')
    group_vars = {
        'plenar_profile': sites.PROFILE,
        'ansible_connection': 'local',
        'ansible_python_interpreter': '/usr/bin/python3',
    }
    members = sites.write_inventory(inventory, fleet, plenar, group_vars=group_vars,
                                    per_host=args.printers_per_host)
    if args.printers_per_host > 1:
        report.say('hosts: %d, %d printers each' % (len(members), args.printers_per_host))
    bare_playbook = write_bare_playbook(work)
    env = ansible_environment(args, work)
    names = list(members)

    def play(label, playbook, extra=(), hosts=names, inv=inventory):
        run = sites.run_playbook(playbook, inv, os.path.join(work, 'tree-' + label),
                                 os.path.join(work, label + '.log'), list(extra), env, hosts)
        return SiteOutcomes(run, dict((h, members[h]) for h in hosts))

    first = play('first', 'plenar.printer.fleet')
    run_figures(report, 'first', first)
    check_first(report, first, faulty, good)

    # Ansible's own cost, measured after the first run so that it meets the machine as the
    # rerun does (a serial simulator keeps waking after its first client has gone).
    bare = None
    if not args.no_bare:
        bare = play('bare', bare_playbook)
        run_figures(report, 'bare', bare)

    frames = dict((s.name, s.frames()) for s in fleet)
    rerun = play('rerun', 'plenar.printer.fleet')
    run_figures(report, 'rerun', rerun)
    check_rerun(report, rerun, good, frames, first, bare)

    if faulty:
        mend_faulty(report, fleet, faulty, members, sims, play)

    report.say('sims    CPU of the simulators so far: %.1f s' % sims.cpu_seconds())
    if args.ssh_sites:
        run_ssh(args, work, plenar, sims, sshd, report, env)


def run_ssh(args, work, plenar, sims, sshd, report, env):
    remote = make_sites(os.path.join(work, 'ssh-sites'), 'ssh', args.ssh_sites, faults=False)
    sims.start(remote)
    sshd.start()
    inventory = os.path.join(work, 'inventory-ssh.json')
    members = sites.write_inventory(inventory, remote, plenar, group_vars={
        'plenar_profile': sites.PROFILE,
        'ansible_python_interpreter': '/usr/bin/python3',
    }, host_vars=sshd.host_vars)
    sshd_cpu = sshd.cpu_seconds()
    run = SiteOutcomes(
        sites.run_playbook('plenar.printer.fleet', inventory, os.path.join(work, 'tree-ssh'),
                           os.path.join(work, 'ssh.log'), [], env, list(members)), members)
    run.cpu += sshd.cpu_seconds() - sshd_cpu
    run_figures(report, 'ssh', run)
    wrong = [s.name for s in remote if s.check()]
    report.say('ssh     over sshd on 127.0.0.1:%d as %s: %d of %d printers match the profile; '
               'failed: %s' % (sshd.port, getpass.getuser(), len(remote) - len(wrong),
                               len(remote), names_list(run.names('failed') +
                                                       run.names('unreachable'))))
    if run.count('changed') != len(remote) or wrong:
        report.fail('the SSH run did not bring every site to the profile: %s' % names_list(
            sorted(set(wrong) | set(n for n in run.sites if run.status(n) != 'changed'))))


if __name__ == '__main__':
    sys.exit(main())
