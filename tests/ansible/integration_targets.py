#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the plenar.printer collection's integration targets (tests/integration/targets/ of the
collection) with `ansible-test integration --local`, against simulated printers: one on a
serial pseudo-terminal, one on UDP, a USB and a parallel one through umockdev, and a network
printer that drops the link part-way.

  integration_targets.py --plenar BIN --sim BIN [--work DIR] [TARGET...]

The collection is copied to a temporary folder (ansible-test writes into the collection, and
inside a git work tree it would test only the files git lists). The simulators are started
here and stopped here, by process id; the targets find them, and plenar, in
tests/integration/integration_config.yml, which this script writes into the copy.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
COLLECTION = os.path.join(SOURCE, 'ansible', 'ansible_collections', 'plenar', 'printer')
sys.path.insert(0, os.path.join(SOURCE, 'ansible', 'fleet'))

import sites  # noqa: E402  pylint: disable=wrong-import-position


def site_config(site):
    printer = site.printer()
    del printer['device']
    return {
        'printer': printer,
        'state': site.state_path,
        'frames': site.record_path,
        'environment': site.environment(),
    }


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--plenar', required=True)
    parser.add_argument('--sim', required=True)
    parser.add_argument('--work')
    parser.add_argument('targets', nargs='*')
    args = parser.parse_args()

    work = os.path.abspath(args.work) if args.work else tempfile.mkdtemp(
        prefix='plenar-integration-')
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    copy = os.path.join(work, 'ansible_collections', 'plenar', 'printer')
    shutil.copytree(COLLECTION, copy, ignore=shutil.ignore_patterns('output', '__pycache__'))

    root = os.path.join(work, 'sites')
    by_kind = {
        'serial': sites.Site(root, 'it-serial', 'serial'),
        'net': sites.Site(root, 'it-net', 'net'),
        'usb': sites.Site(root, 'it-usb', 'usb'),
        'lpt': sites.Site(root, 'it-lpt', 'lpt'),
        # The link test and two groups get through, then the printer drops the link.
        'faulty': sites.Site(root, 'it-faulty', 'net', fault='close-after:5'),
    }
    sims = sites.Simulators(args.sim)
    try:
        sims.start(list(by_kind.values()))
        config = {
            'plenar_path': os.path.abspath(args.plenar),
            'plenar_work': os.path.join(work, 'targets'),
            'plenar_sites': dict((k, site_config(s)) for k, s in by_kind.items()),
        }
        with open(os.path.join(copy, 'tests', 'integration', 'integration_config.yml'), 'w',
                  encoding='utf-8') as f:
            json.dump(config, f, indent=1)
        python = '%d.%d' % sys.version_info[:2]
        # Debian's Python and ansible-test, whatever comes first on the PATH.
        env = dict(os.environ, PATH='/usr/bin:/bin')
        rc = subprocess.call(['ansible-test', 'integration', '--local', '--python', python,
                              '--color', 'no'] + args.targets, cwd=copy, env=env)
    finally:
        sims.stop()
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return rc


if __name__ == '__main__':
    sys.exit(main())
