#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A password through plenar_profile under real ansible-playbook, and everywhere it must not be.

  secrets_canary.py --plenar BIN --sim BIN [--work DIR] [--keep] [--collection DIR]

A unique password (the Wi-Fi access point's and the Bluetooth one) goes to a simulated network
printer through plenar_profile, first given plainly in the play's vars, then from Ansible
Vault (ansible-vault encrypt_string, its password in a file). Each way runs with
`--check --diff -vvv` and then for real with `--diff -vvv`, with ANSIBLE_LOG_PATH set; between
them the fleet role applies the same profile again (nothing to change), and last a printer
that drops the link part-way fails the task. Then
Ansible's stdout, stderr and log, every file of the module's state_dir, whatever is left in
Ansible's temporary folders, and the argument lists of every process, sampled from
/proc/*/cmdline while the playbooks run, are searched for either password: as text, as hex
(spaced or not, any case, across lines), split across two lines of output or of a trace dump,
and as its SHA-256. The printer must hold it (the simulator's state); the state_dir's folders
must be 0700 and its files 0600 (1.bin and 2.bin aside); a change of the password alone must
be reported changed, the diff showing it as (changed).

The work folder is a new one under /tmp unless --work names one (kept with --keep or on a
failure, removed otherwise). Prints each check as it is done, then "N passed, M failed";
exits 0 only when none failed.
"""

import argparse
import hashlib
import json
import os
import random
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
COLLECTION = os.path.join(SOURCE, 'ansible', 'ansible_collections', 'plenar', 'printer')
sys.path.insert(0, os.path.join(SOURCE, 'ansible', 'fleet'))

import sites  # noqa: E402  pylint: disable=wrong-import-position

results = {'passed': 0, 'failed': 0}

# The frames the faulty printer takes before it drops the link: the link test and the first
# groups (the code page, Bluetooth) get through, the Wi-Fi access point's does not.
FAULT_AFTER = 5


def expect(condition, what, detail=''):
    print('%s  %s%s' % ('ok  ' if condition else 'FAIL', what,
                        '' if condition or not detail else ': %s' % detail), flush=True)
    results['passed' if condition else 'failed'] += 1
    return condition


def make_canary(prefix):
    """12 characters, unique to the run: fits the Bluetooth password field (13 bytes)."""
    return '%s%06dzXw!' % (prefix, random.SystemRandom().randrange(1000000))


# A line of a trace dump: the bytes in hex, then ';' and the text column.
DUMP_LINE = re.compile(r'^    ((?:[0-9a-fA-F*]{2} +)+);(.*)$')


def leak_in(text, canary):
    """How `text` shows `canary` ('' when it does not): as text, split across two lines, as
    hex (either case, spaced or not, across lines), in a trace dump's text or hex columns
    joined over its lines, or as the SHA-256 of the password."""
    if canary in text:
        return 'plain text'
    lines = text.splitlines()
    for first, second in zip(lines, lines[1:]):
        if canary in first.rstrip() + second.lstrip() or canary in first + second:
            return 'split across two lines'
    squeezed = re.sub(r'\s+', '', text.lower())
    hexed = canary.encode('utf-8').hex()
    if hexed in squeezed:
        return 'hex'
    if hashlib.sha256(canary.encode('utf-8')).hexdigest() in squeezed:
        return 'sha256'
    chars, digits = [], []
    for line in lines:
        m = DUMP_LINE.match(line)
        if m:
            chars.append(m.group(2))
            digits.append(re.sub(r'\s+', '', m.group(1).lower()))
    if canary in ''.join(chars):
        return 'dump text column'
    if hexed in ''.join(digits):
        return 'dump hex column'
    return ''


class CmdlineSampler(object):
    """Every process's argument list, read over and over while the playbooks run."""

    def __init__(self, canaries, marker):
        self.canaries = canaries
        self.marker = marker.encode('utf-8')  # in the argument lists of our plenar runs
        self.leaks = set()
        self.plenar_samples = 0  # argument lists of our plenar runs seen
        self._seen = set()  # the argument lists searched already
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run)
        self._thread.daemon = True
        self._thread.start()

    def _run(self):
        while not self._stop.is_set():
            self.sample_once()
            time.sleep(0.005)

    def sample_once(self):
        for pid in os.listdir('/proc'):
            if not pid.isdigit():
                continue
            try:
                with open('/proc/%s/cmdline' % pid, 'rb') as f:
                    raw = f.read()
            except OSError:
                continue
            if os.path.basename(raw.split(b'\0', 1)[0]) == b'plenar' and self.marker in raw:
                self.plenar_samples += 1
            if raw in self._seen:
                continue
            self._seen.add(raw)
            args = raw.decode('utf-8', 'replace').replace('\0', ' ')
            for canary in self.canaries:
                if leak_in(args, canary):
                    self.leaks.add(args)

    def finish(self):
        self._stop.set()
        self._thread.join()


def read(path):
    try:
        with open(path, 'rb') as f:
            return f.read().decode('utf-8', 'replace')
    except OSError:
        return ''


def private_file(path, text):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, 'w', encoding='utf-8') as f:
        f.write(text)


def files_under(root):
    for folder, dirs, names in os.walk(root):
        for name in dirs + names:
            yield os.path.join(folder, name)


# The profile of both plays; its passwords come from the play's var canary_password.
PROFILE = """codepage: CP850
retract_time: 45
wifi_ap: {name: shop-ap, password: "{{ canary_password }}"}
bluetooth:
  name: shop
  password: "{{ canary_password }}"
  mode: single
  password_check: true"""


def indented(text, spaces):
    return '\n'.join(' ' * spaces + line for line in text.splitlines())


def playbook(port, state_dir, plenar, password_yaml):
    """A play with one plenar_profile task for the printer at `port`, canary_password given
    as `password_yaml`."""
    return '''---
- name: Secrets canary
  hosts: canary
  gather_facts: false
  vars:
    canary_password: %s
  tasks:
    - name: Bring the printer to the profile
      plenar.printer.plenar_profile:
        net: "127.0.0.1:%d"
        state_dir: "%s"
        plenar_path: "%s"
        device: {name: canary, serial_no: "7"}
        profile:
%s
''' % (password_yaml, port, state_dir, plenar, indented(PROFILE, 10))


def fleet_playbook(port, state_dir, plenar, password_yaml):
    """The same printer and profile through the fleet role, the profile in the play's vars."""
    return '''---
- name: Secrets canary through the fleet role
  hosts: canary
  gather_facts: false
  vars:
    canary_password: %s
    plenar_state_dir: "%s"
    plenar_path: "%s"
    plenar_printers:
      - {name: canary, net: "127.0.0.1:%d", device: {name: canary, serial_no: "7"}}
    plenar_profile:
%s
  roles:
    - plenar.printer.fleet
''' % (password_yaml, state_dir, plenar, port, indented(PROFILE, 6))


def vault_yaml(work, env, canary):
    """canary_password as ansible-vault encrypt_string gives it, the password on standard
    input (never on an argument list) and the vault's password in a file of its own."""
    secret_file = os.path.join(work, 'vault-pass')
    private_file(secret_file, 'vault-%s\n' % make_canary('Vp'))
    proc = subprocess.run(['ansible-vault', 'encrypt_string', '--vault-password-file',
                           secret_file, '--stdin-name', 'canary_password'],
                          input=canary.encode('utf-8'), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=env, cwd=work, check=False)
    text = proc.stdout.decode('utf-8', 'replace')
    if proc.returncode != 0 or '!vault |' not in text:
        raise RuntimeError('ansible-vault encrypt_string failed: %s' %
                           proc.stderr.decode('utf-8', 'replace'))
    # "canary_password: !vault |\n   $ANSIBLE_VAULT;..." -> its value, indented for the play.
    value = text.split(':', 1)[1].strip('\n')
    lines = value.splitlines()
    return secret_file, lines[0].strip() + '\n' + '\n'.join(
        '      ' + line.strip() for line in lines[1:])


class Run(object):
    def __init__(self, label, rc, stdout, stderr, log, elapsed):
        self.label = label
        self.rc = rc
        self.stdout = stdout
        self.stderr = stderr
        self.log = log
        self.elapsed = elapsed

    def result(self):
        """The last task's result as -vvv prints it ({} when none is found)."""
        found = re.findall(r'^(?:changed|ok|fatal): \[canary\](?:: FAILED!)? => (\{.*?^\})$',
                           self.stdout, re.M | re.S)
        try:
            return json.loads(found[-1]) if found else {}
        except ValueError:
            return {}


def run_playbook(work, label, book, args, env):
    log = os.path.join(work, 'logs', label + '.log')
    run_env = dict(env, ANSIBLE_LOG_PATH=log)
    start = time.monotonic()
    proc = subprocess.run(['ansible-playbook', '-i', os.path.join(work, 'inventory.ini'), book]
                          + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, env=run_env, cwd=work, check=False)
    return Run(label, proc.returncode, proc.stdout.decode('utf-8', 'replace'),
               proc.stderr.decode('utf-8', 'replace'), read(log), time.monotonic() - start)


def check_modes(state_dir):
    """The state_dir's entries whose modes are wider than private: [(path, mode)]."""
    wrong = []
    for path in [state_dir] + list(files_under(state_dir)):
        st = os.lstat(path)
        mode = stat.S_IMODE(st.st_mode)
        if stat.S_ISDIR(st.st_mode):
            if mode != 0o700:
                wrong.append((path, oct(mode)))
        elif os.path.basename(path) not in ('1.bin', '2.bin') and (
                not stat.S_ISREG(st.st_mode) or mode != 0o600):
            wrong.append((path, oct(mode) if stat.S_ISREG(st.st_mode) else 'not a file'))
    return wrong


def dump(data, masked=()):
    """Trace dump lines as debug.log lays them out (16 bytes a line: hex, then the text)."""
    lines = []
    for start in range(0, len(data), 16):
        hexes, chars = '    ', '    ;'
        for i in range(start, min(start + 16, len(data))):
            hexes += '** ' if i in masked else '%02x ' % data[i]
            chars += '*' if i in masked else ' ' if data[i] <= 32 else chr(data[i])
            if i % 8 == 7:
                hexes += '   '
        lines.append(hexes + chars)
    return '\n'.join(lines) + '\n'


def search_works():
    """The search finds every form the password could take, and nothing in a masked dump."""
    canary = 'Kq123456zXw!'
    raw = canary.encode('ascii')
    frame = b' ' * 10 + raw + b' ' * 18  # the password across two dump lines
    spaced = ' '.join('%02X' % b for b in raw)
    places = range(10, 10 + len(raw))
    cases = [
        ('x %s y' % canary, 'plain text'),
        ('the value was Kq1234\n56zXw! and more', 'split across two lines'),
        ('"bytes": ["02 00 %s 19"]' % spaced, 'hex'),
        ('payload ' + raw.hex(), 'hex'),
        ('02 00 %s\n      %s' % (spaced[:17], spaced[17:]), 'hex'),
        ('sha256 ' + hashlib.sha256(raw).hexdigest(), 'sha256'),
        (dump(frame), 'dump text column'),
        (re.sub(r';.*', lambda m: ';' + '*' * (len(m.group(0)) - 1), dump(frame)),
         'dump hex column'),
        (dump(frame, masked=places), ''),
        ('"password": "(changed)" ********', ''),
    ]
    wrong = [(text, found, leak_in(text, canary)) for text, found in cases
             if leak_in(text, canary) != found]
    return expect(not wrong, 'the search finds the password in each form (%d cases)'
                  % len(cases), wrong)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--plenar', required=True)
    parser.add_argument('--sim', required=True)
    parser.add_argument('--work')
    parser.add_argument('--keep', action='store_true')
    parser.add_argument('--collection', default=COLLECTION,
                        help='the plenar.printer collection to run (default: this checkout\'s)')
    args = parser.parse_args()

    if not search_works():
        print('%d passed, %d failed' % (results['passed'], results['failed']), flush=True)
        return 1
    if args.work:
        work = os.path.abspath(args.work)
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work, 0o700)
    else:
        work = tempfile.mkdtemp(prefix='plenar-canary-')
    print('work folder %s' % work, flush=True)
    root = os.path.join(work, 'sites')
    site = sites.Site(root, 'canary', 'net', serial_no='7')
    faulty = sites.Site(root, 'canary-faulty', 'net', fault='close-after:%d' % FAULT_AFTER,
                        serial_no='8')
    sims = sites.Simulators(args.sim)
    try:
        sims.start([site, faulty])
        canary_runs(work, os.path.abspath(args.plenar), os.path.abspath(args.collection),
                    site, faulty)
    except Exception as e:  # pylint: disable=broad-except
        expect(False, 'the canary ran to its end', '%s: %s' % (type(e).__name__, e))
    finally:
        sims.stop()
    failed = results['failed']
    if args.keep or failed:
        print('kept %s' % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    print('%d passed, %d failed' % (results['passed'], failed), flush=True)
    return 1 if failed else 0


def ansible_env(work, collections):
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=collections,
               ANSIBLE_HOME=os.path.join(work, 'home'),
               ANSIBLE_LOCAL_TEMP=os.path.join(work, 'tmp'),
               ANSIBLE_REMOTE_TMP=os.path.join(work, 'tmp'),
               ANSIBLE_NOCOLOR='1', ANSIBLE_FORCE_COLOR='0', ANSIBLE_RETRY_FILES_ENABLED='0',
               ANSIBLE_STDOUT_CALLBACK='default')
    for name in ('ANSIBLE_CONFIG', 'ANSIBLE_KEEP_REMOTE_FILES', 'ANSIBLE_VAULT_PASSWORD_FILE',
                 'ANSIBLE_LOG_PATH'):
        env.pop(name, None)
    return env


def canary_runs(work, plenar, collection, site, faulty):
    plain = make_canary('Kq')
    vaulted = make_canary('Vq')
    canaries = [plain, vaulted]
    state_dir = os.path.join(work, 'state')
    for folder in ('logs', 'tmp', 'home'):
        os.makedirs(os.path.join(work, folder), 0o700)
    # The collection as ansible-galaxy installs it: a copy in a collections folder.
    collections = os.path.join(work, 'collections')
    shutil.copytree(collection, os.path.join(collections, 'ansible_collections', 'plenar',
                                             'printer'),
                    ignore=shutil.ignore_patterns('output', '__pycache__', 'tests'))
    with open(os.path.join(work, 'inventory.ini'), 'w', encoding='utf-8') as f:
        f.write('canary ansible_connection=local ansible_python_interpreter=%s\n'
                % sys.executable)
    env = ansible_env(work, collections)

    books = {}
    vault_pass, secret = vault_yaml(work, env, vaulted)
    for name, play, port, password in (('plain', playbook, site.port, '"%s"' % plain),
                                       ('fleet', fleet_playbook, site.port, '"%s"' % plain),
                                       ('vault', playbook, site.port, secret),
                                       ('fault', playbook, faulty.port, secret)):
        books[name] = os.path.join(work, name + '.yml')
        private_file(books[name], play(port, state_dir, plenar, password))
    expect(vaulted not in read(books['vault']) and '$ANSIBLE_VAULT' in read(books['vault']),
           'the vaulted play holds the password encrypted only')
    vault = ['--vault-password-file', vault_pass]

    # (label, playbook, arguments, the password the printer holds after it, None: unchanged)
    runs = [
        ('plain-check', 'plain', ['--check', '--diff', '-vvv'], None),
        ('plain', 'plain', ['--diff', '-vvv'], plain),
        ('fleet-again', 'fleet', ['--diff', '-vvv'], plain),
        ('vault-check', 'vault', ['--check', '--diff', '-vvv'] + vault, plain),
        ('vault', 'vault', ['--diff', '-vvv'] + vault, vaulted),
        ('fault', 'fault', ['--diff', '-vvv'] + vault, None),
    ]
    places = []  # (what, text): every output, and each file as it was after each run
    wrong_modes = []
    sampler = CmdlineSampler(canaries, state_dir)
    try:
        for label, book, run_args, holds in runs:
            frames = site.frames()
            run = run_playbook(work, label, books[book], run_args, env)
            result = run.result()
            places += [('%s: stdout' % label, run.stdout), ('%s: stderr' % label, run.stderr),
                       ('%s: ANSIBLE_LOG_PATH' % label, run.log)]
            state_files = [p for p in files_under(state_dir) if os.path.isfile(p)]
            places += [('%s: state_dir %s' % (label, os.path.relpath(p, state_dir)), read(p))
                       for p in state_files]
            left = [p for folder in ('tmp', 'home')
                    for p in files_under(os.path.join(work, folder)) if os.path.isfile(p)]
            places += [('%s: Ansible\'s %s' % (label, os.path.relpath(p, work)), read(p))
                       for p in left]
            wrong_modes += [(label,) + w for w in check_modes(state_dir)]
            expect(not [p for p in left if os.path.basename(p).startswith('profile-')],
                   '%s: the module\'s profile file is gone after the run' % label, left)
            if label == 'fault':
                check_fault(run, result)
                continue
            expect(run.rc == 0 and result, '%s: ansible-playbook succeeds (%.1f s)' % (
                label, run.elapsed), 'exit %d, %s' % (run.rc, (run.stdout + run.stderr)[-2000:]))
            check_run(run, result, '--check' in run_args, site, frames, holds)
    finally:
        sampler.finish()

    state_files = [p for p in files_under(state_dir) if os.path.isfile(p)]
    expect(any(os.path.basename(p) == 'debug.log' for p in state_files) and
           any(os.path.dirname(p).endswith('apply') for p in state_files),
           'state_dir holds debug.log and the apply records',
           [os.path.relpath(p, state_dir) for p in state_files])
    check_records(state_dir)
    # The search works on what went over the wire: the printer's record holds each password.
    wire = read(site.record_path)
    expect(all(leak_in(wire, c) for c in canaries),
           'the printer received each password (found in its record of the frames)')
    leaks = []
    for what, text in places:
        for canary in canaries:
            how = leak_in(text, canary)
            if how:
                leaks.append('%s (%s%s)' % (what, how, ', the vaulted one' if canary == vaulted
                                            else ''))
    kinds = sorted(set(re.sub(r' .*', '', w.split(': ', 1)[1]) for w, t in places))
    expect(not leaks, 'no password in %d outputs and files (%s, after each of %d runs)' % (
        len(places), ', '.join(kinds), len(runs)), '; '.join(leaks))
    expect(sampler.plenar_samples > 0,
           'plenar\'s argument lists were sampled while it ran (%d samples)' %
           sampler.plenar_samples)
    expect(not sampler.leaks, 'no password in any argument list in /proc/*/cmdline',
           '; '.join(sorted(sampler.leaks)))
    expect(not wrong_modes, 'state_dir after each run: folders 0700, files 0600 (%d entries)'
           % (len(list(files_under(state_dir))) + 1), wrong_modes)


