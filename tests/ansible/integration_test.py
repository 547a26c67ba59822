#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The plenar.printer collection under real ansible-playbook, against simulated printers on
every link: serial (a pseudo-terminal), UDP, USB and the parallel port (both through
umockdev), plus a site whose printer drops the link part-way.

  integration_test.py --plenar BIN --sim BIN --work DIR

Checks, each printed as it is done:
  - the first run changes every good site, and each printer's state then matches the profile;
    the faulty site fails, named, with the steps it got done;
  - with the fault gone, a rerun sends nothing to the good sites (their simulators receive no
    frame) and completes the faulty one, sending only what its partial record lacks;
  - check mode with a new value reports the change and its diff and sends nothing;
  - a port held by another program fails as busy and sends nothing;
  - plenar_info reads the records; plenar_firmware sends a file once;
  - the profile misspelt in the group's variables fails every host naming it, sending nothing.
"""

import argparse
import fcntl
import json
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, 'ansible', 'fleet'))

import sites  # noqa: E402  pylint: disable=wrong-import-position

GOOD = ['shop-serial', 'shop-net', 'shop-usb', 'shop-lpt']
FAULTY = 'shop-faulty'

problems = []


def expect(condition, what, detail=''):
    print('%s  %s%s' % ('ok  ' if condition else 'FAIL', what,
                        '' if condition or not detail else ': %s' % detail), flush=True)
    if not condition:
        problems.append(what)


def statuses(run, names):
    return dict((n, run.hosts.get(n, {}).get('status')) for n in names)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--plenar', required=True)
    parser.add_argument('--sim', required=True)
    parser.add_argument('--work', required=True)
    args = parser.parse_args()

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    root = os.path.join(work, 'sites')
    all_sites = [
        sites.Site(root, 'shop-serial', 'serial', serial_no='101'),
        sites.Site(root, 'shop-net', 'net', serial_no='102'),
        sites.Site(root, 'shop-usb', 'usb', serial_no='103'),
        sites.Site(root, 'shop-lpt', 'lpt', serial_no='104'),
        # The link test and two groups get through, then the printer drops the link.
        sites.Site(root, FAULTY, 'net', fault='close-after:5', serial_no='105'),
    ]
    by_name = dict((s.name, s) for s in all_sites)
    sims = sites.Simulators(args.sim)
    try:
        sims.start(all_sites)
        run_all(work, args.plenar, sims, all_sites, by_name)
        check_misspelt_profile(work, args.plenar, all_sites)
    finally:
        sims.stop()
    if problems:
        print('%d check(s) failed: %s' % (len(problems), '; '.join(problems)))
        return 1
    print('all checks passed')
    return 0


def ansible_environment(work):
    return {
        'ANSIBLE_COLLECTIONS_PATH': os.path.join(SOURCE, 'ansible'),
        'ANSIBLE_FORKS': '5',
        'ANSIBLE_LOCAL_TEMP': os.path.join(work, 'tmp'),
        'ANSIBLE_REMOTE_TMP': os.path.join(work, 'tmp'),
        'ANSIBLE_NOCOLOR': '1',
        'ANSIBLE_RETRY_FILES_ENABLED': '0',
    }


def check_misspelt_profile(work, plenar, all_sites):
    """The profile misspelt in the group's variables: the role fails every host naming the
    variable it does not know and the one missing, and nothing reaches a printer."""
    inventory = os.path.join(work, 'inventory-misspelt.json')
    sites.write_inventory(inventory, all_sites, plenar, group_vars={
        'plenar_profil': sites.PROFILE,
        'ansible_connection': 'local',
        'ansible_python_interpreter': '/usr/bin/python3',
    })
    names = [s.name for s in all_sites]
    frames = dict((s.name, s.frames()) for s in all_sites)
    run = sites.run_playbook('plenar.printer.fleet', inventory, os.path.join(work, 'tree'),
                             os.path.join(work, 'misspelt.log'), ['-vvv'],
                             ansible_environment(work), names)
    with open(run.log, encoding='utf-8') as f:
        log = f.read()
    msgs = [(run.hosts[n].get('result') or {}).get('msg', '') for n in names]
    expect(statuses(run, names) == dict((n, 'failed') for n in names) and
           all('plenar_profil is not a variable of the role (did you mean plenar_profile?)' in m
               and 'plenar_profile is not set' in m for m in msgs) and 'undefined' not in log,
           'a misspelt plenar_profile fails every host, naming both variables', msgs[0])
    sent = dict((s.name, s.frames() - frames[s.name]) for s in all_sites)
    expect(not any(sent.values()), 'a refused variable sends nothing', sent)
    expect(sites.PROFILE['bluetooth']['password'] not in log + json.dumps(run.hosts),
           'the refusal shows no value of the variables, under -vvv either')


def run_all(work, plenar, sims, all_sites, by_name):
    inventory = os.path.join(work, 'inventory.json')
    sites.write_inventory(inventory, all_sites, plenar, group_vars={
        'plenar_profile': sites.PROFILE,
        'ansible_connection': 'local',
        'ansible_python_interpreter': '/usr/bin/python3',
    })
    env = ansible_environment(work)
    names = [s.name for s in all_sites]

    def play(label, *extra):
        return sites.run_playbook('plenar.printer.fleet', inventory, os.path.join(work, 'tree'),
                                  os.path.join(work, label + '.log'), list(extra), env, names)

    # 1. First run: every good site changed, the faulty one failed by name.
    first = play('first')
    expect(statuses(first, GOOD) == dict((n, 'changed') for n in GOOD),
           'first run changes every good site', statuses(first, names))
    for name in GOOD:
        mismatch = by_name[name].check()
        expect(not mismatch, '%s: printer state matches the profile' % name, mismatch)
    faulty = first.hosts[FAULTY]
    expect(faulty['status'] == 'failed' and first.rc != 0,
           'the faulty site fails and the run says so', '%s, exit %d' % (faulty['status'], first.rc))
    result = faulty['result'] or {}
    steps = (result.get('printers') or [{}])[0].get('steps') or []
    done = [s['group'] for s in steps if s['status'] == 'done']
    expect(result.get('msg', '').startswith('1 of 1 printers failed: shop-faulty: net 127.0.0.1:')
           and done and any(s['status'] == 'failed' for s in steps),
           'the failure names the printer and keeps the steps done', result.get('msg'))
    with open(first.log, encoding='utf-8') as f:
        log = f.read()
    expect('fatal: [%s]' % FAULTY in log, 'the play output names the faulty site')
    expect(sites.PROFILE['bluetooth']['password'] not in log + json.dumps(first.hosts),
           'the Bluetooth password is in neither the output nor the report')

    # 2. The fault mended: the rerun sends nothing to the good sites, the rest to the faulty.
    sims.restart(by_name[FAULTY])
    frames = dict((s.name, s.frames()) for s in all_sites)
    rerun = play('rerun')
    expect(statuses(rerun, GOOD) == dict((n, 'ok') for n in GOOD),
           'rerun: every good site ok', statuses(rerun, names))
    sent = dict((n, by_name[n].frames() - frames[n]) for n in GOOD)
    expect(not any(sent.values()), 'rerun: the good sites received no frame', sent)
    expect(rerun.hosts[FAULTY]['status'] == 'changed' and not by_name[FAULTY].check(),
           'rerun completes the faulty site', by_name[FAULTY].check())
    steps = rerun.hosts[FAULTY]['result']['printers'][0]['steps']
    skipped = [s['group'] for s in steps if s['status'] == 'skipped']
    expect(skipped and skipped == done, 'rerun: the groups the partial record holds are not sent again',
           '%s skipped, %s done before' % (skipped, done))

    # 3. Check mode with a new value: reported with its diff, nothing sent.
    changed_profile = dict(sites.PROFILE, retract_time=50)
    frames = dict((s.name, s.frames()) for s in all_sites)
    check = play('check', '--check', '--diff', '-e', json.dumps({'plenar_profile': changed_profile}))
    expect(statuses(check, names) == dict((n, 'changed') for n in names),
           'check mode reports the change on every site', statuses(check, names))
    with open(check.log, encoding='utf-8') as f:
        shown = f.read()
    diff = check.hosts['shop-usb']['result']['printers'][0].get('diff', {})
    # In the task's words: the option and its value as the profile gives them.
    expect(diff.get('before') == {'retract_time': 45} and
           diff.get('after') == {'retract_time': 50} and
           '-        "retract_time": 45\n+        "retract_time": 50' in shown,
           'check mode diff: before 45, after 50', diff)
    sent = dict((s.name, s.frames() - frames[s.name]) for s in all_sites)
    expect(not any(sent.values()), 'check mode sends nothing', sent)
    expect(all(s.state()['settings']['retractionTime'] == 45 for s in all_sites),
           'check mode changes no printer')

    run_busy_info_firmware(work, inventory, env, play, by_name, changed_profile)


def run_busy_info_firmware(work, inventory, env, play, by_name, changed_profile):
    """A busy port, plenar_info's records and plenar_firmware, on the sites the runs before
    left."""
    # 4. A port another program holds: busy, nothing sent.
    serial = by_name['shop-serial']
    fd = os.open(serial.tty, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX)
        frames = serial.frames()
        busy = play('busy', '--limit', serial.name, '-e',
                    json.dumps({'plenar_profile': changed_profile}))
    finally:
        os.close(fd)
    result = busy.hosts[serial.name]['result'] or {}
    printer = (result.get('printers') or [{}])[0]
    expect(busy.hosts[serial.name]['status'] == 'failed' and
           (printer.get('error') or {}).get('kind') == 'busy' and
           'another program holds the port' in result.get('msg', ''),
           'a port held by another program fails as busy', result.get('msg'))
    expect(serial.frames() == frames, 'nothing is sent to a busy port')

    # 5. plenar_info: the records name each printer's device.
    tree = os.path.join(work, 'info')
    info_args = json.dumps({'gather': ['records'], 'state_dir': '{{ plenar_state_dir }}',
                            'plenar_path': '{{ plenar_path }}'})
    rc = subprocess.call(['ansible', 'shops', '-i', inventory, '-m', 'plenar.printer.plenar_info',
                          '-a', info_args, '-t', tree], env=dict(os.environ, **env),
                         stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
    devices = {}
    for name in GOOD:
        with open(os.path.join(tree, name), encoding='utf-8') as f:
            records = json.load(f).get('records') or [{}]
        devices[name] = (records[0].get('device') or {}).get('name')
    expect(rc == 0 and devices == dict((n, n) for n in GOOD),
           'plenar_info reads each site\'s record with its device name', devices)

    # 6. plenar_firmware: sent once, skipped the second time.
    net = by_name['shop-net']
    program = bytearray(b'\xff' * 0x3100)
    program[0x3000:0x3008] = b'PLENAR80'
    firmware = os.path.join(work, 'fw.prg')
    with open(firmware, 'wb') as f:
        f.write(bytes(program))
    fw_args = json.dumps({'net': '127.0.0.1:%d' % net.port, 'file': firmware, 'wait': 0,
                          'state_dir': '{{ plenar_state_dir }}', 'plenar_path': '{{ plenar_path }}'})
    outcomes = []
    for attempt in ('fw1', 'fw2'):
        tree = os.path.join(work, attempt)
        subprocess.call(['ansible', net.name, '-i', inventory, '-m',
                         'plenar.printer.plenar_firmware', '-a', fw_args, '-t', tree],
                        env=dict(os.environ, **env), stdout=subprocess.DEVNULL,
                        stderr=subprocess.STDOUT)
        with open(os.path.join(tree, net.name), encoding='utf-8') as f:
            outcome = json.load(f)
        outcomes.append((outcome.get('changed'), outcome.get('failed', False)))
    updates = net.state().get('firmware', {}).get('updates')
    expect(outcomes == [(True, False), (False, False)] and updates == 1,
           'plenar_firmware sends a file once', '%s, %s update(s)' % (outcomes, updates))


if __name__ == '__main__':
    sys.exit(main())