def check_records(state_dir):
    """A record's group that holds a password carries a keyed hash, never a plain one, and
    shows the password masked."""
    bad = []
    count = 0
    folder = os.path.join(state_dir, 'apply')
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        if not name.endswith('.json'):
            continue
        try:
            with open(os.path.join(folder, name), encoding='utf-8') as f:
                record = json.load(f)
        except ValueError as e:
            bad.append('%s: %s' % (name, e))
            continue
        for group, entry in (record.get('groups') or {}).items():
            secrets = [k for k in (entry.get('values') or {}) if k.endswith('Psw')]
            if not secrets:
                continue
            count += 1
            if 'sha256' in entry or not entry.get('hmac_sha256') or any(
                    entry['values'][k] not in ('', '********') for k in secrets):
                bad.append('%s: %s' % (name, group))
    expect(count and not bad, 'records: %d groups with a password, each with a keyed hash only'
           % count, bad)


def check_fault(run, result):
    """A printer that drops the link part-way: the task fails, naming the printer."""
    steps = result.get('steps') or []
    expect(run.rc != 0 and 'fatal: [canary]: FAILED!' in run.stdout + run.stderr and
           (result.get('error') or {}).get('kind') == 'printer' and
           any(s.get('status') == 'failed' for s in steps),
           'fault: a printer that drops the link part-way fails the task, with its steps',
           '%s, exit %d' % (result.get('msg'), run.rc))
    failed = [s.get('group') for s in steps if s.get('status') in ('failed', 'done')]
    expect(set(failed) & set(['bluetooth', 'wifi-ap']),
           'fault: a group with a password was under way or done when it failed',
           [(s.get('group'), s.get('status')) for s in steps])


def check_run(run, result, check, site, frames, holds):
    label = run.label
    state = site.state().get('settings', {})
    held = (state.get('bluetooth', {}).get('password'), state.get('wifi', {}).get('apPassword'))
    if check:
        expect(site.frames() == frames, '%s: nothing is sent' % label,
               '%d frames' % (site.frames() - frames))
    if holds is not None:
        expect(held == (holds, holds), '%s: the printer holds the password (Bluetooth and '
               'access point)' % label, 'it holds another')
    diff = result.get('diff') or {}
    after, before = diff.get('after') or {}, diff.get('before') or {}
    shown = [after.get('bluetooth', {}).get('password'), after.get('wifi_ap', {}).get('password')]
    if label == 'fleet-again':
        printers = result.get('printers') or [{}]
        expect(result.get('changed') is False and printers[0].get('commands') == [],
               '%s: the same profile again, through the fleet role, changes nothing' % label,
               printers[0].get('commands'))
        return
    expect(result.get('changed') is True and shown == ['(changed)', '(changed)'],
           '%s: changed, the diff shows each password as (changed)' % label,
           'changed %s, %s' % (result.get('changed'), shown))
    printed = re.compile(r'^(?:\S.* \| )?\+\s+"password": "\(changed\)"', re.M)
    expect(printed.search(run.stdout) and printed.search(run.log),
           '%s: the printed diff shows the password as (changed), on stdout and in the log'
           % label)
    if label.startswith('vault'):
        # Only the password differs from the plain runs: the groups holding one are sent,
        # every other value is as before and the diff's before holds no password value.
        groups = sorted(result.get('commands') or [])
        same = dict((g, dict((k, v) for k, v in (after.get(g) or {}).items() if k != 'password'))
                    for g in ('bluetooth', 'wifi_ap'))
        was = dict((g, dict((k, v) for k, v in (before.get(g) or {}).items() if k != 'password'))
                   for g in ('bluetooth', 'wifi_ap'))
        expect(groups == ['bluetooth', 'wifi-ap'] and same == was and all(
            (before.get(g) or {}).get('password') in (None, '(unchanged)')
            for g in ('bluetooth', 'wifi_ap')),
            '%s: a change of the password alone sends its two groups, nothing else differs'
            % label, '%s; before %s; after %s' % (groups, before, after))


if __name__ == '__main__':
    sys.exit(main())
